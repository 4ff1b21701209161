#include "SaveIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace varnello {

void SaveIo::Before(SaveOperation operation) const
{
    if (m_options.BeforeOperation) {
        m_options.BeforeOperation(operation);
    }
}

void SaveIo::Read(FileStream& file, std::uint64_t position, std::span<std::uint8_t> buffer) const
{
    Before(SaveOperation::Read);
    file.Seek(position);
    file.ReadExact(buffer);
}

void SaveIo::Write(FileStream& file, std::uint64_t position,
                   std::span<const std::uint8_t> bytes) const
{
    Before(SaveOperation::Write);
    file.Seek(position);
    file.Write(bytes);
}

void SaveIo::Extend(FileStream& file, std::uint64_t oldSize, std::uint64_t newSize) const
{
    if (newSize <= oldSize) {
        return;
    }
    Before(SaveOperation::Extend);
    const int error = ::posix_fallocate(file.Handle(), static_cast<off_t>(oldSize),
                                        static_cast<off_t>(newSize - oldSize));
    if (error != 0) {
        // Whatever got allocated goes again; the bytes below oldSize were
        // never touched.
        if (::ftruncate(file.Handle(), static_cast<off_t>(oldSize)) != 0) {
            // Nothing more can be done; the original bytes are still intact.
        }
        throw EWriteError(std::string("cannot make room in the file: ") + std::strerror(error));
    }
}

void SaveIo::Truncate(FileStream& file, std::uint64_t size) const
{
    Before(SaveOperation::Truncate);
    file.Truncate(size);
}

void SaveIo::Sync(FileStream& file) const
{
    Before(SaveOperation::Sync);
    file.Sync();
}

void SaveIo::Close(FileStream& file) const
{
    Before(SaveOperation::Close);
    file.Close();
}

FileStream SaveIo::CreateTemporary(const std::string& folder, std::string& path) const
{
    Before(SaveOperation::CreateTemporary);
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".varnello-%08x.tmp", static_cast<unsigned>(random()));
        path = folder + "/" + name;
        try {
            return FileStream::CreateNew(path, 0600);
        } catch (const EFileOpenError&) {
            // A name taken by chance is tried again; anything else repeats
            // the same failure and ends the attempts.
            if (attempt == 3) {
                path.clear();
                throw;
            }
        }
    }
}

bool SaveIo::Rename(const std::string& from, const std::string& to) const
{
    Before(SaveOperation::Rename);
    if (std::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    if (errno == EPERM || errno == EACCES) {
        return false;
    }
    throw EWriteError(std::string("cannot replace the file: ") + std::strerror(errno));
}

void SaveIo::SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        static_cast<void>(::fsync(fd));
        ::close(fd);
    }
}

} // namespace varnello
