#pragma once
// A file opened for one load or save, with 64-bit positions. Failures raise
// the exceptions below, which LoadFromFile and SaveToFile turn into status
// words; none of them leaves the engine.

#include "Platform.h"
#include "StatusWord.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace varnello {

class EFileOpenError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
class EReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
class EWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
class EInOutError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
// Something other than the save changed the file while it was being saved.
class EFileChanged : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The status word of the engine exception being handled; called inside a
// catch block, it rethrows anything that is not one of the above.
StatusWord StatusOfCurrentException();

// What the file system says about a path before it is opened.
struct FileAttributes
{
    bool Exists = false;   // a regular file (a folder named x.mp3 does not exist)
    bool ReadOnly = false; // owner-write permission bit clear
    std::uint64_t Size = 0;
    std::uint32_t Mode = 0; // permission bits
    std::uint64_t Links = 0;
};
FileAttributes QueryAttributes(const std::string& path);

class FileStream
{
public:
    enum class Access
    {
        Read,
        ReadWrite
    };

    FileStream() = default;
    FileStream(const std::string& path, Access access); // throws EFileOpenError
    // Takes over a file opened through the platform layer.
    explicit FileStream(platform::Handle handle) : m_handle(std::move(handle)) {}

    // Opens a regular file for reading and returns its attributes, taken from
    // the open file, so that one open serves every read of a listing. A FIFO
    // or device named like a file is refused without waiting on it. Throws
    // EFileOpenError when the path is missing, not a regular file or cannot
    // be opened. Size() then gives the size at opening without asking again.
    static FileStream OpenRegularForReading(const std::string& path, FileAttributes& attributes);

    bool IsOpen() const { return m_handle.IsOpen(); }
    const platform::Handle& Handle() const { return m_handle; }
    std::uint64_t Size() const;
    std::uint64_t Position() const { return m_position; }
    void Seek(std::uint64_t position) { m_position = position; }

    // Reads up to buffer.size() bytes at the position; fewer only at the end
    // of the file. Throws EReadError on a failed read.
    std::size_t Read(std::span<std::uint8_t> buffer);
    // Reads exactly buffer.size() bytes or throws EReadError.
    void ReadExact(std::span<std::uint8_t> buffer);
    // Writes all bytes at the position or throws EWriteError.
    void Write(std::span<const std::uint8_t> buffer);
    void Truncate(std::uint64_t size); // throws EInOutError
    void Sync();                       // throws EWriteError
    void Close();                      // throws EWriteError when close reports a failure

private:
    platform::Handle m_handle;
    std::uint64_t m_position = 0;
    // A stream from OpenRegularForReading only reads, so the size found when
    // it was opened is its size; others ask the file each time.
    bool m_sizeKnown = false;
    std::uint64_t m_knownSize = 0;
};

} // namespace varnello
