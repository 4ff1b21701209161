#include "SaveIo.h"

#include "FolderFlushes.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace varnello {

namespace {

constexpr std::string_view kTemporaryPrefix = ".varnello-";
constexpr std::string_view kTemporarySuffix = ".tmp";

std::string ErrorText(const char* what, const std::error_code& error)
{
    return std::string(what) + ": " + error.message();
}

} // namespace

void SaveIo::KeepModificationTime(const FileStream& file, const platform::FileInfo& info) const
{
    if (m_options.KeepModificationTime) {
        static_cast<void>(platform::SetModifiedTime(file.Handle(), info.ModifiedNanoseconds));
    }
}

std::string TemporaryName()
{
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx",
                  static_cast<unsigned long long>(platform::RandomNumber()));
    return std::string(kTemporaryPrefix) + digits + std::string(kTemporarySuffix);
}

bool IsTemporaryName(const std::string& name)
{
    return name.size() == kTemporaryPrefix.size() + 16 + kTemporarySuffix.size() &&
           name.starts_with(kTemporaryPrefix) && name.ends_with(kTemporarySuffix);
}

int RemoveLeftoverTemporaries(const std::string& folder)
{
    std::vector<platform::FolderEntry> entries;
    platform::Handle handle;
    if (platform::ListFolder(folder, entries) || platform::OpenFolder(folder, handle)) {
        return 0;
    }
    int removed = 0;
    for (const platform::FolderEntry& entry : entries) {
        if (!IsTemporaryName(entry.Name)) {
            continue;
        }
        platform::Handle file;
        platform::FileInfo info;
        if (platform::OpenAt(handle, entry.Name, platform::Access::ReadWrite,
                             platform::Follow::NoLinks, file) ||
            platform::Query(file, info) || !info.Regular ||
            platform::LockExclusive(file, std::chrono::milliseconds(0))) {
            continue;
        }
        if (!platform::RemoveAt(handle, entry.Name)) {
            ++removed;
        }
    }
    return removed;
}

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
    if (const std::error_code error =
            platform::Reserve(file.Handle(), oldSize, newSize - oldSize)) {
        // Whatever got allocated goes again; the bytes below oldSize were
        // never touched.
        static_cast<void>(platform::SetSize(file.Handle(), oldSize));
        throw EWriteError(ErrorText("cannot make room in the file", error));
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

void SaveIo::Copy(FileStream& from, std::uint64_t source, FileStream& to, std::uint64_t target,
                  std::uint64_t count, std::span<std::uint8_t> buffer) const
{
    if (count == 0) {
        return;
    }
    Before(SaveOperation::Write);
    std::uint64_t copied = 0;
    if (const std::error_code error =
            platform::CopyRange(from.Handle(), source, to.Handle(), target, count, copied)) {
        throw EWriteError(ErrorText("cannot copy the audio", error));
    }
    source += copied;
    target += copied;
    count -= copied;
    while (count > 0) {
        const std::span<std::uint8_t> piece =
            buffer.first(static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size())));
        Read(from, source, piece);
        Write(to, target, piece);
        source += piece.size();
        target += piece.size();
        count -= piece.size();
    }
}

FileStream SaveIo::CreateTemporary(const platform::Handle& folder, std::string& name) const
{
    Before(SaveOperation::CreateTemporary);
    name.clear();
    platform::Handle handle;
    if (!platform::CreateUnnamedIn(folder, handle)) {
        // Locked before it gets a name, so that a clean-up of leftovers
        // never takes it for one.
        static_cast<void>(platform::LockExclusive(handle, std::chrono::milliseconds(0)));
        return FileStream(std::move(handle));
    }
    // A named file: a name taken by chance is tried again; anything else
    // repeats the same failure.
    std::error_code error;
    for (int attempt = 0; attempt < 4; ++attempt) {
        name = TemporaryName();
        error = platform::CreateExclusiveAt(folder, name, handle);
        if (!error) {
            // Locked while it is in use, so that a clean-up of leftovers by
            // another process passes it over. A clean-up that came between
            // the creation and the lock has removed the name: another is
            // taken.
            platform::FileInfo created;
            platform::FileInfo named;
            if (!platform::LockExclusive(handle, std::chrono::milliseconds(0)) &&
                !platform::Query(handle, created) &&
                !platform::QueryAt(folder, name, platform::Follow::NoLinks, named) &&
                named.SameFile(created)) {
                return FileStream(std::move(handle));
            }
            continue;
        }
        if (error != std::errc::file_exists) {
            break;
        }
    }
    name.clear();
    throw EFileOpenError(ErrorText("cannot create a temporary file", error));
}

void SaveIo::Link(const FileStream& temporary, const platform::Handle& folder,
                  const std::string& name) const
{
    Before(SaveOperation::Rename);
    if (const std::error_code error = platform::LinkAt(temporary.Handle(), folder, name)) {
        throw EWriteError(ErrorText("cannot name the new file", error));
    }
}

bool SaveIo::CopyIdentity(const FileStream& from, const platform::FileInfo& info,
                          const FileStream& to) const
{
    Before(SaveOperation::Identity);
    platform::FileInfo made;
    if (platform::Query(to.Handle(), made)) {
        return false;
    }
    if ((made.Owner != info.Owner || made.Group != info.Group) &&
        platform::SetOwner(to.Handle(), info.Owner, info.Group)) {
        return false;
    }
    if (platform::SetMode(to.Handle(), info.Mode)) {
        return false;
    }
    std::vector<std::string> names;
    if (platform::ListAttributes(from.Handle(), names)) {
        return false;
    }
    std::vector<std::uint8_t> value;
    for (const std::string& attribute : names) {
        if (platform::GetAttribute(from.Handle(), attribute, value) ||
            platform::SetAttribute(to.Handle(), attribute, value)) {
            return false;
        }
    }
    // The new file may have inherited an ACL from its folder that the old one
    // lacks: it would give others access that the old file denied.
    std::vector<std::string> inherited;
    if (platform::ListAttributes(to.Handle(), inherited)) {
        return false;
    }
    for (const std::string& attribute : inherited) {
        if (std::find(names.begin(), names.end(), attribute) == names.end() &&
            platform::RemoveAttribute(to.Handle(), attribute)) {
            return false;
        }
    }
    // Setting an ACL may change the mode's group bits, and a change of owner
    // may clear setuid: the mode as it was, once more, and checked.
    if (platform::SetMode(to.Handle(), info.Mode) || platform::Query(to.Handle(), made)) {
        return false;
    }
    return made.Mode == info.Mode && made.Owner == info.Owner && made.Group == info.Group;
}

bool SaveIo::Rename(const platform::Handle& folder, const std::string& from,
                    const std::string& to) const
{
    Before(SaveOperation::Rename);
    const std::error_code error = platform::RenameAt(folder, from, to);
    if (!error) {
        return true;
    }
    if (error == std::errc::operation_not_permitted || error == std::errc::permission_denied) {
        return false;
    }
    throw EWriteError(ErrorText("cannot replace the file", error));
}

void SaveIo::SyncFolder(const platform::Handle& folder) const
{
    Before(SaveOperation::Sync);
    static_cast<void>(platform::Sync(folder));
}

void SaveIo::FlushReplacedFolder(const platform::Handle& folder) const
{
    if (m_options.DeferredFolderFlushes != nullptr) {
        m_options.DeferredFolderFlushes->Add(folder);
    } else {
        static_cast<void>(platform::Sync(folder));
    }
}

} // namespace varnello
