#pragma once
// Renaming files from their tags with a name pattern. A plan is made first,
// without touching a file: each file's new name, or why it keeps its name (it
// is already right, the name is refused, or it would collide with a file that
// stays or with another new name). Applying the plan renames the files one by
// one and never replaces an existing file: a name that was taken meanwhile is
// reported and the file keeps its old one. A file that is being saved is
// renamed only after the save, as the rename takes the lock a save holds.

#include "FileRow.h"
#include "NamePattern.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnello {

enum class RenameCheck
{
    kRename,    // gets NewName
    kUnchanged, // the name is already NewName
    kCollision, // NewName is taken by a file that stays, or by another new name
    kRefused,   // no name could be made (Reason)
};

// A file as its device and inode name it, whatever its name.
struct FileIdentity
{
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct PlannedRename
{
    std::string OldName; // as in the row: the name, or a path relative to the folder
    std::string NewName; // in the same folder as the old; empty when refused
    RenameCheck Check = RenameCheck::kRefused;
    std::string Reason; // for collisions and refusals
    // When set, the file is renamed only while OldName still names this
    // file (an undo takes back a rename only of the file it moved).
    std::optional<FileIdentity> Expected{};
};

struct RenamePlan
{
    std::string Folder;
    std::vector<PlannedRename> Items; // in the rows' order
};

RenamePlan PlanRenames(const std::string& folder, std::span<const FileRow> rows,
                       const NamePattern& pattern, NameRules rules = NameRules::kThisSystem);

struct RenameOutcome
{
    std::string OldName;
    std::string NewName;
    bool Renamed = false;
    std::string Reason;      // why not, when a planned rename failed
    FileIdentity Identity{}; // the file renamed, when it was
};

// Renames the items planned as kRename; one outcome for each, in the plan's
// order. A file whose new name is the old name of another file of the plan
// is renamed once that one has moved (a chain a → b → c works; a cycle is
// reported).
std::vector<RenameOutcome> ApplyRenames(const RenamePlan& plan);

} // namespace varnello
