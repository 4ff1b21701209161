#pragma once
// The file operations of one save, each announced to the save's hook first,
// so that a test can make any chosen step fail. Positions are explicit:
// every call says where it reads or writes.

#include "FileStream.h"
#include "Platform.h"
#include "SaveOptions.h"

#include <cstdint>
#include <span>
#include <string>

namespace varnello {

class SaveIo
{
public:
    explicit SaveIo(const SaveOptions& options) : m_options(options) {}

    // Reads exactly buffer.size() bytes at the position or throws EReadError.
    void Read(FileStream& file, std::uint64_t position, std::span<std::uint8_t> buffer) const;
    void Write(FileStream& file, std::uint64_t position, std::span<const std::uint8_t> bytes) const;
    // Grows the file to newSize with the disk space reserved, so that a full
    // disk shows here and not halfway through a move. On failure the file is
    // cut back to its old size and EWriteError is thrown.
    void Extend(FileStream& file, std::uint64_t oldSize, std::uint64_t newSize) const;
    void Truncate(FileStream& file, std::uint64_t size) const;
    void Sync(FileStream& file) const;
    void Close(FileStream& file) const;
    // Copies count bytes from one file to another inside the system where it
    // can, reading and writing through `buffer` where it cannot.
    void Copy(FileStream& from, std::uint64_t source, FileStream& to, std::uint64_t target,
              std::uint64_t count, std::span<std::uint8_t> buffer) const;

    // A new, empty file in the folder for the new content: unnamed where the
    // file system allows (then `name` is empty), else under a new name of
    // its own with mode 0600. Throws EFileOpenError when none can be made.
    FileStream CreateTemporary(const platform::Handle& folder, std::string& name) const;
    // Gives an unnamed temporary file its name in the folder.
    void Link(const FileStream& temporary, const platform::Handle& folder,
              const std::string& name) const;
    // Gives the new file the old one's owner and group (first, so that the
    // mode's setuid and setgid bits survive), mode and extended attributes
    // (POSIX ACLs among them). False when one of them cannot be kept.
    bool CopyIdentity(const FileStream& from, const platform::FileInfo& info,
                      const FileStream& to) const;
    // Replaces `to` by `from` in the folder in one step. False when the
    // folder does not allow it (a sticky folder, a file of another user);
    // throws EWriteError when it fails otherwise.
    bool Rename(const platform::Handle& folder, const std::string& from,
                const std::string& to) const;
    // Flushes the folder's entries to disk; file systems that cannot do this
    // are not an error.
    void SyncFolder(const platform::Handle& folder) const;
    // After a rename that replaced the file: flushes the folder now, or
    // leaves it to the batch of the save's options.
    void FlushReplacedFolder(const platform::Handle& folder) const;
    // When the options ask for it, gives the file the modification time the
    // original had before the save (`info`). Done after the last write; a
    // time that cannot be set does not fail the save, which is complete.
    void KeepModificationTime(const FileStream& file, const platform::FileInfo& info) const;
    // Announces one step of writing a rollback journal.
    void JournalStep() const { Before(SaveOperation::Journal); }

private:
    void Before(SaveOperation operation) const;

    const SaveOptions& m_options;
};

// The name of a temporary file of a save: ".varnello-" and sixteen hex digits
// and ".tmp".
std::string TemporaryName();
bool IsTemporaryName(const std::string& name);
// Removes the temporary files that saves killed before their end left in the
// folder: named like ours and not locked by a running save (a save holds its
// temporary file locked from before it has a name). Returns how many went.
int RemoveLeftoverTemporaries(const std::string& folder);

} // namespace varnello
