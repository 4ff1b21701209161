#include "WholeFile.h"

#include "Platform.h"
#include "SaveIo.h"
#include "SaveJournal.h"

#include <chrono>

namespace varnello {

namespace {

// New files may be read by everyone, as files a user saves usually are.
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

std::string WriteFileWhole(const std::string& path, std::span<const std::uint8_t> bytes)
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
