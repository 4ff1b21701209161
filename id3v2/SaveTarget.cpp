#include "SaveTarget.h"

#include <cerrno>

namespace varnello {

namespace {

// Another save that replaces the file while this one waits leaves this one
// holding the old file; it starts over on the new one this many times.
constexpr int kReopenAttempts = 5;

bool IsPermissionError(const std::error_code& error)
{
    return error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
           error == std::errc::read_only_file_system || error == std::errc::text_file_busy;
}

} // namespace

StatusWord SaveTarget::Open(const std::string& path, std::chrono::milliseconds wait)
{
    StatusWord result = status::kBusy;
    for (int attempt = 0; attempt < kReopenAttempts; ++attempt) {
        result = OpenOnce(path, wait);
        if (result != status::kBusy || !m_file.IsOpen()) {
            return result;
        }
        // Locked, but the name now belongs to another file: start over.
    }
    m_file = FileStream();
    return status::kBusy;
}

StatusWord SaveTarget::OpenOnce(const std::string& path, std::chrono::milliseconds wait)
{
    m_file = FileStream();
    platform::FileInfo seen;
    if (const StatusWord found = FindFile(path, seen); found != status::kOk) {
        return found;
    }
    if (!seen.Regular) {
        return status::kCannotOpen;
    }
    if (seen.ReadOnly()) {
        return status::kReadOnly;
    }
    platform::Handle handle;
    if (const std::error_code error = platform::OpenAt(
            m_folder, m_name, platform::Access::ReadWrite, platform::Follow::NoLinks, handle)) {
        return IsPermissionError(error) ? status::kReadOnly : status::kCannotOpen;
    }
    if (const std::error_code error = platform::LockExclusive(handle, wait)) {
        return error == std::errc::resource_unavailable_try_again ? status::kBusy
                                                                  : status::kIoError;
    }
    // What the file is now that no other save can change it. The folder's
    // entry may have become something else since it was looked at.
    if (platform::Query(handle, m_info) || !m_info.Regular) {
        return status::kCannotOpen;
    }
    if (m_info.ReadOnly()) {
        return status::kReadOnly;
    }
    m_file = FileStream(std::move(handle));
    return StillNamed() ? status::kOk : status::kBusy;
}

// Opens the folder of the file the path ends in and looks at its entry.
// The path as given is tried first; only when its last part is a link is
// the chain of links resolved, once, and the folder of its end opened.
StatusWord SaveTarget::FindFile(const std::string& path, platform::FileInfo& seen)
{
    std::string current = path;
    for (int pass = 0; pass < 2; ++pass) {
        m_folderPath = platform::FolderOf(current);
        m_name = platform::NameOf(current);
        if (platform::OpenFolder(m_folderPath, m_folder) ||
            platform::QueryAt(m_folder, m_name, platform::Follow::NoLinks, seen)) {
            return status::kCannotOpen;
        }
        if (!seen.SymbolicLink) {
            return status::kOk;
        }
        if (pass == 0 && platform::ResolveLinks(path, current)) {
            return status::kCannotOpen;
        }
    }
    // The link's end was swapped for another link meanwhile.
    return status::kCannotOpen;
}

bool SaveTarget::StillNamed() const
{
    platform::FileInfo named;
    return !platform::QueryAt(m_folder, m_name, platform::Follow::NoLinks, named) &&
           named.SameFile(m_info);
}

bool SaveTarget::Unchanged() const
{
    platform::FileInfo now;
    return !platform::Query(m_file.Handle(), now) && now.Size == m_info.Size &&
           now.ModifiedNanoseconds == m_info.ModifiedNanoseconds;
}

void SaveTarget::Refresh()
{
    platform::FileInfo now;
    if (!platform::Query(m_file.Handle(), now)) {
        m_info = now;
    }
}

} // namespace varnello
