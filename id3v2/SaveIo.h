#pragma once
// The file operations of one save, each announced to the save's hook first.
// Positions are explicit: every call says where it reads or writes.

#include "FileStream.h"
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

    // A new, empty file in `folder` with a name of its own; throws
    // EFileOpenError when none can be made.
    FileStream CreateTemporary(const std::string& folder, std::string& path) const;
    // Replaces `to` by `from` in one step. Returns false when the folder does
    // not allow it (a sticky folder, a file of another user); throws
    // EWriteError when it fails otherwise.
    bool Rename(const std::string& from, const std::string& to) const;
    // Flushes the folder's entries to disk; file systems that cannot do this
    // are not an error, because the rename has already taken place.
    static void SyncFolder(const std::string& folder);

private:
    void Before(SaveOperation operation) const;

    const SaveOptions& m_options;
};

} // namespace varnello
