#pragma once
// The saves of the two editors, in one place for whoever owns the saving: a
// single file with the dialog's rules, and a multi-file save one file at a
// time so that the caller can show progress and stop between files. Both ask
// before replacing a tag that could not be read.

#include "FileRow.h"
#include "RepairQuestion.h"
#include "TagSaver.h"

#include <string>
#include <vector>

class QWidget;

namespace varnello {

// The rows as they stand after a save, and what failed.
struct EditOutcome
{
    std::vector<FileRow> Rows;
    std::vector<SaveFailure> Failures;
};

// The tag editor's single-file save of `row`, offering a repair when its tag
// cannot be read. Rows holds the one row, saved or with its old cells.
EditOutcome SaveSingleEdit(TagSaver& saver, QWidget* parent, const std::string& folder,
                           const FileRow& row, const TagFields& values, const RepairQuestion& ask);

// One file of a multi-file save: the fields of `mask` and the cover edit go
// into `row`'s file; the row takes the fields when the save worked.
std::vector<SaveFailure> SaveOneOfMany(TagSaver& saver, const std::string& folder, FileRow& row,
                                       const TagFields& values, FieldMask mask,
                                       const CoverEdit& cover = {});

// After a multi-file save: offers a repair for each file refused because its
// tag could not be read and saves the agreed ones again, rows[i] with
// values[i]. Returns the failures left, in the order given.
std::vector<SaveFailure> RepairMany(const TagSaver& saver, QWidget* parent,
                                    const std::string& folder, std::vector<FileRow>& rows,
                                    const std::vector<TagFields>& values, FieldMask mask,
                                    const std::vector<SaveFailure>& failures,
                                    const RepairQuestion& ask, const CoverEdit& cover = {});

} // namespace varnello
