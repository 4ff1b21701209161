#include "FileStream.h"

#include <utility>

namespace varnello {

namespace {

std::string ErrorText(const char* what, const std::error_code& error, const std::string& path = {})
{
    std::string text = what;
    if (!path.empty()) {
        text += " '" + path + "'";
    }
    return text + ": " + error.message();
}

FileAttributes AttributesOf(const platform::FileInfo& info)
{
    FileAttributes attributes;
    if (!info.Regular) {
        return attributes;
    }
    attributes.Exists = true;
    attributes.ReadOnly = info.ReadOnly();
    attributes.Size = info.Size;
    attributes.Mode = info.Mode;
    attributes.Links = info.Links;
    return attributes;
}

} // namespace

StatusWord StatusOfCurrentException()
{
    try {
        throw;
    } catch (const EFileOpenError&) {
        return status::kCannotOpen;
    } catch (const EReadError&) {
        return status::kReadError;
    } catch (const EWriteError&) {
        return status::kWriteError;
    } catch (const EInOutError&) {
        return status::kIoError;
    } catch (const EFileChanged&) {
        return status::kChanged;
    }
}

FileAttributes QueryAttributes(const std::string& path)
{
    platform::FileInfo info;
    if (platform::QueryPath(path, platform::Follow::Links, info)) {
        return {};
    }
    return AttributesOf(info);
}

FileStream::FileStream(const std::string& path, Access access)
{
    const auto mode = access == Access::Read ? platform::Access::Read : platform::Access::ReadWrite;
    if (const std::error_code error = platform::Open(path, mode, m_handle)) {
        throw EFileOpenError(ErrorText("cannot open", error, path));
    }
}

FileStream FileStream::OpenRegularForReading(const std::string& path, FileAttributes& attributes)
{
    platform::Handle handle;
    // Opening a FIFO does not wait for a writer.
    if (const std::error_code error = platform::Open(path, platform::Access::Read, handle)) {
        throw EFileOpenError(ErrorText("cannot open", error, path));
    }
    platform::FileInfo info;
    if (const std::error_code error = platform::Query(handle, info)) {
        throw EFileOpenError(ErrorText("cannot query", error, path));
    }
    attributes = AttributesOf(info);
    if (!attributes.Exists) {
        throw EFileOpenError("not a regular file '" + path + "'");
    }
    FileStream file(std::move(handle));
    file.m_sizeKnown = true;
    file.m_knownSize = attributes.Size;
    return file;
}

std::uint64_t FileStream::Size() const
{
    if (m_sizeKnown) {
        return m_knownSize;
    }
    platform::FileInfo info;
    if (const std::error_code error = platform::Query(m_handle, info)) {
        throw EInOutError(ErrorText("cannot query file size", error));
    }
    return info.Size;
}

std::size_t FileStream::Read(std::span<std::uint8_t> buffer)
{
    std::size_t got = 0;
    const std::error_code error = platform::ReadAt(m_handle, m_position, buffer, got);
    m_position += got;
    if (error) {
        throw EReadError(ErrorText("read failed", error));
    }
    return got;
}

void FileStream::ReadExact(std::span<std::uint8_t> buffer)
{
    if (Read(buffer) != buffer.size()) {
        throw EReadError("read past the end of the file");
    }
}

void FileStream::Write(std::span<const std::uint8_t> buffer)
{
    if (const std::error_code error = platform::WriteAt(m_handle, m_position, buffer)) {
        throw EWriteError(ErrorText("write failed", error));
    }
    m_position += buffer.size();
}

void FileStream::Truncate(std::uint64_t size)
{
    if (const std::error_code error = platform::SetSize(m_handle, size)) {
        throw EInOutError(ErrorText("cannot set the end of the file", error));
    }
}

void FileStream::Sync()
{
    if (const std::error_code error = platform::Sync(m_handle)) {
        throw EWriteError(ErrorText("cannot flush the file", error));
    }
}

void FileStream::Close()
{
    if (const std::error_code error = m_handle.Close()) {
        throw EWriteError(ErrorText("cannot close the file", error));
    }
}

} // namespace varnello
