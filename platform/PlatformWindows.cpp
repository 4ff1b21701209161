// The Windows implementation of the platform layer.
//
// Paths are UTF-8 everywhere else and become UTF-16 here only, absolute and
// with the \\?\ prefix, so that long paths work. A Handle holds a pointer to
// an Object: the system's handle and, for a folder, the folder's full path,
// since the calls by name that POSIX makes relative to a held folder take a
// path on Windows. A held folder is opened without delete sharing, so that
// nobody can rename or remove it (or a folder above it) while it is held:
// its path keeps naming the same folder.
//
// Windows meanings of FileInfo: Device and Inode are the volume's serial
// number and the file's index on it; Mode is 0666, or 0444 for a file with
// the read-only attribute (0777 and 0555 for folders); Owner and Group are 0.
// Extended attributes are not kept: a Windows file has none in the POSIX
// sense, and a save of a tag never replaces the file (see RenameAt).

#include "Platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// <windows.h> comes first: the others need it.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <thread>
#include <utility>

namespace varnello::platform {

namespace {

struct Object
{
    HANDLE Native = INVALID_HANDLE_VALUE;
    std::wstring FolderPath; // the full path of a held folder, else empty
};

Object* ObjectOf(std::intptr_t native)
{
    return reinterpret_cast<Object*>(native);
}

HANDLE Native(const Handle& handle)
{
    return handle.IsOpen() ? ObjectOf(handle.Native())->Native : INVALID_HANDLE_VALUE;
}

Handle MakeHandle(HANDLE native, std::wstring folderPath = {})
{
    auto object = std::make_unique<Object>();
    object->Native = native;
    object->FolderPath = std::move(folderPath);
    return Handle(reinterpret_cast<std::intptr_t>(object.release()));
}

void Destroy(std::intptr_t native)
{
    const std::unique_ptr<Object> object(ObjectOf(native));
    ::CloseHandle(object->Native);
}

std::error_code FromSystem(DWORD code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
        return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return std::make_error_code(std::errc::permission_denied);
    case ERROR_WRITE_PROTECT:
        return std::make_error_code(std::errc::read_only_file_system);
    case ERROR_SHARING_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        // Open in another program that does not share it for this.
        return std::make_error_code(std::errc::text_file_busy);
    case ERROR_LOCK_VIOLATION:
        return std::make_error_code(std::errc::resource_unavailable_try_again);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return std::make_error_code(std::errc::file_exists);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED:
        return std::make_error_code(std::errc::operation_not_supported);
    case ERROR_DIRECTORY:
        return std::make_error_code(std::errc::not_a_directory);
    case ERROR_DIR_NOT_EMPTY:
        return std::make_error_code(std::errc::directory_not_empty);
    case ERROR_NOT_SAME_DEVICE:
        return std::make_error_code(std::errc::cross_device_link);
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
        return std::make_error_code(std::errc::invalid_argument);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return std::make_error_code(std::errc::not_enough_memory);
    case ERROR_FILENAME_EXCED_RANGE:
        return std::make_error_code(std::errc::filename_too_long);
    case ERROR_CANT_RESOLVE_FILENAME:
        return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    case ERROR_TOO_MANY_OPEN_FILES:
        return std::make_error_code(std::errc::too_many_files_open);
    default:
        return {static_cast<int>(code), std::system_category()};
    }
}

std::error_code LastError()
{
    return FromSystem(::GetLastError());
}

std::wstring Wide(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), count);
    return out;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int count =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(count), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), count, nullptr, nullptr);
    return out;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsSeparatorChar(char c)
{
    return c == '\\' || c == '/';
}

// The absolute path with the \\?\ prefix, which lifts the length limit and
// takes the name as it is. Relative paths and "." and ".." are resolved
// first, as the prefix turns that off.
std::error_code LongPath(const std::string& path, std::wstring& out)
{
    const std::wstring wide = Wide(path.empty() ? std::string(".") : path);
    if (wide.starts_with(L"\\\\?\\")) {
        out = wide;
        return {};
    }
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return LastError();
    }
    std::wstring full(needed, L'\0');
    const DWORD got = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (got == 0 || got >= needed) {
        return got == 0 ? LastError() : std::make_error_code(std::errc::filename_too_long);
    }
    full.resize(got);
    if (full.starts_with(L"\\\\.\\")) {
        out = full; // a device
    } else if (full.starts_with(L"\\\\")) {
        out = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        out = L"\\\\?\\" + full;
    }
    return {};
}

std::wstring InFolder(const Handle& folder, const std::string& name)
{
    std::wstring path = ObjectOf(folder.Native())->FolderPath;
    if (path.empty() || !IsSeparator(path.back())) {
        path += L'\\';
    }
    return path + Wide(name);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::error_code OpenWide(const std::wstring& path, DWORD access, DWORD share, DWORD creation,
                         DWORD flags, HANDLE& out)
{
    out = ::CreateFileW(path.c_str(), access, share, nullptr, creation,
                        flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return out == INVALID_HANDLE_VALUE ? LastError() : std::error_code{};
}

// Symbolic links and junctions are links; other reparse points (files in
// the cloud, deduplicated files) are the files they stand for.
bool IsLinkTag(DWORD tag)
{
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

bool IsLink(HANDLE native)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return ::GetFileInformationByHandleEx(native, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(tag.ReparseTag);
}

DWORD AccessRights(Access access)
{
    return access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
}

// Opens a file for reading or writing. Others may go on reading, writing
// and renaming it, as players and file managers expect.
std::error_code OpenFile(const std::wstring& path, Access access, Follow follow, Handle& file)
{
    const DWORD flags = follow == Follow::NoLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    HANDLE native = INVALID_HANDLE_VALUE;
    if (const std::error_code error =
            OpenWide(path, AccessRights(access), kShareAll, OPEN_EXISTING, flags, native)) {
        return error;
    }
    if (follow == Follow::NoLinks && IsLink(native)) {
        ::CloseHandle(native);
        return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    }
    file = MakeHandle(native);
    return {};
}

constexpr std::int64_t kEpochIn100ns = 116444736000000000; // 1601 to 1970
constexpr std::int64_t kNanosecondsPer100 = 100;

std::int64_t ToNanoseconds(FILETIME time)
{
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - kEpochIn100ns) * kNanosecondsPer100;
}

FILETIME ToFileTime(std::int64_t nanoseconds)
{
    std::int64_t ticks = nanoseconds / kNanosecondsPer100;
    if (nanoseconds % kNanosecondsPer100 < 0) {
        --ticks; // rounded down, as on POSIX
    }
    const auto value = static_cast<std::uint64_t>(ticks + kEpochIn100ns);
    FILETIME out{};
    out.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    out.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return out;
}

std::error_code Describe(HANDLE native, FileInfo& info)
{
    BY_HANDLE_FILE_INFORMATION about{};
    if (!::GetFileInformationByHandle(native, &about)) {
        return LastError();
    }
    info = FileInfo{};
    const DWORD attributes = about.dwFileAttributes;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLink(native);
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.SymbolicLink = link;
    info.Directory = folder && !link;
    info.Regular = !folder && !link;
    info.Device = about.dwVolumeSerialNumber;
    info.Inode = (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    info.Size = (static_cast<std::uint64_t>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    info.Links = about.nNumberOfLinks;
    info.ModifiedNanoseconds = ToNanoseconds(about.ftLastWriteTime);
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.Mode = folder ? (readOnly ? 0555u : 0777u) : (readOnly ? 0444u : 0666u);
    FILE_STANDARD_INFO standard{};
    if (::GetFileInformationByHandleEx(native, FileStandardInfo, &standard, sizeof standard)) {
        info.AllocatedBytes = static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
    }
    return {};
}

std::error_code DescribePath(const std::wstring& path, Follow follow, FileInfo& info)
{
    HANDLE native = INVALID_HANDLE_VALUE;
    const DWORD flags = follow == Follow::NoLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    if (const std::error_code error =
            OpenWide(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, flags, native)) {
        return error;
    }
    const std::error_code error = Describe(native, info);
    ::CloseHandle(native);
    return error;
}

std::error_code SetEndOfFile(HANDLE native, std::uint64_t size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(native, FileEndOfFileInfo, &end, sizeof end)) {
        return LastError();
    }
    return {};
}

// The full path of an open file or folder as the system names it, without
// the \\?\ prefix.
std::error_code FinalPath(HANDLE native, std::wstring& out)
{
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD needed = ::GetFinalPathNameByHandleW(native, nullptr, 0, flags);
    if (needed == 0) {
        return LastError();
    }
    std::wstring path(needed, L'\0');
    const DWORD got = ::GetFinalPathNameByHandleW(native, path.data(), needed, flags);
    if (got == 0 || got >= needed) {
        return got == 0 ? LastError() : std::make_error_code(std::errc::filename_too_long);
    }
    path.resize(got);
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        path = L"\\\\" + path.substr(8);
    } else if (path.starts_with(L"\\\\?\\")) {
        path = path.substr(4);
    }
    out = std::move(path);
    return {};
}

// The attributes a replaced file hands on to its replacement.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The lock of a save: one byte far beyond the end of any file, so that the
// lock, which Windows enforces on the bytes it covers, never stops a player
// reading the file.
constexpr std::uint64_t kLockOffset = std::uint64_t{1} << 62;

// The position of a read or write, as Windows takes it.
OVERLAPPED At(std::uint64_t position)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    return at;
}

constexpr std::size_t kLargestCall = std::size_t{1} << 30;

} // namespace

Handle::~Handle()
{
    if (m_native >= 0) {
        Destroy(m_native);
    }
}

Handle::Handle(Handle&& other) noexcept : m_native(std::exchange(other.m_native, -1)) {}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        if (m_native >= 0) {
            Destroy(m_native);
        }
        m_native = std::exchange(other.m_native, -1);
    }
    return *this;
}

std::error_code Handle::Close()
{
    if (m_native < 0) {
        return {};
    }
    const std::unique_ptr<Object> object(ObjectOf(std::exchange(m_native, -1)));
    if (!::CloseHandle(object->Native)) {
        return LastError();
    }
    return {};
}

std::error_code Open(const std::string& path, Access access, Handle& file)
{
    std::wstring wide;
    if (const std::error_code error = LongPath(path, wide)) {
        return error;
    }
    return OpenFile(wide, access, Follow::Links, file);
}

std::error_code OpenFolder(const std::string& path, Handle& folder)
{
    std::wstring wide;
    if (const std::error_code error = LongPath(path, wide)) {
        return error;
    }
    HANDLE native = INVALID_HANDLE_VALUE;
    // No delete sharing: the folder keeps its path while it is held.
    if (const std::error_code error =
            OpenWide(wide, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0, native)) {
        return error;
    }
    BY_HANDLE_FILE_INFORMATION about{};
    if (!::GetFileInformationByHandle(native, &about) ||
        (about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::CloseHandle(native);
        return std::make_error_code(std::errc::not_a_directory);
    }
    folder = MakeHandle(native, std::move(wide));
    return {};
}

std::error_code OpenAt(const Handle& folder, const std::string& name, Access access, Follow follow,
                       Handle& file)
{
    return OpenFile(InFolder(folder, name), access, follow, file);
}

std::error_code CreateExclusiveAt(const Handle& folder, const std::string& name, Handle& file)
{
    HANDLE native = INVALID_HANDLE_VALUE;
    if (const std::error_code error =
            OpenWide(InFolder(folder, name), GENERIC_READ | GENERIC_WRITE, kShareAll, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, native)) {
        return error;
    }
    file = MakeHandle(native);
    return {};
}

std::error_code CreateUnnamedIn(const Handle&, Handle&)
{
    return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code Duplicate(const Handle& file, Handle& copy)
{
    HANDLE native = INVALID_HANDLE_VALUE;
    const HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, Native(file), self, &native, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return LastError();
    }
    copy = MakeHandle(native, ObjectOf(file.Native())->FolderPath);
    return {};
}

std::error_code LinkAt(const Handle& file, const Handle& folder, const std::string& name)
{
    std::wstring existing;
    if (const std::error_code error = FinalPath(Native(file), existing)) {
        return error;
    }
    std::wstring longExisting;
    if (const std::error_code error = LongPath(Narrow(existing), longExisting)) {
        return error;
    }
    if (!::CreateHardLinkW(InFolder(folder, name).c_str(), longExisting.c_str(), nullptr)) {
        return LastError();
    }
    return {};
}

// One rename with MOVEFILE_REPLACE_EXISTING, which the file system makes in
// one step: the name holds the old file or the new one, whatever happens.
// ReplaceFileW would keep more of the old file (its ACL and streams) but is
// no single step: Wine's moves the old file aside first, and Windows' may
// fail with the old file gone and the new one still under its temporary
// name. The hidden, system and not-indexed attributes go over to the new
// file before the rename. A file that is open (the save holds it, a player
// may) cannot be replaced on Windows: that is std::errc::permission_denied,
// with nothing changed.
std::error_code RenameAt(const Handle& folder, const std::string& from, const std::string& to)
{
    const std::wstring source = InFolder(folder, from);
    const std::wstring target = InFolder(folder, to);
    const DWORD old = ::GetFileAttributesW(target.c_str());
    const DWORD made = ::GetFileAttributesW(source.c_str());
    // Set even where they seem equal: Wine shows a name that starts with a
    // dot, as the temporary file's does, as hidden without storing it.
    if (old != INVALID_FILE_ATTRIBUTES && made != INVALID_FILE_ATTRIBUTES) {
        const DWORD attributes = (made & ~kKeptAttributes) | (old & kKeptAttributes);
        if (!::SetFileAttributesW(source.c_str(), attributes)) {
            return LastError();
        }
    }
    if (::MoveFileExW(source.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return {};
    }
    const DWORD code = ::GetLastError();
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED) {
        return std::make_error_code(std::errc::permission_denied);
    }
    return FromSystem(code);
}

bool CanReplaceOpenFile()
{
    return false;
}

std::error_code RemoveAt(const Handle& folder, const std::string& name)
{
    if (!::DeleteFileW(InFolder(folder, name).c_str())) {
        return LastError();
    }
    return {};
}

std::error_code RenameNoReplace(const Handle& folder, const std::string& from,
                                const std::string& to)
{
    const std::wstring source = InFolder(folder, from);
    const std::wstring target = InFolder(folder, to);
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return {};
    }
    const std::error_code error = LastError();
    if (error != std::errc::file_exists) {
        return error;
    }
    // Names that differ in case only name the same file: the rename changes
    // its case, and replaces nothing.
    FileInfo was;
    FileInfo taken;
    if (DescribePath(source, Follow::NoLinks, was) ||
        DescribePath(target, Follow::NoLinks, taken) || !was.SameFile(taken)) {
        return error;
    }
    if (!::MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return LastError();
    }
    return {};
}

std::error_code Query(const Handle& file, FileInfo& info)
{
    return Describe(Native(file), info);
}

std::error_code QueryAt(const Handle& folder, const std::string& name, Follow follow,
                        FileInfo& info)
{
    return DescribePath(InFolder(folder, name), follow, info);
}

std::error_code QueryPath(const std::string& path, Follow follow, FileInfo& info)
{
    if (path.empty()) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    std::wstring wide;
    if (const std::error_code error = LongPath(path, wide)) {
        return error;
    }
    return DescribePath(wide, follow, info);
}

std::error_code ReadLink(const std::string& path, std::string& target)
{
    // The end of the link as the system resolves it; the stored text of a
    // Windows link is not needed by anything here.
    std::wstring wide;
    if (const std::error_code error = LongPath(path, wide)) {
        return error;
    }
    HANDLE native = INVALID_HANDLE_VALUE;
    if (const std::error_code error =
            OpenWide(wide, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, 0, native)) {
        return error;
    }
    std::wstring final;
    const std::error_code error = FinalPath(native, final);
    ::CloseHandle(native);
    if (!error) {
        target = Narrow(final);
    }
    return error;
}

std::error_code ReadAt(const Handle& file, std::uint64_t position, std::span<std::uint8_t> buffer,
                       std::size_t& got)
{
    got = 0;
    while (got < buffer.size()) {
        const auto want = static_cast<DWORD>(std::min(buffer.size() - got, kLargestCall));
        OVERLAPPED at = At(position + got);
        DWORD n = 0;
        if (!::ReadFile(Native(file), buffer.data() + got, want, &n, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return LastError();
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    return {};
}

std::error_code WriteAt(const Handle& file, std::uint64_t position,
                        std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto want = static_cast<DWORD>(std::min(bytes.size() - done, kLargestCall));
        OVERLAPPED at = At(position + done);
        DWORD n = 0;
        if (!::WriteFile(Native(file), bytes.data() + done, want, &n, &at)) {
            return LastError();
        }
        if (n == 0) {
            return std::make_error_code(std::errc::no_space_on_device);
        }
        done += n;
    }
    return {};
}

std::error_code SetSize(const Handle& file, std::uint64_t size)
{
    return SetEndOfFile(Native(file), size);
}

std::error_code Reserve(const Handle& file, std::uint64_t position, std::uint64_t count)
{
    // As on POSIX, the file grows to the end of the range. Setting the end
    // takes the space on the disk at once (the bytes read as zeros), so a
    // full disk shows here.
    FileInfo info;
    if (const std::error_code error = Describe(Native(file), info)) {
        return error;
    }
    const std::uint64_t end = position + count;
    return end <= info.Size ? std::error_code{} : SetEndOfFile(Native(file), end);
}

std::error_code Sync(const Handle& file)
{
    if (!ObjectOf(file.Native())->FolderPath.empty()) {
        return {}; // the file system's own log keeps a folder's entries
    }
    if (!::FlushFileBuffers(Native(file))) {
        return LastError();
    }
    return {};
}

std::error_code DataExtents(const Handle&, std::uint64_t from, std::uint64_t to,
                            std::vector<Extent>& extents)
{
    extents.assign(1, Extent{from, to - from});
    return {};
}

std::error_code CopyRange(const Handle&, std::uint64_t, const Handle&, std::uint64_t, std::uint64_t,
                          std::uint64_t& copied)
{
    copied = 0; // the caller copies the bytes itself
    return {};
}

std::error_code LockExclusive(const Handle& file, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        OVERLAPPED at = At(kLockOffset);
        if (::LockFileEx(Native(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                         &at)) {
            return {};
        }
        const DWORD code = ::GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
            return FromSystem(code);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::make_error_code(std::errc::resource_unavailable_try_again);
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

std::error_code SetOwner(const Handle&, std::uint32_t owner, std::uint32_t group)
{
    // Every file has owner 0 here: its ACL says who may do what.
    return owner == 0 && group == 0 ? std::error_code{}
                                    : std::make_error_code(std::errc::operation_not_supported);
}

std::error_code SetMode(const Handle& file, std::uint32_t mode)
{
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(Native(file), FileBasicInfo, &basic, sizeof basic)) {
        return LastError();
    }
    const DWORD before = basic.FileAttributes;
    DWORD attributes = (mode & 0200u) != 0 ? before & ~DWORD{FILE_ATTRIBUTE_READONLY}
                                           : before | FILE_ATTRIBUTE_READONLY;
    if (attributes == before) {
        return {};
    }
    if (attributes == 0) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    FILE_BASIC_INFO change{};
    change.FileAttributes = attributes; // zero times: left as they are
    if (!::SetFileInformationByHandle(Native(file), FileBasicInfo, &change, sizeof change)) {
        return LastError();
    }
    return {};
}

std::error_code SetModifiedTime(const Handle& file, std::int64_t nanoseconds)
{
    const FILETIME time = ToFileTime(nanoseconds);
    if (!::SetFileTime(Native(file), nullptr, nullptr, &time)) {
        return LastError();
    }
    return {};
}

std::error_code ListAttributes(const Handle&, std::vector<std::string>& names)
{
    names.clear(); // none in the POSIX sense
    return {};
}

std::error_code GetAttribute(const Handle&, const std::string&, std::vector<std::uint8_t>&)
{
    return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code SetAttribute(const Handle&, const std::string&, std::span<const std::uint8_t>)
{
    return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code RemoveAttribute(const Handle&, const std::string&)
{
    return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code ListFolder(const std::string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    std::wstring wide;
    if (const std::error_code error = LongPath(path, wide)) {
        return error;
    }
    if (!IsSeparator(wide.back())) {
        wide += L'\\';
    }
    wide += L'*';
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                           FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? std::error_code{} : LastError();
    }
    std::error_code error;
    do {
        const std::wstring_view name(found.cFileName);
        const DWORD attributes = found.dwFileAttributes;
        if (name == L"." || name == L"..") {
            continue;
        }
        // The reparse tag of an entry that has one.
        const bool link =
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(found.dwReserved0);
        const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        FolderEntry entry;
        entry.Name = Narrow(name);
        entry.Regular = !link && !folder;
        entry.MaybeRegular = link;
        entry.Directory = !link && folder;
        entry.Hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(search, &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        error = LastError();
    }
    ::FindClose(search);
    return error;
}

std::string UserStateFolder()
{
    if (const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA"); local != nullptr && local[0] != 0) {
        return Narrow(local);
    }
    return {};
}

std::uint64_t RandomNumber()
{
    std::uint64_t value = 0;
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value,
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        // The time and the process still make a name that CREATE_NEW checks.
        value = static_cast<std::uint64_t>(NowNanoseconds()) ^
                (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32);
    }
    return value;
}

bool IsTerminal(int standardStream)
{
    const DWORD which = standardStream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    const HANDLE stream = ::GetStdHandle(which);
    DWORD mode = 0;
    return stream != nullptr && stream != INVALID_HANDLE_VALUE &&
           ::GetFileType(stream) == FILE_TYPE_CHAR && ::GetConsoleMode(stream, &mode);
}

void KeepRunningAtFileSizeLimit()
{
    // Windows has no file size limit that ends a process.
}

void SetUpStandardStreams()
{
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> wide(
        ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
    std::vector<std::string> out;
    if (!wide) {
        out.assign(argv, argv + argc);
        return out;
    }
    for (int i = 0; i < count; ++i) {
        out.push_back(Narrow(wide.get()[i]));
    }
    return out;
}

std::int64_t NowNanoseconds()
{
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return ToNanoseconds(now);
}

std::error_code MakeFolders(const std::string& path)
{
    if (path.empty()) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    FileInfo info;
    if (!QueryPath(path, Follow::Links, info)) {
        return info.Directory ? std::error_code{}
                              : std::make_error_code(std::errc::not_a_directory);
    }
    const std::string parent = FolderOf(path);
    if (parent != path && parent != ".") {
        if (const std::error_code error = MakeFolders(parent)) {
            return error;
        }
    }
    std::wstring wide;
    if (const std::error_code error = LongPath(path, wide)) {
        return error;
    }
    if (!::CreateDirectoryW(wide.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return LastError();
    }
    return {};
}

std::error_code AbsolutePath(const std::string& path, std::string& absolute)
{
    std::wstring wide;
    if (const std::error_code error = LongPath(path, wide)) {
        return error;
    }
    HANDLE native = INVALID_HANDLE_VALUE;
    if (const std::error_code error =
            OpenWide(wide, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, 0, native)) {
        return error;
    }
    std::wstring final;
    const std::error_code error = FinalPath(native, final);
    ::CloseHandle(native);
    if (!error) {
        absolute = Narrow(final);
    }
    return error;
}

namespace {

// Where the last part of the path starts: after the last separator, or
// after a drive's colon.
std::size_t NameStart(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) {
        return slash + 1;
    }
    return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

// The length of the root: "C:\", "C:", "\" or "\\server\share\".
std::size_t RootLength(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':') {
        return path.size() >= 3 && IsSeparatorChar(path[2]) ? 3 : 2;
    }
    return !path.empty() && IsSeparatorChar(path[0]) ? 1 : 0;
}

} // namespace

std::string FolderOf(const std::string& path)
{
    const std::size_t start = NameStart(path);
    if (start == 0) {
        return ".";
    }
    const std::size_t root = RootLength(path);
    if (start <= root) {
        return path.substr(0, root);
    }
    return path.substr(0, start - 1);
}

std::string NameOf(const std::string& path)
{
    return path.substr(NameStart(path));
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder == ".") {
        return name;
    }
    const bool ended = IsSeparatorChar(folder.back()) || (folder.size() == 2 && folder[1] == ':');
    return ended ? folder + name : folder + "\\" + name;
}

std::error_code ResolveLinks(const std::string& path, std::string& resolved)
{
    FileInfo info;
    if (const std::error_code error = QueryPath(path, Follow::NoLinks, info)) {
        return error;
    }
    if (!info.SymbolicLink) {
        resolved = path;
        return {};
    }
    return ReadLink(path, resolved);
}

} // namespace varnello::platform
