#include "FileTable.h"

#include "TagFieldTable.h"
#include "Ui.h"

#include <QCoreApplication>
#include <QStyle>
#include <array>

namespace varnello::filetable {

namespace {

QString Caption(const char* text)
{
    return QCoreApplication::translate("FileTable", text);
}

const std::array<TListColumn, kColumnCount>& Columns()
{
    static const std::array<TListColumn, kColumnCount> columns{{
        {Caption("No."), 45, 45, 45, false},
        {QString(), 1, 1, 1, true},
        {Caption("File Name"), 140, 140, 500, false},
        {Caption("Title"), 120, 120, 300, false},
        {Caption("Artist"), 70, 70, 300, false},
        {Caption("Album"), 80, 80, 300, false},
        {Caption("Year"), 45, 45, 100, false},
        {Caption("Genre"), 80, 80, 120, false},
        {Caption("Comment"), 200, 200, 800, false},
    }};
    return columns;
}

QStringList FieldCells(const TagFields& fields)
{
    QStringList cells;
    for (const TagFieldInfo& field : kTagFields) {
        cells << ui::ToQt(fields.*field.Member);
    }
    return cells;
}

QStringList Cells(const FileRow& row)
{
    QStringList cells;
    cells.reserve(kColumnCount);
    cells << QString::number(row.No) << QString::number(static_cast<int>(row.TagKind))
          << ui::PathToQt(row.FileName) << FieldCells(row.Fields);
    return cells;
}

} // namespace

void SetUp(TListViewSort& table)
{
    table.setObjectName(QStringLiteral("clsLVFile"));
    table.SetColumns({Columns().begin(), Columns().end()});
    table.Rows().SetRowColours(kEvenRowColour, kOddRowColour);
    table.Rows().SetMarkerColumn(kFileName);
    table.SetNaturalOrder(kNo, true);
    table.SetNaturalOrder(kYear, true);
    // Below the last row the table shows the colour of the window's menu bar.
    QPalette palette = table.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    table.setPalette(palette);
}

TListRow ToListRow(const FileRow& row)
{
    TListRow listRow;
    listRow.Cells = Cells(row);
    listRow.Data = ui::ToBytes(row.FileName);
    listRow.Value = row;
    return listRow;
}

FileRow FromListRow(const TListRow& listRow)
{
    // The row's own record: the cells are only its picture.
    const auto* row = std::any_cast<FileRow>(&listRow.Value);
    return row != nullptr ? *row : FileRow{};
}

void WriteFields(TListViewSort& table, int row, TagKind tagKind, const TagFields& fields)
{
    TListModel& rows = table.Rows();
    if (row < 0 || row >= rows.RowCount()) {
        return;
    }
    FileRow updated = FromListRow(rows.Row(row));
    updated.TagKind = tagKind;
    updated.Fields = fields;
    const QStringList cells = Cells(updated);
    rows.SetRowValue(row, std::move(updated), cells);
}

void LayoutFileColumns(TListViewSort& table)
{
    int sum = 0;
    for (int column = 0; column < table.ColumnCount(); ++column) {
        const int width = table.SetColumnWidth(column, table.Column(column).MinWidth);
        if (!table.isColumnHidden(column)) {
            sum += width;
        }
    }
    // Room is kept for the vertical scroll bar, so that filling the table does
    // not bring up a horizontal one.
    const int scrollBar = table.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &table);
    const int width = table.maximumViewportSize().width() - scrollBar;
    if (width - sum > 0) {
        table.SetColumnWidth(kComment, table.Column(kComment).MinWidth + width - sum - 5);
    }
}

QString SelectionText(const TListViewSort& table, const std::string& folder)
{
    const std::vector<int> selected = table.SelectedRows();
    if (selected.size() >= 2) {
        return QStringLiteral("%1 files selected").arg(selected.size());
    }
    if (selected.empty()) {
        return {};
    }
    const std::string name = ui::FromBytes(table.Rows().Row(selected.front()).Data);
    return ui::PathToQt(JoinPath(folder, name));
}

} // namespace varnello::filetable
