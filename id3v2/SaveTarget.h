#pragma once
// The file one save works on, opened once and held: the links of its path
// are resolved once, its folder is held open, the file is opened in that
// folder without following a link and locked against other saves until the
// object goes. Every later step of the save goes through these handles, and
// no call names the file by path again, so a link swapped in meanwhile
// leads nowhere. Before anything is written, the save asks whether the
// folder's entry still names the locked file and whether anything else has
// changed it.

#include "FileStream.h"
#include "Platform.h"
#include "StatusWord.h"

#include <chrono>
#include <string>

namespace varnello {

// How long a save waits for another save of the same file.
inline constexpr std::chrono::milliseconds kSaveLockWait{10000};

class SaveTarget
{
public:
    // Opens and locks the file. Returns kOk; kCannotOpen for a missing file,
    // a folder or anything that is not a regular file; kReadOnly for a file
    // whose owner-write bit is clear or that may not be opened for writing;
    // kBusy when another save holds it for longer than `wait`. A file that
    // another save replaced while this one waited is opened anew.
    StatusWord Open(const std::string& path, std::chrono::milliseconds wait = kSaveLockWait);

    FileStream& File() { return m_file; }
    const platform::Handle& Folder() const { return m_folder; }
    const std::string& FolderPath() const { return m_folderPath; }
    const std::string& Name() const { return m_name; }
    // The resolved path, for messages and for the tag object's FileName.
    std::string Path() const { return platform::JoinPath(m_folderPath, m_name); }
    // The file as it was when it was locked.
    const platform::FileInfo& Info() const { return m_info; }

    // The folder's entry still names the locked file.
    bool StillNamed() const;
    // Size and modification time are as they were when the file was locked
    // (or when Refresh last took them).
    bool Unchanged() const;
    // Takes the file's current size and time as the ones to compare with,
    // after the save itself changed them.
    void Refresh();

private:
    StatusWord OpenOnce(const std::string& path, std::chrono::milliseconds wait);
    StatusWord FindFile(const std::string& path, platform::FileInfo& seen);

    platform::Handle m_folder;
    FileStream m_file;
    std::string m_folderPath;
    std::string m_name;
    platform::FileInfo m_info;
};

} // namespace varnello
