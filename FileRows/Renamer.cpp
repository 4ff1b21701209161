#include "Renamer.h"

#include "Platform.h"
#include "SaveTarget.h"

#include <map>
#include <set>

namespace varnello {

namespace {

// "sub/a.mp3" → "sub/" and "a.mp3".
std::pair<std::string, std::string> SplitRelative(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {{}, path};
    }
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

bool EntryExists(const std::string& folder, const std::string& relative)
{
    platform::FileInfo info;
    const std::error_code error =
        platform::QueryPath(JoinPath(folder, relative), platform::Follow::NoLinks, info);
    // Anything but a clear "no such entry" counts as taken.
    return error != std::errc::no_such_file_or_directory;
}

// Marks as collisions the renames whose new name another new name shares, or
// that an existing entry holds which does not move away. Repeated until
// nothing changes, since a file that no longer moves keeps its name taken.
void FindCollisions(const std::string& folder, std::vector<PlannedRename>& items)
{
    for (bool changed = true; changed;) {
        changed = false;
        std::map<std::string, int> newNames;
        std::set<std::string> leaving;
        for (const PlannedRename& item : items) {
            if (item.Check == RenameCheck::kRename) {
                ++newNames[item.NewName];
                leaving.insert(item.OldName);
            }
        }
        for (PlannedRename& item : items) {
            if (item.Check != RenameCheck::kRename) {
                continue;
            }
            if (newNames[item.NewName] > 1) {
                item.Reason = "another file would get the same name";
            } else if (leaving.count(item.NewName) == 0 && EntryExists(folder, item.NewName)) {
                item.Reason = "a file of that name exists";
            } else {
                continue;
            }
            item.Check = RenameCheck::kCollision;
            changed = true;
        }
    }
}

// Why a rename failed, for the report.
std::string RenameFailure(std::error_code error)
{
    if (error == std::errc::file_exists) {
        return "a file of that name exists now; not replaced";
    }
    if (error == std::errc::resource_unavailable_try_again) {
        return "the file is being saved; try again";
    }
    if (error == std::errc::no_such_file_or_directory) {
        return "the file is gone";
    }
    if (error == std::errc::identifier_removed) {
        return "the name now belongs to another file";
    }
    return error.message();
}

// Renames one file, holding the lock a save takes on it so that the rename
// falls before or after a save, never into one. A file that may not be opened
// for writing cannot be saved either, and a symbolic link is renamed itself:
// those need no lock.
std::error_code RenameOne(const std::string& folder, const PlannedRename& item,
                          FileIdentity& renamed, int attempts = 3)
{
    const auto [subfolder, oldName] = SplitRelative(item.OldName);
    const std::string newName = SplitRelative(item.NewName).second;
    platform::Handle dir;
    if (std::error_code error = platform::OpenFolder(JoinPath(folder, subfolder), dir)) {
        return error;
    }
    platform::Handle file;
    const std::error_code opened = platform::OpenAt(dir, oldName, platform::Access::ReadWrite,
                                                    platform::Follow::NoLinks, file);
    platform::FileInfo named; // the entry to rename
    if (!opened) {
        if (std::error_code error = platform::LockExclusive(file, kSaveLockWait)) {
            return error;
        }
        // A save that replaced the file while this waited leaves the name on
        // a new file, which is then the one to rename.
        platform::FileInfo locked;
        if (platform::Query(file, locked) ||
            platform::QueryAt(dir, oldName, platform::Follow::NoLinks, named) ||
            !locked.SameFile(named)) {
            return attempts > 1 ? RenameOne(folder, item, renamed, attempts - 1)
                                : std::make_error_code(std::errc::resource_unavailable_try_again);
        }
    } else if (opened != std::errc::permission_denied &&
               opened != std::errc::read_only_file_system &&
               opened != std::errc::too_many_symbolic_link_levels) {
        return opened;
    } else if (std::error_code error =
                   platform::QueryAt(dir, oldName, platform::Follow::NoLinks, named)) {
        return error;
    }
    renamed = {named.Device, named.Inode};
    if (item.Expected && *item.Expected != renamed) {
        return std::make_error_code(std::errc::identifier_removed);
    }
    return platform::RenameNoReplace(dir, oldName, newName);
}

} // namespace

RenamePlan PlanRenames(const std::string& folder, std::span<const FileRow> rows,
                       const NamePattern& pattern, NameRules rules)
{
    RenamePlan plan;
    plan.Folder = folder;
    for (const FileRow& row : rows) {
        PlannedRename item;
        item.OldName = row.FileName;
        const auto [subfolder, oldName] = SplitRelative(row.FileName);
        FormattedName formatted = FormatName(pattern, row.Fields, oldName, rules);
        if (!formatted.Refusal.empty()) {
            item.Check = RenameCheck::kRefused;
            item.Reason = std::move(formatted.Refusal);
        } else {
            item.NewName = subfolder + formatted.Name;
            item.Check =
                item.NewName == item.OldName ? RenameCheck::kUnchanged : RenameCheck::kRename;
        }
        plan.Items.push_back(std::move(item));
    }
    FindCollisions(folder, plan.Items);
    return plan;
}

std::vector<RenameOutcome> ApplyRenames(const RenamePlan& plan)
{
    std::vector<RenameOutcome> outcomes;
    std::vector<std::size_t> waiting; // outcomes whose new name was still taken
    std::vector<std::optional<FileIdentity>> expected;
    for (const PlannedRename& item : plan.Items) {
        if (item.Check == RenameCheck::kRename) {
            waiting.push_back(outcomes.size());
            outcomes.push_back({item.OldName, item.NewName, false, {}});
            expected.push_back(item.Expected);
        }
    }
    // Each pass renames what it can; a name freed by one rename lets another
    // through in the next pass, until a pass gets no further.
    for (std::size_t before = waiting.size() + 1; !waiting.empty() && waiting.size() < before;) {
        before = waiting.size();
        std::vector<std::size_t> still;
        for (const std::size_t index : waiting) {
            RenameOutcome& outcome = outcomes[index];
            const std::error_code error = RenameOne(
                plan.Folder,
                {outcome.OldName, outcome.NewName, RenameCheck::kRename, {}, expected[index]},
                outcome.Identity);
            outcome.Renamed = !error;
            outcome.Reason = error ? RenameFailure(error) : std::string();
            if (error == std::errc::file_exists) {
                still.push_back(index);
            }
        }
        waiting = std::move(still);
    }
    return outcomes;
}

} // namespace varnello
