#pragma once
// The file table: its columns, limits and row colours, and its model, which
// holds the module's FileRow values. The cells are formatted from the rows
// when they are shown and sorting compares the rows' values; nothing is read
// back from the text. The TagKind column is hidden; of the columns after the
// comment, the user picks which are shown through the header's menu.

#include "CsvExport.h"
#include "FileRow.h"
#include "TListViewSort.h"

#include <QColor>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QAction;

namespace varnello {

namespace filetable {

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
    kTrack,
    kDisc,
    kAlbumArtist,
    kColumnCount
};

inline const QColor kEvenRowColour{215, 238, 240};
inline const QColor kOddRowColour{215, 240, 224};

} // namespace filetable

class FileTableModel : public TListModel
{
    Q_OBJECT

public:
    using TListModel::TListModel;

    int RowCount() const override { return static_cast<int>(m_rows.size()); }
    // "No." and TagKind as numbers, the file name in the file system's
    // encoding, the fields as the field table lists them.
    QString Cell(int row, int column) const override;
    // "No." and TagKind compare as numbers, the texts with `collator`.
    int CompareRows(int first, int second, int column, const QCollator& collator) const override;

    const FileRow& Row(int row) const { return m_rows.at(static_cast<std::size_t>(row)); }
    // Empties the table, keeping room for `expected` rows.
    void Clear(std::size_t expected = 0);
    void AppendRows(std::vector<FileRow> rows);
    // Rewrites a row's TagKind and fields; "No." and "File Name" stay.
    void WriteFields(int row, TagKind tagKind, const TagFields& fields);
    // The row's file was renamed in its folder.
    void WriteFileName(int row, std::string fileName);
    // With this on the genre column shows and sorts references ("(17)") as
    // the genres' names; the rows keep the stored text.
    void SetGenreNames(bool names);

protected:
    void MoveRows(const std::vector<int>& order) override;

private:
    QString GenreCell(const std::string& stored) const;

    std::vector<FileRow> m_rows;
    bool m_genreNames = false;
};

namespace filetable {

// Columns, colours, marker column and sort rules; the table shows a
// FileTableModel from then on.
void SetUp(TListViewSort& table);
FileTableModel& Rows(TListViewSort& table);
const FileTableModel& Rows(const TListViewSort& table);

// Every column at its minimum width; the comment column takes the rest of the
// table's width, up to its maximum.
void LayoutFileColumns(TListViewSort& table);

// The columns the user may show or hide (track, disc, album artist): the
// header's context menu offers them as checkable items, the choice is kept in
// the user's settings and shown again by the next window. The menu
// ("FileColumnMenu", items "ShowTrackColumn", "ShowDiscColumn",
// "ShowAlbumArtistColumn") belongs to the header.
void SetUpColumnMenu(TListViewSort& table);

// A checkable menu item kept in the user's settings under `key` (off by
// default): checked as they keep it, each change kept there; `apply` is
// called with the state at once and on every change.
void SetUpRememberedOption(QAction& action, const QString& key, std::function<void(bool)> apply);

// The View menu's "Genre names for references": checked as the user's
// settings keep it, each change kept there and shown by the table at once.
void SetUpGenreNamesOption(TListViewSort& table, QAction& action);

// The View menu's "Include subfolders": checked as the user's settings keep
// it, each change kept there.
void SetUpSubfoldersOption(QAction& action);

// The columns an export writes: the shown ones in table order, under their
// captions, the genre as the table shows it.
std::vector<CsvColumn> ExportColumns(const TListViewSort& table, bool genreNames);

// The status bar's text for the selection: the one file's full path, or the
// count of selected files.
QString SelectionText(const TListViewSort& table, const std::string& folder);

} // namespace filetable

} // namespace varnello
