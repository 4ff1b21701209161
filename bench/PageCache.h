#pragma once
// What the listing and window benchmarks share about the files' bytes: the
// floor (the bytes a listing reads, read on one thread) and dropping the
// files' pages from the page cache for cold runs. Benchmarks may call the
// system directly.

#include <algorithm>
#include <cstddef>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace varnello::bench {

// The floor: per file one open, the header, the tag body, the last 128
// bytes, close.
inline std::size_t ReadFloor(const std::string& folder, const std::vector<std::string>& names)
{
    std::vector<unsigned char> buffer(1 << 20);
    std::size_t checksum = 0;
    for (const std::string& name : names) {
        const int fd = ::open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        unsigned char header[10];
        if (::read(fd, header, 10) == 10 && header[0] == 'I' && header[1] == 'D' &&
            header[2] == '3') {
            std::size_t left = (std::size_t{header[6]} << 21) | (std::size_t{header[7]} << 14) |
                               (std::size_t{header[8]} << 7) | std::size_t{header[9]};
            while (left > 0) {
                const ssize_t got = ::read(fd, buffer.data(), std::min(left, buffer.size()));
                if (got <= 0) {
                    break;
                }
                left -= static_cast<std::size_t>(got);
            }
        }
        unsigned char last[128];
        if (::lseek(fd, -128, SEEK_END) >= 0 && ::read(fd, last, 128) == 128) {
            checksum += last[0];
        }
        ::close(fd);
    }
    return checksum;
}

// Drops the files' pages from the page cache, so that the next read of them
// goes to the disk. fdatasync first, as only clean pages can be dropped; no
// privileges are needed. False when a file could not be opened or dropped.
inline bool EvictFolder(const std::string& folder, const std::vector<std::string>& names)
{
    bool all = true;
    for (const std::string& name : names) {
        const int fd = ::open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            all = false;
            continue;
        }
        all = ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0 && all;
        ::close(fd);
    }
    return all;
}

} // namespace varnello::bench
