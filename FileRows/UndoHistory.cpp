#include "UndoHistory.h"

#include "FileStream.h"
#include "SaveIo.h"
#include "SaveJournal.h"
#include "SaveTarget.h"

#include <algorithm>

namespace varnello {

std::uint64_t UndoStep::MemorySize() const
{
    std::uint64_t size = 0;
    for (const TagChange& change : Tags) {
        size += change.Before.MemorySize() + change.After.MemorySize();
    }
    return size;
}

std::uint64_t UndoRecorder::Room() const
{
    return m_step.TooLarge || m_used >= m_limit ? 0 : m_limit - m_used;
}

void UndoRecorder::Add(TagChange change)
{
    if (m_step.TooLarge) {
        return;
    }
    const std::uint64_t size = change.Before.MemorySize() + change.After.MemorySize();
    if (size > Room()) {
        Overflow();
        return;
    }
    m_used += size;
    m_step.Tags.push_back(std::move(change));
}

void UndoRecorder::Missed(const std::string& path)
{
    if (!m_step.TooLarge) {
        m_step.Unrecorded.push_back(path);
    }
}

void UndoRecorder::Overflow()
{
    m_step.Tags.clear();
    m_step.Tags.shrink_to_fit();
    m_step.Unrecorded.clear();
    m_step.TooLarge = true;
    m_used = 0;
}

UndoStep UndoRecorder::Take(std::string title)
{
    UndoStep step = std::move(m_step);
    step.Title = std::move(title);
    m_step = {};
    m_used = 0;
    return step;
}

std::uint64_t EstimateUndoMemory(const std::string& folder, const std::vector<std::string>& names,
                                 std::uint64_t addedBytes)
{
    constexpr std::uint64_t kId3v1Size = 128;
    const SaveOptions plain;
    const SaveIo io(plain);
    std::uint64_t total = 0;
    for (const std::string& name : names) {
        try {
            FileAttributes attributes;
            FileStream file = FileStream::OpenRegularForReading(JoinPath(folder, name), attributes);
            TagExtent extent;
            MeasureTagAt(io, file, 0, attributes.Size, extent);
            // The tag before and after the save, and the ID3v1 block's place.
            total += 2 * (extent.Whole + kId3v1Size) + addedBytes;
        } catch (const std::runtime_error&) {
            // Not saved either: nothing to record.
        }
    }
    return total;
}

UndoStep RenameStep(std::string title, const std::string& folder,
                    const std::vector<RenameOutcome>& outcomes)
{
    UndoStep step;
    step.Title = std::move(title);
    for (const RenameOutcome& outcome : outcomes) {
        if (outcome.Renamed) {
            step.Names.push_back({folder, outcome.OldName, outcome.NewName, outcome.Identity});
        }
    }
    return step;
}

namespace {

std::string TagFailure(StatusWord status)
{
    if (status.Error() == status::kChanged) {
        return "changed since; left as it is";
    }
    return StatusMessage(status.ErrorCode());
}

void RevertNames(const UndoStep& step, RevertResult& result)
{
    if (step.Names.empty()) {
        return;
    }
    // The names go back in one plan, last made first, so that a chain of
    // renames is undone in the order that frees each name.
    RenamePlan plan;
    plan.Folder = step.Names.front().Folder;
    for (auto change = step.Names.rbegin(); change != step.Names.rend(); ++change) {
        PlannedRename item;
        item.OldName = change->NewName;
        item.NewName = change->OldName;
        item.Check = RenameCheck::kRename;
        item.Expected = change->Identity;
        plan.Items.push_back(std::move(item));
    }
    for (const RenameOutcome& outcome : ApplyRenames(plan)) {
        if (outcome.Renamed) {
            const NameChange back{plan.Folder, outcome.OldName, outcome.NewName, outcome.Identity};
            result.Reverse.Names.push_back(back);
            result.NamesBack.push_back(back);
            result.Reverted.push_back(outcome.NewName);
        } else {
            result.Failures.push_back({outcome.OldName, "not renamed back to " + outcome.NewName +
                                                            ": " + outcome.Reason});
        }
    }
}

void RevertTags(const UndoStep& step, bool keepModificationTimes, RevertResult& result)
{
    SaveOptions options;
    options.KeepModificationTime = keepModificationTimes;
    for (auto change = step.Tags.rbegin(); change != step.Tags.rend(); ++change) {
        SaveTarget target;
        StatusWord status = target.Open(change->Path);
        if (status::IsSuccess(status)) {
            RecoverLockedFile(target);
            status = RestoreTagBytes(target, change->After, change->Before, options);
        }
        if (!status::IsSuccess(status)) {
            result.Failures.push_back({change->Path, TagFailure(status)});
            continue;
        }
        result.Reverted.push_back(change->Path);
        TagBytes now;
        if (status::IsSuccess(ReadTagBytesAfterSave(target, kUndoMemoryLimit, now))) {
            result.Reverse.Tags.push_back({change->Path, change->After, std::move(now)});
        } else {
            result.Reverse.Unrecorded.push_back(change->Path);
        }
    }
    // Back in the order the step made them.
    std::reverse(result.Reverse.Tags.begin(), result.Reverse.Tags.end());
}

} // namespace

RevertResult RevertStep(const UndoStep& step, bool keepModificationTimes)
{
    RevertResult result;
    result.Reverse.Title = step.Title;
    RevertNames(step, result);
    RevertTags(step, keepModificationTimes, result);
    for (const std::string& path : step.Unrecorded) {
        result.Failures.push_back({path, "its change could not be recorded; left as it is"});
    }
    return result;
}

void UndoHistory::Push(UndoStep step)
{
    if (step.Empty()) {
        return;
    }
    m_redo.clear();
    m_undo.push_back(std::move(step));
    Trim();
}

const UndoStep* UndoHistory::NextUndo() const
{
    return m_undo.empty() ? nullptr : &m_undo.back();
}

const UndoStep* UndoHistory::NextRedo() const
{
    return m_redo.empty() ? nullptr : &m_redo.back();
}

std::optional<UndoStep> UndoHistory::TakeUndo()
{
    if (m_undo.empty() || m_undo.back().TooLarge) {
        return std::nullopt;
    }
    UndoStep step = std::move(m_undo.back());
    m_undo.pop_back();
    return step;
}

std::optional<UndoStep> UndoHistory::TakeRedo()
{
    if (m_redo.empty()) {
        return std::nullopt;
    }
    UndoStep step = std::move(m_redo.back());
    m_redo.pop_back();
    return step;
}

void UndoHistory::Retime(const UndoStep& reverse)
{
    for (const TagChange& now : reverse.Tags) {
        const auto retime = [&now](UndoStep& step) {
            for (TagChange& change : step.Tags) {
                TagBytes left = change.After;
                left.ModifiedNanoseconds = now.After.ModifiedNanoseconds;
                if (change.Path == now.Path && left == now.After) {
                    change.After = left;
                }
            }
        };
        std::for_each(m_undo.begin(), m_undo.end(), retime);
        std::for_each(m_redo.begin(), m_redo.end(), retime);
    }
}

void UndoHistory::PushRedo(UndoStep step)
{
    Retime(step);
    if (!step.Empty()) {
        m_redo.push_back(std::move(step));
        Trim();
    }
}

void UndoHistory::PushUndoKeepingRedo(UndoStep step)
{
    Retime(step);
    if (!step.Empty()) {
        m_undo.push_back(std::move(step));
        Trim();
    }
}

std::uint64_t UndoHistory::MemorySize() const
{
    std::uint64_t size = 0;
    for (const UndoStep& step : m_undo) {
        size += step.MemorySize();
    }
    for (const UndoStep& step : m_redo) {
        size += step.MemorySize();
    }
    return size;
}

void UndoHistory::Trim()
{
    // The oldest steps go first; the newest step of each list stays while
    // the other list can give way.
    while (MemorySize() > m_limit) {
        if (m_undo.size() > 1) {
            m_undo.pop_front();
        } else if (m_redo.size() > 1 || (m_redo.size() == 1 && m_undo.size() == 1)) {
            m_redo.pop_front();
        } else {
            break;
        }
    }
}

} // namespace varnello
