#pragma once
// Every call the core makes into the operating system, behind one narrow
// interface: opening, reading and writing files by position, syncing,
// locking, asking about files and folders, linking and renaming within a
// held folder, copying byte ranges, extended attributes and listing folders.
// Paths are UTF-8 (on POSIX: the bytes as the file system has them). No type
// of the operating system appears here, so that another implementation of
// this header can serve another system. Failures come back as error codes;
// nothing here throws.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace varnello::platform {

// An open file or folder. Closed when it goes out of scope.
class Handle
{
public:
    Handle() = default;
    explicit Handle(std::intptr_t native) : m_native(native) {}
    ~Handle();
    Handle(Handle&& other) noexcept;
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool IsOpen() const { return m_native >= 0; }
    std::intptr_t Native() const { return m_native; }
    // Closes now and reports what the system said (late write errors show
    // here on some file systems).
    std::error_code Close();

private:
    std::intptr_t m_native = -1;
};

// What the system says about a file or folder.
struct FileInfo
{
    bool Regular = false;
    bool Directory = false;
    bool SymbolicLink = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::uint64_t Size = 0;
    std::uint64_t Links = 0;
    std::uint64_t AllocatedBytes = 0;
    std::int64_t ModifiedNanoseconds = 0;
    std::uint32_t Mode = 0; // permission bits with setuid, setgid and sticky
    std::uint32_t Owner = 0;
    std::uint32_t Group = 0;
    // The file may not be written by its owner: the read-only attribute.
    bool ReadOnly() const { return (Mode & 0200u) == 0; }
    // The same file, as a device and inode pair says.
    bool SameFile(const FileInfo& other) const
    {
        return Device == other.Device && Inode == other.Inode;
    }
};

enum class Access
{
    Read,
    ReadWrite
};

enum class Follow
{
    Links,  // a symbolic link is followed
    NoLinks // a symbolic link is refused (or, for a query, described itself)
};

// Opening. A FIFO or device is opened without waiting on it.
std::error_code Open(const std::string& path, Access access, Handle& file);
std::error_code OpenFolder(const std::string& path, Handle& folder);
// A file of a held folder, by its name in it.
std::error_code OpenAt(const Handle& folder, const std::string& name, Access access, Follow follow,
                       Handle& file);
// A new file that must not exist yet, readable and writable by its owner only.
std::error_code CreateExclusiveAt(const Handle& folder, const std::string& name, Handle& file);
// A new file in the folder without a name, which vanishes with its handle
// unless it is given one with LinkAt. Fails where the file system cannot.
std::error_code CreateUnnamedIn(const Handle& folder, Handle& file);
// A second handle on the same open file: a lock taken through one holds
// until both are closed.
std::error_code Duplicate(const Handle& file, Handle& copy);
// Gives an unnamed file (or any open file) a name in the folder.
std::error_code LinkAt(const Handle& file, const Handle& folder, const std::string& name);
// Replaces `to` by `from`, both names in the folder, in one step.
std::error_code RenameAt(const Handle& folder, const std::string& from, const std::string& to);
// Whether RenameAt can replace a file that is open (POSIX: yes; Windows:
// not while any handle is open on it, which a save holds).
bool CanReplaceOpenFile();
std::error_code RemoveAt(const Handle& folder, const std::string& name);
// Gives the file `from` the name `to` in the folder, but only while no entry
// named `to` exists: that is std::errc::file_exists, and nothing changes.
// Where the system has no such rename, the file is linked under the new name
// (which refuses an existing name as well) and the old name removed.
std::error_code RenameNoReplace(const Handle& folder, const std::string& from,
                                const std::string& to);

// Queries.
std::error_code Query(const Handle& file, FileInfo& info);
std::error_code QueryAt(const Handle& folder, const std::string& name, Follow follow,
                        FileInfo& info);
std::error_code QueryPath(const std::string& path, Follow follow, FileInfo& info);
// The target of a symbolic link as stored.
std::error_code ReadLink(const std::string& path, std::string& target);

// Reading and writing at a position. A read returns fewer bytes only at the
// end of the file; a write writes every byte or fails.
std::error_code ReadAt(const Handle& file, std::uint64_t position, std::span<std::uint8_t> buffer,
                       std::size_t& got);
std::error_code WriteAt(const Handle& file, std::uint64_t position,
                        std::span<const std::uint8_t> bytes);
std::error_code SetSize(const Handle& file, std::uint64_t size);
// Reserves the disk space of the range, so that a full disk shows now.
std::error_code Reserve(const Handle& file, std::uint64_t position, std::uint64_t count);
// Flushes the file's data and size to disk (a folder: its entries).
std::error_code Sync(const Handle& file);

// The runs of a file that hold data, in [from, to): the rest are holes that
// read as zeros and take no space. A file system that cannot tell gives the
// whole range as one run.
struct Extent
{
    std::uint64_t Position = 0;
    std::uint64_t Count = 0;
};
std::error_code DataExtents(const Handle& file, std::uint64_t from, std::uint64_t to,
                            std::vector<Extent>& extents);
// Copies count bytes between files inside the system where it can (sharing
// the blocks on file systems that clone them); `copied` tells how far it got
// before an error, and 0 with no error means the caller must copy itself.
std::error_code CopyRange(const Handle& from, std::uint64_t source, const Handle& to,
                          std::uint64_t target, std::uint64_t count, std::uint64_t& copied);

// An exclusive lock on the whole file, held by this handle (not by the
// process): another handle of the same process is refused as well. Waits at
// most `wait`; a refusal after the wait is std::errc::resource_unavailable_try_again.
std::error_code LockExclusive(const Handle& file, std::chrono::milliseconds wait);

// Owner, mode and extended attributes (POSIX ACLs among them).
std::error_code SetOwner(const Handle& file, std::uint32_t owner, std::uint32_t group);
std::error_code SetMode(const Handle& file, std::uint32_t mode);
// Sets the modification time, in nanoseconds since the epoch (as FileInfo
// gives it); the access time is left as it is.
std::error_code SetModifiedTime(const Handle& file, std::int64_t nanoseconds);
std::error_code ListAttributes(const Handle& file, std::vector<std::string>& names);
std::error_code GetAttribute(const Handle& file, const std::string& name,
                             std::vector<std::uint8_t>& value);
std::error_code SetAttribute(const Handle& file, const std::string& name,
                             std::span<const std::uint8_t> value);
std::error_code RemoveAttribute(const Handle& file, const std::string& name);

// The entries of a folder, without "." and "..".
struct FolderEntry
{
    std::string Name;
    bool Regular = false;      // known to be a regular file
    bool MaybeRegular = false; // a link or an entry whose type the listing did not give
    bool Directory = false;    // known to be a folder (not a link to one)
    bool Hidden = false;       // marked hidden or system (Windows; never on POSIX)
};
std::error_code ListFolder(const std::string& path, std::vector<FolderEntry>& entries);

// Where a program keeps state of its own for this user: the state folder of
// the desktop's conventions. Empty when there is none.
std::string UserStateFolder();
// Random bits from the system, for names nobody can guess.
std::uint64_t RandomNumber();
// True when the standard stream (1 output, 2 error) is a terminal.
bool IsTerminal(int standardStream);
// A write beyond the process's file size limit fails with an error instead of
// ending the process. Called once by each program at start.
void KeepRunningAtFileSizeLimit();
// The standard streams carry the program's bytes as they are: on Windows
// without a CR put before each LF, and shown as UTF-8 on the console (on
// POSIX nothing changes). Called once by each program at start.
void SetUpStandardStreams();
// The program's arguments in UTF-8, its own name first (on POSIX: argv as
// it is; on Windows: the command line as the system has it, in UTF-16).
std::vector<std::string> ProgramArguments(int argc, char** argv);
// The current time, in nanoseconds since the epoch, as file times count it.
std::int64_t NowNanoseconds();

// Makes the folder and any missing folder above it, for the owner only.
std::error_code MakeFolders(const std::string& path);

// Paths.
// The absolute path with every link resolved, of an existing file or folder.
std::error_code AbsolutePath(const std::string& path, std::string& absolute);
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
// Follows the chain of symbolic links at the path's last component (not its
// folders, which the system follows when the folder is opened) to the path
// it ends at; a relative target is taken relative to the link's folder.
std::error_code ResolveLinks(const std::string& path, std::string& resolved);

} // namespace varnello::platform
