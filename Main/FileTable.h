#pragma once
// The file table's columns, limits and row colours, and the module's rows in
// the table: each table row keeps its FileRow as its value, the cells are
// made from it and never read back. The TagKind column is hidden.

#include "FileRow.h"
#include "TListViewSort.h"

#include <QColor>
#include <QString>
#include <string>

namespace varnello::filetable {

enum Column : int
{
    kNo = 0,
    kTagKind,
    kFileName,
    kTitle,
    kArtist,
    kAlbum,
    kYear,
    kGenre,
    kComment,
    kColumnCount
};

inline const QColor kEvenRowColour{215, 238, 240};
inline const QColor kOddRowColour{215, 240, 224};

void SetUp(TListViewSort& table);

TListRow ToListRow(const FileRow& row);
// The row's record as it was put in or last rewritten.
FileRow FromListRow(const TListRow& row);
// Rewrites a row's TagKind and six fields, record and cells alike; "No." and
// "File Name" stay.
void WriteFields(TListViewSort& table, int row, TagKind tagKind, const TagFields& fields);

// Every column at its minimum width; the comment column takes the rest of the
// table's width, up to its maximum.
void LayoutFileColumns(TListViewSort& table);

// The status bar's text for the selection: the one file's full path, or the
// count of selected files.
QString SelectionText(const TListViewSort& table, const std::string& folder);

} // namespace varnello::filetable
