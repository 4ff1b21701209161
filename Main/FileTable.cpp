#include "FileTable.h"

#include "Genres.h"
#include "TagFieldTable.h"
#include "Ui.h"
#include "UserSettings.h"

#include <QAction>
#include <QCollator>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QSettings>
#include <QStyle>
#include <array>
#include <functional>

namespace varnello {

namespace {

// The field of a column from "Title" on, as the field table describes it:
// the columns follow its order.
const TagFieldInfo* FieldOf(int column)
{
    const int at = column - filetable::kTitle;
    return at >= 0 && at < static_cast<int>(kAllTagFields.size())
               ? &kAllTagFields[static_cast<std::size_t>(at)]
               : nullptr;
}

} // namespace

QString FileTableModel::Cell(int row, int column) const
{
    if (row < 0 || row >= RowCount()) {
        return {};
    }
    const FileRow& value = Row(row);
    switch (column) {
    case filetable::kNo:
        return QString::number(value.No);
    case filetable::kTagKind:
        return QString::number(static_cast<int>(value.TagKind));
    case filetable::kFileName:
        return ui::PathToQt(value.FileName);
    default:
        break;
    }
    if (column == filetable::kGenre) {
        return GenreCell(value.Fields.Genre);
    }
    const TagFieldInfo* field = FieldOf(column);
    return field != nullptr ? ui::ToQt(value.Fields.*field->Member) : QString();
}

QString FileTableModel::GenreCell(const std::string& stored) const
{
    return ui::ToQt(m_genreNames ? GenreReferencesAsNames(stored) : stored);
}

int FileTableModel::CompareRows(int first, int second, int column, const QCollator& collator) const
{
    const FileRow& a = Row(first);
    const FileRow& b = Row(second);
    const auto compareNumbers = [](int x, int y) { return x < y ? -1 : (x > y ? 1 : 0); };
    switch (column) {
    case filetable::kNo:
        return compareNumbers(a.No, b.No);
    case filetable::kTagKind:
        return compareNumbers(static_cast<int>(a.TagKind), static_cast<int>(b.TagKind));
    case filetable::kFileName:
        return collator.compare(ui::PathToQt(a.FileName), ui::PathToQt(b.FileName));
    default:
        break;
    }
    const TagFieldInfo* field = FieldOf(column);
    if (field == nullptr) {
        return 0;
    }
    const std::string& x = a.Fields.*field->Member;
    const std::string& y = b.Fields.*field->Member;
    if (x == y) {
        return 0;
    }
    if (column == filetable::kGenre) {
        return collator.compare(GenreCell(x), GenreCell(y));
    }
    return collator.compare(ui::ToQt(x), ui::ToQt(y));
}

void FileTableModel::Clear(std::size_t expected)
{
    beginResetModel();
    // A fresh vector: the room of a larger folder listed before goes.
    std::vector<FileRow>().swap(m_rows);
    m_rows.reserve(expected);
    ClearMarkers();
    endResetModel();
}

void FileTableModel::AppendRows(std::vector<FileRow> rows)
{
    if (rows.empty()) {
        return;
    }
    const int first = RowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    GrowMarkers();
    endInsertRows();
}

void FileTableModel::WriteFields(int row, TagKind tagKind, const TagFields& fields)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    FileRow& target = m_rows[static_cast<std::size_t>(row)];
    target.TagKind = tagKind;
    target.Fields = fields;
    RowChanged(row);
}

void FileTableModel::WriteFileName(int row, std::string fileName)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    m_rows[static_cast<std::size_t>(row)].FileName = std::move(fileName);
    RowChanged(row);
}

void FileTableModel::SetGenreNames(bool names)
{
    if (names == m_genreNames) {
        return;
    }
    m_genreNames = names;
    if (RowCount() > 0) {
        emit dataChanged(index(0, filetable::kGenre), index(RowCount() - 1, filetable::kGenre),
                         {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

void FileTableModel::MoveRows(const std::vector<int>& order)
{
    std::vector<FileRow> sorted;
    sorted.reserve(m_rows.size());
    for (int from : order) {
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(from)]));
    }
    m_rows = std::move(sorted);
}

namespace filetable {

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
        {Caption("Track"), 50, 50, 100, false},
        {Caption("Disc"), 45, 45, 100, true},
        {Caption("Album artist"), 100, 100, 300, true},
    }};
    return columns;
}

} // namespace

void SetUp(TListViewSort& table)
{
    table.setObjectName(QStringLiteral("clsLVFile"));
    table.SetRowModel(new FileTableModel);
    table.SetColumns({Columns().begin(), Columns().end()});
    table.Rows().SetRowColours(kEvenRowColour, kOddRowColour);
    table.Rows().SetMarkerColumn(kFileName);
    table.SetNaturalOrder(kNo, true);
    table.SetNaturalOrder(kYear, true);
    // "2" before "10", and "3/12" by its numbers.
    table.SetNaturalOrder(kTrack, true);
    table.SetNaturalOrder(kDisc, true);
    // Below the last row the table shows the colour of the window's menu bar.
    QPalette palette = table.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    table.setPalette(palette);
}

FileTableModel& Rows(TListViewSort& table)
{
    return static_cast<FileTableModel&>(table.Rows());
}

const FileTableModel& Rows(const TListViewSort& table)
{
    return static_cast<const FileTableModel&>(table.Rows());
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

namespace {

struct OptionalColumn
{
    Column Index;
    const char* ActionName;
    const char* Key;
};

constexpr std::array<OptionalColumn, 3> kOptionalColumns{{
    {kTrack, "ShowTrackColumn", "FileTable/ShowTrack"},
    {kDisc, "ShowDiscColumn", "FileTable/ShowDisc"},
    {kAlbumArtist, "ShowAlbumArtistColumn", "FileTable/ShowAlbumArtist"},
}};

} // namespace

void SetUpColumnMenu(TListViewSort& table)
{
    QHeaderView* header = table.horizontalHeader();
    auto* menu = new QMenu(header);
    menu->setObjectName(QStringLiteral("FileColumnMenu"));
    const QSettings settings = UserSettings();
    for (const OptionalColumn& column : kOptionalColumns) {
        QAction* action = menu->addAction(table.Column(column.Index).Caption);
        action->setObjectName(QString::fromLatin1(column.ActionName));
        action->setCheckable(true);
        const bool shown =
            settings.value(QString::fromLatin1(column.Key), !table.Column(column.Index).Hidden)
                .toBool();
        table.setColumnHidden(column.Index, !shown);
        action->setChecked(shown);
        QObject::connect(action, &QAction::toggled, &table, [&table, column](bool checked) {
            table.setColumnHidden(column.Index, !checked);
            UserSettings().setValue(QString::fromLatin1(column.Key), checked);
            LayoutFileColumns(table);
        });
    }
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(header, &QWidget::customContextMenuRequested, menu,
                     [header, menu](const QPoint& at) { menu->popup(header->mapToGlobal(at)); });
}

void SetUpRememberedOption(QAction& action, const QString& key, std::function<void(bool)> apply)
{
    action.setCheckable(true);
    action.setChecked(UserSettings().value(key, false).toBool());
    apply(action.isChecked());
    QObject::connect(&action, &QAction::toggled, &action, [key, apply](bool checked) {
        UserSettings().setValue(key, checked);
        apply(checked);
    });
}

void SetUpGenreNamesOption(TListViewSort& table, QAction& action)
{
    SetUpRememberedOption(action, QStringLiteral("FileTable/GenreNames"), [&table](bool checked) {
        Rows(table).SetGenreNames(checked);
        // A table sorted by genre is sorted by what it shows.
        if (table.SortColumn() == kGenre) {
            table.SortAgain();
        }
    });
}

void SetUpSubfoldersOption(QAction& action)
{
    // The window re-lists the folder itself on a change.
    SetUpRememberedOption(action, QStringLiteral("FileTable/Subfolders"), [](bool) {});
}

std::vector<CsvColumn> ExportColumns(const TListViewSort& table, bool genreNames)
{
    std::vector<CsvColumn> columns;
    for (int column = 0; column < table.ColumnCount(); ++column) {
        if (table.isColumnHidden(column)) {
            continue;
        }
        std::string caption = ui::ToUtf8(table.Column(column).Caption);
        const TagFieldInfo* field = FieldOf(column);
        if (column == kNo) {
            columns.push_back(NoCsvColumn(std::move(caption)));
        } else if (column == kTagKind) {
            columns.push_back(TagKindCsvColumn(std::move(caption)));
        } else if (column == kFileName) {
            columns.push_back(FileNameCsvColumn(std::move(caption)));
        } else if (column == kGenre && genreNames) {
            columns.push_back({std::move(caption), [](const FileRow& row) {
                                   return GenreReferencesAsNames(row.Fields.Genre);
                               }});
        } else if (field != nullptr) {
            columns.push_back(FieldCsvColumn(*field, std::move(caption)));
        }
    }
    return columns;
}

QString SelectionText(const TListViewSort& table, const std::string& folder)
{
    const std::vector<int> selected = table.SelectedRows();
    if (selected.size() >= 2) {
        return QCoreApplication::translate("FileTable", "%1 files selected").arg(selected.size());
    }
    if (selected.empty()) {
        return {};
    }
    return ui::PathToQt(JoinPath(folder, Rows(table).Row(selected.front()).FileName));
}

} // namespace filetable

} // namespace varnello
