#pragma once
// Tags from file names: a plan of the values a name pattern gives each file,
// made without touching a file (the preview), then applied through the
// normal save, each file with its own values and only the fields the pattern
// names.

#include "FileRow.h"
#include "NamePattern.h"
#include "TagSaver.h"

#include <span>
#include <string>
#include <vector>

namespace varnello {

struct NameTags
{
    std::string FileName; // as in the row
    bool Matched = false; // false: the name does not fit the pattern
    TagFields Values;     // the fields of Mask; the others empty
    FieldMask Mask;
};

// One entry per row, in the rows' order. A row's name is matched without
// any folder part it holds.
std::vector<NameTags> PlanTagsFromNames(const NamePattern& pattern, std::span<const FileRow> rows);

// Saves each matched entry's values into its row's file; `rows` are the rows
// the plan was made from, in the same order, and are updated as saves
// succeed. Rows whose name did not match are left alone. Failures are listed
// as SaveMultiple lists them, the last processed file first.
std::vector<SaveFailure> ApplyTagsFromNames(TagSaver& saver, const std::string& folder,
                                            const std::vector<NameTags>& plan,
                                            std::span<FileRow> rows);

} // namespace varnello
