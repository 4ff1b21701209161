#include "TListModel.h"

#include <QCollator>
#include <utility>

namespace varnello {

TListModel::TListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TListModel::SetCaptions(const QStringList& captions)
{
    const int oldCount = static_cast<int>(m_captions.size());
    const int newCount = static_cast<int>(captions.size());
    if (newCount > oldCount) {
        beginInsertColumns({}, oldCount, newCount - 1);
        m_captions = captions;
        endInsertColumns();
    } else if (newCount < oldCount) {
        beginRemoveColumns({}, newCount, oldCount - 1);
        m_captions = captions;
        endRemoveColumns();
    } else {
        m_captions = captions;
    }
    if (newCount > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, newCount - 1);
    }
}

void TListModel::SetRowColours(const QColor& even, const QColor& odd)
{
    m_evenColour = even;
    m_oddColour = odd;
    if (RowCount() > 0) {
        emit dataChanged(index(0, 0), index(RowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole});
    }
}

QVariant TListModel::RowColour(int position) const
{
    const QColor& colour = position % 2 == 0 ? m_evenColour : m_oddColour;
    return colour.isValid() ? QVariant(colour) : QVariant();
}

int TListModel::CompareRows(int first, int second, int column, const QCollator& collator) const
{
    return collator.compare(Cell(first, column), Cell(second, column));
}

void TListModel::SetRowMarker(int row, const QString& marker, const QString& tip)
{
    if (row < 0 || row >= RowCount()) {
        return;
    }
    m_markers.resize(static_cast<std::size_t>(RowCount()));
    RowMarker& target = m_markers[static_cast<std::size_t>(row)];
    if (target.Sign == marker && target.Tip == tip) {
        return;
    }
    target.Sign = marker;
    target.Tip = tip;
    RowChanged(row);
}

QString TListModel::Marker(int row) const
{
    const auto at = static_cast<std::size_t>(row);
    return row >= 0 && at < m_markers.size() ? m_markers[at].Sign : QString();
}

void TListModel::GrowMarkers()
{
    if (!m_markers.empty()) {
        m_markers.resize(static_cast<std::size_t>(RowCount()));
    }
}

void TListModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TListModel::Reorder(const std::vector<int>& order)
{
    if (order.size() != static_cast<std::size_t>(RowCount())) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPosition(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newPosition[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
    }
    MoveRows(order);
    if (!m_markers.empty()) {
        std::vector<RowMarker> markers;
        markers.reserve(m_markers.size());
        for (int from : order) {
            markers.push_back(std::move(m_markers[static_cast<std::size_t>(from)]));
        }
        m_markers = std::move(markers);
    }

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        after.append(index(newPosition[static_cast<std::size_t>(old.row())], old.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int TListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_captions.size());
}

QVariant TListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= RowCount()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole: {
        const QString marker = Marker(index.row());
        if (index.column() == m_markerColumn && !marker.isEmpty()) {
            return marker + QLatin1Char(' ') + Cell(index.row(), index.column());
        }
        return Cell(index.row(), index.column());
    }
    case Qt::ToolTipRole: {
        const auto at = static_cast<std::size_t>(index.row());
        if (at < m_markers.size() && !m_markers[at].Tip.isEmpty()) {
            return m_markers[at].Tip;
        }
        // Shows a cell's whole text when the column is too narrow for it.
        const QString text = Cell(index.row(), index.column());
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Qt::BackgroundRole:
        return RowColour(index.row());
    default:
        return {};
    }
}

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_captions.size()) {
        return {};
    }
    return m_captions.at(section);
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString TTextListModel::Cell(int row, int column) const
{
    const QStringList& cells = Row(row).Cells;
    return column >= 0 && column < cells.size() ? cells.at(column) : QString();
}

void TTextListModel::SetCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= columnCount()) {
        return;
    }
    QStringList& cells = m_rows[static_cast<std::size_t>(row)].Cells;
    while (cells.size() <= column) {
        cells.append(QString());
    }
    cells[column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::ToolTipRole});
}

void TTextListModel::SetRowData(int row, const QByteArray& data)
{
    if (row >= 0 && row < RowCount()) {
        m_rows[static_cast<std::size_t>(row)].Data = data;
    }
}

void TTextListModel::Clear()
{
    SetRows({});
}

void TTextListModel::SetRows(std::vector<TListRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    ClearMarkers();
    endResetModel();
}

void TTextListModel::AppendRows(std::vector<TListRow> rows)
{
    if (rows.empty()) {
        return;
    }
    const int first = RowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.reserve(m_rows.size() + rows.size());
    for (TListRow& row : rows) {
        m_rows.push_back(std::move(row));
    }
    GrowMarkers();
    endInsertRows();
}

void TTextListModel::AppendRow(TListRow row)
{
    std::vector<TListRow> rows;
    rows.push_back(std::move(row));
    AppendRows(std::move(rows));
}

void TTextListModel::MoveRows(const std::vector<int>& order)
{
    std::vector<TListRow> sorted;
    sorted.reserve(m_rows.size());
    for (int from : order) {
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(from)]));
    }
    m_rows = std::move(sorted);
}

} // namespace varnello
