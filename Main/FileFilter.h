#pragma once
// The filter box's text as a test of the file table's rows: "abba" keeps the
// rows with "abba" in any shown column, "artist:abba" only those with it in
// the artist column, both regardless of case. A column is named by its
// caption ("Album artist:") or by its field's option name
// ("album-artist:"); text before a colon that names no column is searched
// for as it is ("12:30").

#include <QString>
#include <vector>

namespace varnello {

class TListModel;
class TListViewSort;

class FileFilter
{
public:
    FileFilter(const TListViewSort& table, const QString& typed);

    bool IsEmpty() const { return m_text.isEmpty(); }
    // Whether the row (of the table's rows) holds the text.
    bool Accepts(int row) const;

private:
    const TListModel& m_rows;
    QString m_text;
    std::vector<int> m_columns;
};

namespace filetable {

// Shows only the rows the typed text keeps; empty text shows every row.
void ApplyFilter(TListViewSort& table, const QString& typed);

// "12 of 340 files" while a filter is on, else empty.
QString ShownText(const TListViewSort& table);

} // namespace filetable

} // namespace varnello
