#pragma once
// Taking back saves and renames, and doing them again. A save records, for
// each file it changed, the bytes a tag save changes as they were before and
// after it (TagBytes); a rename records the names and the file it moved.
// Undo puts the old bytes or the old name back, file by file, but only where
// the file is still exactly as the step left it; a file changed since is
// reported and left alone. Redo is the undo of an undo.
//
// The old and new tags are held in memory, up to a limit for the whole
// history: older steps are dropped to make room, and a step whose tags alone
// exceed the limit is not kept (it cannot be undone, and says so).

#include "FileRow.h"
#include "Renamer.h"
#include "TagBytes.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace varnello {

inline constexpr std::uint64_t kUndoMemoryLimit = std::uint64_t{64} << 20;

// One file's tag change: the file went from Before to After.
struct TagChange
{
    std::string Path;
    TagBytes Before;
    TagBytes After;
};

// One file's rename, within Folder (names relative to it, as in the rows).
struct NameChange
{
    std::string Folder;
    std::string OldName;
    std::string NewName;
    FileIdentity Identity; // the file that was renamed
};

struct UndoStep
{
    std::string Title; // what the step did, for the menu ("Save of 3 files")
    std::vector<TagChange> Tags;
    std::vector<NameChange> Names; // in the order they were made
    // Files the step changed whose change could not be recorded; an undo
    // names them and leaves them.
    std::vector<std::string> Unrecorded;
    bool TooLarge = false; // its tags were beyond the memory limit: not kept

    bool Empty() const { return Tags.empty() && Names.empty() && Unrecorded.empty() && !TooLarge; }
    std::uint64_t MemorySize() const;
};

// Collects the tag changes of one step while its saves run. Used by one
// thread at a time.
class UndoRecorder
{
public:
    explicit UndoRecorder(std::uint64_t limit = kUndoMemoryLimit) : m_limit(limit) {}

    // How many bytes of tags may still be recorded.
    std::uint64_t Room() const;
    void Add(TagChange change);
    // A file was changed but its change could not be recorded.
    void Missed(const std::string& path);
    // The step's tags do not fit in the limit: what was recorded is dropped.
    void Overflow();
    bool Overflowed() const { return m_step.TooLarge; }

    // The step recorded so far; the recorder starts empty again.
    UndoStep Take(std::string title);

private:
    std::uint64_t m_limit;
    std::uint64_t m_used = 0;
    UndoStep m_step;
};

// What recording a save of these files would hold in memory, from their tags'
// sizes as they are now (a new cover adds its size to each file), for asking
// before a save whether it could be undone. Files that cannot be read count
// nothing.
std::uint64_t EstimateUndoMemory(const std::string& folder, const std::vector<std::string>& names,
                                 std::uint64_t addedBytes = 0);

// The renames of ApplyRenames' outcomes that were made, as a step.
UndoStep RenameStep(std::string title, const std::string& folder,
                    const std::vector<RenameOutcome>& outcomes);

struct RevertFailure
{
    std::string Name; // the path or relative name, as recorded
    std::string Reason;
};

// What taking back a step did.
struct RevertResult
{
    // The step that takes this one back again (the redo of an undo, the undo
    // of a redo): the files reverted, as they are now.
    UndoStep Reverse;
    std::vector<std::string> Reverted;   // paths and relative names, as recorded
    std::vector<RevertFailure> Failures; // the files left alone
    // Renames made back: old and new name (relative to the folder), as the
    // table must follow them.
    std::vector<NameChange> NamesBack;
};

// Takes the step back: renames first (last made first), then the tags. Saves
// keep the modification time when `keepModificationTimes` is set, as saves do.
RevertResult RevertStep(const UndoStep& step, bool keepModificationTimes);

// The steps that can be undone and redone, within the memory limit.
class UndoHistory
{
public:
    explicit UndoHistory(std::uint64_t limit = kUndoMemoryLimit) : m_limit(limit) {}

    // A new step: the redo steps go, and the oldest steps go while the
    // history is over the limit. An empty step is not kept.
    void Push(UndoStep step);

    const UndoStep* NextUndo() const;
    const UndoStep* NextRedo() const;
    // Takes the next step off its list for RevertStep.
    std::optional<UndoStep> TakeUndo();
    std::optional<UndoStep> TakeRedo();
    // The reverse of an undone step, for Redo; of a redone one, for Undo
    // (without clearing the redo list). The other steps that left a file
    // exactly as the reverse step found it now expect the file's new
    // modification time: the undo's own write does not count as a change.
    void PushRedo(UndoStep step);
    void PushUndoKeepingRedo(UndoStep step);

    std::uint64_t MemorySize() const;

private:
    void Trim();
    void Retime(const UndoStep& reverse);

    std::uint64_t m_limit;
    std::deque<UndoStep> m_undo; // the last is the next to undo
    std::deque<UndoStep> m_redo;
};

} // namespace varnello
