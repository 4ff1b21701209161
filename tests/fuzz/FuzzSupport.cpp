#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace varnello::fuzz {

namespace {

std::uint32_t Syncsafe(const Bytes& b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 21) | (std::uint32_t{b[at + 1]} << 14) |
           (std::uint32_t{b[at + 2]} << 7) | std::uint32_t{b[at + 3]};
}

bool BeginsWithTagHeader(const Bytes& file)
{
    return file.size() >= 10 && file[0] == 'I' && file[1] == 'D' && file[2] == '3' &&
           file[3] != 0xFF && file[4] != 0xFF && file[6] < 0x80 && file[7] < 0x80 &&
           file[8] < 0x80 && file[9] < 0x80;
}

} // namespace

const testsupport::TempDir& Folder()
{
    // Shared memory keeps the many small writes off the disk.
    static const bool tmpdirSet = [] {
        std::error_code ignored;
        if (std::getenv("TMPDIR") == nullptr &&
            std::filesystem::is_directory("/dev/shm", ignored)) {
            ::setenv("TMPDIR", "/dev/shm", 0);
        }
        return true;
    }();
    static const testsupport::TempDir folder;
    (void)tmpdirSet;
    return folder;
}

std::string WriteInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = Folder().File(kFileName);
    testsupport::WriteFile(path, Bytes(data, data + size));
    return path;
}

void Fail(const std::string& what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

void Require(bool condition, const std::string& what)
{
    if (!condition) {
        Fail(what);
    }
}

std::uint64_t OldTagRegion(const Bytes& file)
{
    if (!BeginsWithTagHeader(file)) {
        return 0;
    }
    std::uint64_t size = 10 + std::uint64_t{Syncsafe(file, 6)};
    const bool footer = file[3] == 4 && (file[5] & 0x10) != 0;
    if (footer && size + 10 <= file.size() && file[size] == '3' && file[size + 1] == 'D' &&
        file[size + 2] == 'I' && file[size + 3] == 4) {
        size += 10;
    }
    return size;
}

std::uint64_t WrittenTagRegion(const Bytes& file)
{
    Require(BeginsWithTagHeader(file),
            "the saved file does not begin with a tag header: " + testsupport::Hex(file, 16));
    return 10 + std::uint64_t{Syncsafe(file, 6)};
}

void RequireOnlyInput()
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Folder().Path())) {
        Require(entry.path().filename() == kFileName,
                "a file was left in the folder: " + entry.path().filename().string());
        ++count;
    }
    Require(count == 1, "the input file is gone");
}

} // namespace varnello::fuzz
