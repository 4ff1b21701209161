#pragma once
// The rows of a TListViewSort. TListModel is what the view needs of any rows:
// each cell's text, the comparison a sort uses and the move of the rows into
// a new order, plus what is the same for every kind of row: the captions,
// two alternating row colours (by position, so that they follow the rows'
// new places after a sort) and a marker per row. TTextListModel keeps its
// rows as text cells with an opaque byte payload; an owner that keeps its
// rows as records of its own derives its model from TListModel and formats
// the cells from them when they are shown.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QColor>
#include <QStringList>
#include <vector>

class QCollator;

namespace varnello {

class TListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TListModel(QObject* parent = nullptr);

    void SetCaptions(const QStringList& captions);
    // Background of even and odd rows (0-based); invalid colours leave the
    // view's own background.
    void SetRowColours(const QColor& even, const QColor& odd);
    // The background of the row shown at `position`.
    QVariant RowColour(int position) const;

    virtual int RowCount() const = 0;
    // The cell's text as shown; empty for a column the row has no cell for.
    virtual QString Cell(int row, int column) const = 0;
    // Negative, zero or positive as `first` sorts before, with or after
    // `second` by `column` in ascending order; `collator` is the column's
    // (natural order or not). By default the cells' texts are compared.
    virtual int CompareRows(int first, int second, int column, const QCollator& collator) const;

    // A short sign shown before the text of the marker column, with its
    // explanation as the row's tooltip. It is not a cell: sorting and
    // reading the cells never see it, and it moves with its row.
    void SetMarkerColumn(int column) { m_markerColumn = column; }
    void SetRowMarker(int row, const QString& marker, const QString& tip);
    QString Marker(int row) const;

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

protected:
    // The derived model's part of Reorder: its own rows into the new order.
    virtual void MoveRows(const std::vector<int>& order) = 0;
    // For a reset or an append: markers are kept one per row.
    void ClearMarkers() { m_markers.clear(); }
    void GrowMarkers();
    // Every cell of a row changed.
    void RowChanged(int row);

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
    std::vector<RowMarker> m_markers; // empty while no row has one, else one per row
};

// Text cells (column 0 is the row's caption) and a byte payload that is kept
// with the row but never shown.
struct TListRow
{
    QStringList Cells;
    QByteArray Data;
};

class TTextListModel : public TListModel
{
    Q_OBJECT

public:
    using TListModel::TListModel;

    int RowCount() const override { return static_cast<int>(m_rows.size()); }
    QString Cell(int row, int column) const override;
    const TListRow& Row(int row) const { return m_rows.at(static_cast<std::size_t>(row)); }
    void SetCell(int row, int column, const QString& text);
    void SetRowData(int row, const QByteArray& data);

    void Clear();
    void SetRows(std::vector<TListRow> rows);
    void AppendRows(std::vector<TListRow> rows);
    void AppendRow(TListRow row);

protected:
    void MoveRows(const std::vector<int>& order) override;

private:
    std::vector<TListRow> m_rows;
};

} // namespace varnello
