#include "FileFilter.h"

#include "FileTable.h"
#include "TagFieldTable.h"

#include <QCoreApplication>

namespace varnello {

namespace {

// The column a name before a colon stands for, or -1.
int NamedColumn(const TListViewSort& table, const QString& name)
{
    for (int column = 0; column < table.ColumnCount(); ++column) {
        const QString& caption = table.Column(column).Caption;
        if (!caption.isEmpty() && caption.compare(name, Qt::CaseInsensitive) == 0) {
            return column;
        }
    }
    for (std::size_t field = 0; field < kAllTagFields.size(); ++field) {
        if (name.compare(QLatin1String(kAllTagFields[field].Option), Qt::CaseInsensitive) == 0) {
            return filetable::kTitle + static_cast<int>(field);
        }
    }
    return -1;
}

} // namespace

FileFilter::FileFilter(const TListViewSort& table, const QString& typed)
    : m_rows(table.Rows()), m_text(typed.trimmed())
{
    const qsizetype colon = m_text.indexOf(QLatin1Char(':'));
    const int named = colon > 0 ? NamedColumn(table, m_text.left(colon).trimmed()) : -1;
    if (named >= 0) {
        m_text = m_text.mid(colon + 1).trimmed();
        m_columns.push_back(named);
        return;
    }
    for (int column = 0; column < table.ColumnCount(); ++column) {
        if (!table.isColumnHidden(column)) {
            m_columns.push_back(column);
        }
    }
}

bool FileFilter::Accepts(int row) const
{
    for (int column : m_columns) {
        if (m_rows.Cell(row, column).contains(m_text, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

namespace filetable {

void ApplyFilter(TListViewSort& table, const QString& typed)
{
    FileFilter filter(table, typed);
    if (filter.IsEmpty()) {
        table.SetRowFilter({});
    } else {
        table.SetRowFilter([filter](int row) { return filter.Accepts(row); });
    }
}

QString ShownText(const TListViewSort& table)
{
    if (!table.IsFiltered()) {
        return {};
    }
    return QCoreApplication::translate("FileTable", "%1 of %2 files")
        .arg(table.ShownRowCount())
        .arg(table.Rows().RowCount());
}

} // namespace filetable

} // namespace varnello
