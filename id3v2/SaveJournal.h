#pragma once
// The rollback journal of a save that changes a file's bytes in place.
// Before the first byte changes, the journal holds the file's identity, its
// old size and the old bytes of every region the save will write; it is
// synced to disk and only then marked complete. After the save's final sync
// it is removed. A save interrupted in between (a crash, a kill, a power
// loss) is rolled back from it the next time Varnello opens the file or its
// folder, so the file ends as the complete old file.
//
// The journal lies beside the file, named by the file's inode; where the
// folder cannot take it, in the user's state folder, named by device and
// inode.

#include "FileStream.h"
#include "Platform.h"
#include "SaveIo.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnello {

class SaveTarget;

struct JournalRegion
{
    std::uint64_t Position = 0;
    std::uint64_t Count = 0;
};

class SaveJournal
{
public:
    SaveJournal(SaveTarget& target, const SaveIo& io);
    ~SaveJournal();
    SaveJournal(const SaveJournal&) = delete;
    SaveJournal& operator=(const SaveJournal&) = delete;

    // How far the journal must hold before the file changes.
    enum class Durability
    {
        // Synced to disk, then marked complete: for a move of the audio,
        // which a power cut must not tear.
        AgainstPowerLoss,
        // Written in one go, its old bytes under a CRC-32: for a small
        // in-place rewrite, which is no more durable than one write call.
        AgainstKills,
    };

    // Writes and completes the journal of the regions. Throws the engine's
    // exceptions; a journal that could not be completed is removed again and
    // the file has not been touched.
    void Write(const std::vector<JournalRegion>& regions, std::uint64_t newSize,
               Durability durability);
    // Puts the old bytes and size back and syncs the file; then the journal
    // goes. Throws when the file cannot be restored, leaving the journal for
    // a later recovery.
    void RollBack();
    // Removes the journal once the save is complete on disk.
    void Remove();
    // Makes the in-place change under the written journal: when it fails,
    // the file is rolled back (or, where that fails too, the journal stays
    // for the next recovery) and the failure passes on; when it succeeds,
    // the journal goes.
    void Apply(const std::function<void()>& change);

private:
    platform::Handle Create(const platform::FileInfo& info);

    SaveTarget& m_target;
    const SaveIo& m_io;
    platform::Handle m_folder;
    std::string m_name;
    std::vector<JournalRegion> m_regions;
    std::uint64_t m_oldSize = 0;
    bool m_written = false;
};

// What a recovery found for one journal.
struct RecoveredSave
{
    std::string Path;      // the file, as the journal names it
    bool Restored = false; // rolled back to the old file
    std::string Note;      // what was done, for the user
};

// Rolls back every interrupted save of files in the folder: the journals
// beside them and those in the user's state folder that name a file there.
// Journals of saves still running (their file is locked) are left alone.
// Unfinished journals and temporary files that no save holds any more go.
std::vector<RecoveredSave> RecoverFolder(const std::string& folder);
// The same for one file; a file that is locked by a running save is left.
std::vector<RecoveredSave> RecoverFile(const std::string& path);
// For a save that holds the file's lock: rolls back a journal of an earlier,
// interrupted save of the same file before anything is read.
void RecoverLockedFile(SaveTarget& target);

// True for a name a journal has beside its file.
bool IsJournalName(const std::string& name);
// True when the user's state folder holds journals (of files whose folder
// could not take theirs); a listing then looks whether one is for its folder.
bool HasStateJournals();

} // namespace varnello
