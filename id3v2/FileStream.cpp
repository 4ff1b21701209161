#include "FileStream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varnello {

namespace {

std::string ErrnoText(const char* what, const std::string& path = {})
{
    std::string text = what;
    if (!path.empty()) {
        text += " '" + path + "'";
    }
    text += ": ";
    text += std::strerror(errno);
    return text;
}

FileAttributes AttributesOf(const struct stat& info)
{
    FileAttributes attributes;
    if (!S_ISREG(info.st_mode)) {
        return attributes;
    }
    attributes.Exists = true;
    attributes.ReadOnly = (info.st_mode & S_IWUSR) == 0;
    attributes.Size = static_cast<std::uint64_t>(info.st_size);
    attributes.Mode = static_cast<std::uint32_t>(info.st_mode & 07777);
    attributes.Links = static_cast<std::uint64_t>(info.st_nlink);
    return attributes;
}

} // namespace

FileAttributes QueryAttributes(const std::string& path)
{
    struct stat info
    {
    };
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return {};
    }
    return AttributesOf(info);
}

FileStream::FileStream(const std::string& path, Access access)
{
    const int flags = (access == Access::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    do {
        m_fd = ::open(path.c_str(), flags);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        throw EFileOpenError(ErrnoText("cannot open", path));
    }
}

FileStream FileStream::OpenRegularForReading(const std::string& path, FileAttributes& attributes)
{
    int fd = -1;
    do {
        // Non-blocking, so that opening a FIFO does not wait for a writer; it
        // changes nothing for a regular file.
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        throw EFileOpenError(ErrnoText("cannot open", path));
    }
    FileStream file(fd);
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        throw EFileOpenError(ErrnoText("cannot query", path));
    }
    attributes = AttributesOf(info);
    if (!attributes.Exists) {
        throw EFileOpenError("not a regular file '" + path + "'");
    }
    file.m_sizeKnown = true;
    file.m_knownSize = attributes.Size;
    return file;
}

FileStream FileStream::CreateNew(const std::string& path, std::uint32_t mode)
{
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        throw EFileOpenError(ErrnoText("cannot create", path));
    }
    return FileStream(fd);
}

FileStream::~FileStream()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileStream::FileStream(FileStream&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_position(other.m_position),
      m_sizeKnown(other.m_sizeKnown), m_knownSize(other.m_knownSize)
{
}

FileStream& FileStream::operator=(FileStream&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
        m_position = other.m_position;
        m_sizeKnown = other.m_sizeKnown;
        m_knownSize = other.m_knownSize;
    }
    return *this;
}

std::uint64_t FileStream::Size() const
{
    if (m_sizeKnown) {
        return m_knownSize;
    }
    struct stat info
    {
    };
    if (::fstat(m_fd, &info) != 0) {
        throw EInOutError(ErrnoText("cannot query file size"));
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::size_t FileStream::Read(std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(m_fd, buffer.data() + done, buffer.size() - done,
                                    static_cast<off_t>(m_position));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw EReadError(ErrnoText("read failed"));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
        m_position += static_cast<std::uint64_t>(got);
    }
    return done;
}

void FileStream::ReadExact(std::span<std::uint8_t> buffer)
{
    if (Read(buffer) != buffer.size()) {
        throw EReadError("read past the end of the file");
    }
}

void FileStream::Write(std::span<const std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t put = ::pwrite(m_fd, buffer.data() + done, buffer.size() - done,
                                     static_cast<off_t>(m_position));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw EWriteError(ErrnoText("write failed"));
        }
        if (put == 0) {
            throw EWriteError("write made no progress");
        }
        done += static_cast<std::size_t>(put);
        m_position += static_cast<std::uint64_t>(put);
    }
}

void FileStream::Truncate(std::uint64_t size)
{
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
        throw EInOutError(ErrnoText("cannot set the end of the file"));
    }
}

void FileStream::Sync()
{
    if (::fsync(m_fd) != 0) {
        throw EWriteError(ErrnoText("cannot flush the file"));
    }
}

void FileStream::Close()
{
    if (m_fd >= 0) {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0 && errno != EINTR) {
            throw EWriteError(ErrnoText("cannot close the file"));
        }
    }
}

} // namespace varnello
