#pragma once
// The rows of a TListViewSort: text cells (column 0 is the row's caption) and
// an opaque byte payload per row that is kept with the row but never shown.
// Rows are painted in two alternating colours by their position, so the
// colours follow the rows' new places after a sort.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QColor>
#include <QStringList>
#include <any>
#include <vector>

namespace varnello {

struct TListRow
{
    QStringList Cells;
    QByteArray Data;
    // The record the cells were made from, for owners that keep their rows
    // as values: it is what they read back, never the cells' text.
    std::any Value;
};

class TListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TListModel(QObject* parent = nullptr);

    void SetCaptions(const QStringList& captions);
    // Background of even and odd rows (0-based); invalid colours leave the
    // view's own background.
    void SetRowColours(const QColor& even, const QColor& odd);

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const TListRow& Row(int row) const { return m_rows.at(static_cast<std::size_t>(row)); }
    // The cell's text; empty for a column the row has no cell for.
    const QString& Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);
    void SetRowData(int row, const QByteArray& data);
    // Replaces a row's record and its cells together.
    void SetRowValue(int row, std::any value, const QStringList& cells);
    // A short sign shown before the text of the marker column, with its
    // explanation as the row's tooltip. It is not a cell: sorting and
    // reading the cells never see it, and it moves with its row.
    void SetMarkerColumn(int column) { m_markerColumn = column; }
    void SetRowMarker(int row, const QString& marker, const QString& tip);
    QString Marker(int row) const;

    void Clear();
    void SetRows(std::vector<TListRow> rows);
    void AppendRows(std::vector<TListRow> rows);
    void AppendRow(TListRow row);
    // Puts the rows into a new order: order[i] is the old position of the row
    // that goes to position i. Selections and other persistent indexes move
    // with their rows.
    void Reorder(const std::vector<int>& order);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList m_captions;
    QColor m_evenColour;
    QColor m_oddColour;
    struct RowMarker
    {
        QString Sign;
        QString Tip;
    };
    int m_markerColumn = 0;
    std::vector<TListRow> m_rows;
    std::vector<RowMarker> m_markers; // empty while no row has one, else one per row
};

} // namespace varnello
