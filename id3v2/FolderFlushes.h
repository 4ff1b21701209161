#pragma once
// The folders whose entries a batch of saves changed, flushed once at the
// end of the batch instead of once per file.
//
// A save through a temporary file flushes the new content before the rename,
// so the file is complete whichever name the disk holds after a power cut;
// the flush of the folder afterwards only makes the new name itself last.
// Leaving it to the end of a batch keeps every file whole: a power cut
// before the batch's flush may bring back the old version of a file saved
// in it, never a broken one. A journal's own folder flush is not deferred:
// the journal must be on disk before the file changes.

#include "Platform.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnello {

class FolderFlushes
{
public:
    FolderFlushes() = default;
    FolderFlushes(const FolderFlushes&) = delete;
    FolderFlushes& operator=(const FolderFlushes&) = delete;
    // Flushes what is left.
    ~FolderFlushes() { Flush(); }

    // Remembers the folder to flush later. A batch spread over very many
    // folders flushes them early rather than hold a handle of each.
    void Add(const platform::Handle& folder);
    // Flushes every folder remembered and forgets them. File systems that
    // cannot flush a folder are no error.
    void Flush();

    std::size_t Pending() const { return m_folders.size(); }

private:
    struct Folder
    {
        std::uint64_t Device = 0;
        std::uint64_t Inode = 0;
        platform::Handle Handle;
    };
    static constexpr std::size_t kMostHeld = 64;
    std::vector<Folder> m_folders;
};

} // namespace varnello
