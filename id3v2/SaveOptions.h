#pragma once
// Per-save settings that the tag object does not carry: a hook that sees
// every file operation of a save before it runs (tests use it to make a
// chosen operation fail and check that the file survives), and the batch
// that flushes the folders of many saves at once, and whether the file keeps
// its modification time.

#include <functional>

namespace varnello {

class FolderFlushes;

enum class SaveOperation
{
    Read,            // a read from the original file
    Write,           // a write to the original or to the temporary file
    Extend,          // reserving disk space for a file that grows in place
    Truncate,        // cutting a file at a position
    Sync,            // flushing a file to disk
    Close,           // closing the temporary file (where late write errors show)
    CreateTemporary, // making the temporary file beside the original
    Rename,          // naming the temporary file, or putting it in the original's place
    Identity,        // giving the new file the original's owner, mode and attributes
    Journal,         // a step of writing the rollback journal of an in-place change
};

struct SaveOptions
{
    // Called before each operation. It may throw EReadError, EWriteError,
    // EInOutError, or EFileOpenError (the last only for CreateTemporary).
    std::function<void(SaveOperation)> BeforeOperation;
    // When set, a file replaced through a temporary file leaves the flush of
    // its folder to this batch instead of flushing it at once.
    FolderFlushes* DeferredFolderFlushes = nullptr;
    // The saved file keeps the modification time it had before the save.
    bool KeepModificationTime = false;
};

} // namespace varnello
