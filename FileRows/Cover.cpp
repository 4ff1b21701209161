#include "Cover.h"

#include "Platform.h"
#include "SaveIo.h"
#include "SaveJournal.h"
#include "Tid3v2tag.h"

#include <chrono>

namespace varnello {

namespace {

std::string CannotRead(const std::string& reason)
{
    return "cannot be read: " + reason;
}

// Reads the file whole, up to one byte past the largest picture so that a
// larger file shows; the refusal text when it cannot be read.
std::string ReadAtMost(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    platform::Handle file;
    if (const std::error_code error = platform::Open(path, platform::Access::Read, file)) {
        return CannotRead(error.message());
    }
    platform::FileInfo info;
    if (const std::error_code error = platform::Query(file, info)) {
        return CannotRead(error.message());
    }
    if (!info.Regular) {
        return CannotRead("not a regular file");
    }
    const std::size_t wanted = kLargestPicture + 1;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(info.Size + 1, wanted)));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        std::size_t got = 0;
        const std::span<std::uint8_t> rest = std::span(bytes).subspan(filled);
        if (const std::error_code error = platform::ReadAt(file, filled, rest, got)) {
            return CannotRead(error.message());
        }
        filled += got;
        if (got < rest.size()) {
            break; // the end of the file
        }
        if (filled == bytes.size() && filled < wanted) {
            // The file grew since it was asked about.
            bytes.resize(std::min(wanted, bytes.size() * 2));
        }
    }
    bytes.resize(filled);
    return {};
}

// New pictures may be read by everyone, as files a user saves usually are.
constexpr std::uint32_t kNewFileMode = 0644;

// The temporary file of a write, removed unless it was renamed over the
// target.
class PendingFile
{
public:
    explicit PendingFile(const platform::Handle& folder) : m_folder(folder) {}
    ~PendingFile()
    {
        if (!m_name.empty()) {
            m_file.Close();
            platform::RemoveAt(m_folder, m_name);
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::error_code Create()
    {
        std::error_code error;
        do {
            m_name = TemporaryName();
            error = platform::CreateExclusiveAt(m_folder, m_name, m_file);
        } while (error == std::errc::file_exists);
        if (error) {
            m_name.clear();
            return error;
        }
        // A save's clean-up of leftovers passes over a locked temporary file.
        return platform::LockExclusive(m_file, std::chrono::milliseconds(0));
    }

    std::error_code Write(std::span<const std::uint8_t> bytes, std::uint32_t mode)
    {
        if (std::error_code error = platform::WriteAt(m_file, 0, bytes)) {
            return error;
        }
        if (std::error_code error = platform::SetMode(m_file, mode)) {
            return error;
        }
        if (std::error_code error = platform::Sync(m_file)) {
            return error;
        }
        return m_file.Close();
    }

    std::error_code RenameTo(const std::string& name)
    {
        if (std::error_code error = platform::RenameAt(m_folder, m_name, name)) {
            return error;
        }
        m_name.clear();
        return platform::Sync(m_folder);
    }

private:
    const platform::Handle& m_folder;
    platform::Handle m_file;
    std::string m_name;
};

} // namespace

CoverRead ReadCover(const std::string& path)
{
    CoverRead read;
    Tid3v2tag tag;
    read.Status = tag.LoadFromFile(path, 0);
    if (!status::IsSuccess(read.Status)) {
        return read;
    }
    read.PictureCount = ListPictures(tag, false).size();
    read.Cover = ReadPicture(tag, CoverFrame(tag), true);
    if (read.Cover) {
        read.Check = CheckImage(read.Cover->Data);
    }
    return read;
}

PictureFile ReadPictureFile(const std::string& path)
{
    PictureFile picture;
    picture.Refusal = ReadAtMost(path, picture.Bytes);
    if (!picture.Refusal.empty()) {
        picture.Bytes.clear();
        return picture;
    }
    if (picture.Bytes.size() > kLargestPicture) {
        picture.Bytes.clear();
        picture.Refusal = "larger than 16 MiB";
        return picture;
    }
    picture.Check = CheckImage(picture.Bytes);
    if (picture.Check.Format == ImageFormat::kNone) {
        picture.Bytes.clear();
        picture.Refusal = "not a JPEG or PNG picture";
    }
    return picture;
}

std::string WritePictureFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const std::string name = platform::NameOf(path);
    platform::Handle folder;
    if (const std::error_code error = platform::OpenFolder(platform::FolderOf(path), folder)) {
        return "cannot open its folder: " + error.message();
    }
    platform::FileInfo info;
    std::uint32_t mode = kNewFileMode;
    const std::error_code queried =
        platform::QueryAt(folder, name, platform::Follow::NoLinks, info);
    if (!queried) {
        if (info.SymbolicLink) {
            return "is a symbolic link; not written";
        }
        if (!info.Regular) {
            return "is not a regular file; not written";
        }
        mode = info.Mode;
    } else if (queried != std::errc::no_such_file_or_directory) {
        return "cannot be checked: " + queried.message();
    }
    PendingFile pending(folder);
    std::error_code error = pending.Create();
    if (!error) {
        error = pending.Write(bytes, mode);
    }
    if (!error) {
        error = pending.RenameTo(name);
    }
    return error ? "cannot be written: " + error.message() : std::string();
}

} // namespace varnello
