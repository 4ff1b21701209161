#include "FolderFlushes.h"

#include <algorithm>

namespace varnello {

void FolderFlushes::Add(const platform::Handle& folder)
{
    platform::FileInfo info;
    if (!platform::Query(folder, info)) {
        const bool known = std::any_of(m_folders.begin(), m_folders.end(), [&](const Folder& f) {
            return f.Device == info.Device && f.Inode == info.Inode;
        });
        if (known) {
            return;
        }
        Folder held{info.Device, info.Inode, {}};
        if (!platform::Duplicate(folder, held.Handle)) {
            if (m_folders.size() == kMostHeld) {
                Flush();
            }
            m_folders.push_back(std::move(held));
            return;
        }
    }
    // Nothing to know it by later: flushed now.
    static_cast<void>(platform::Sync(folder));
}

void FolderFlushes::Flush()
{
    for (const Folder& folder : m_folders) {
        static_cast<void>(platform::Sync(folder.Handle));
    }
    m_folders.clear();
}

} // namespace varnello
