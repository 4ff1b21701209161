#pragma once
// A report-style list: grid lines, whole-row selection of several rows, no
// editing in place. Clicking a column header sorts the rows by that column
// (by its text, unless the rows' model compares otherwise); clicking the sort column again turns
// the direction round, clicking another column keeps it. The header marks the sort column with its
// sort indicator, draws its captions in HeaderFont, and a BackPicture, when set, is tiled behind
// the rows. A row filter shows only the rows it accepts: the view shows the rows through a filter
// model, and every row number it takes or gives is a row of Rows(), whose order is the table's.

#include "TListModel.h"

#include <QCollator>
#include <QFont>
#include <QPixmap>
#include <QTableView>
#include <functional>
#include <vector>

namespace varnello {

struct TListColumn
{
    QString Caption;
    int Width = 50;
    int MinWidth = 0;
    int MaxWidth = 0; // 0: no maximum
    bool Hidden = false;
};

class TRowFilterModel;

class TListViewSort : public QTableView
{
    Q_OBJECT
    Q_PROPERTY(QPixmap BackPicture READ BackPicture WRITE SetBackPicture)
    Q_PROPERTY(QFont HeaderFont READ HeaderFont WRITE SetHeaderFont)

public:
    explicit TListViewSort(QWidget* parent = nullptr);

    // The rows shown: text rows (TextRows) unless an owner put in a model of
    // its own.
    TListModel& Rows() { return *m_rows; }
    const TListModel& Rows() const { return *m_rows; }
    TTextListModel& TextRows();
    // Shows `model`'s rows instead, taking ownership; call before SetColumns.
    void SetRowModel(TListModel* model);

    void SetColumns(const std::vector<TListColumn>& columns);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    const TListColumn& Column(int column) const;
    // Sets a column's width within its limits; returns the width it got.
    int SetColumnWidth(int column, int width);
    int ClampColumnWidth(int column, int width) const;

    // Direction of the next sort of the sort column and the column that the
    // last sort used. A new list sorts descending on column 0.
    bool SortAscending() const { return m_sortAscending; }
    int SortColumn() const { return m_sortColumn; }
    // What a header click does.
    void SortByColumn(int column);
    // Sorts the rows again by the marked sort column, in the same direction,
    // after the texts it compares changed; nothing when no sort is marked.
    void SortAgain();
    // The rows are in their listing order again: no column is marked, and
    // the next sort starts as on a new list.
    void ForgetSort();
    // Numbers inside the column's texts compare as numbers: "2" before "10".
    void SetNaturalOrder(int column, bool natural);
    // The comparison of the sort: the model's comparison of the two rows in
    // the column (for text, locale aware and case-sensitive, natural order in
    // a Natural column), negated for a descending sort.
    int CompareRows(int first, int second, int column) const;

    // Shows only the rows `accepts` takes (rows of Rows()); an empty function
    // shows every row. Rows added later are asked as they come; a row whose
    // cells change stays shown until the filter is set again or the rows are
    // sorted. Selected rows
    // that are no longer shown leave the selection.
    void SetRowFilter(std::function<bool(int row)> accepts);
    bool IsFiltered() const;
    // The rows shown, in table order.
    int ShownRowCount() const;
    std::vector<int> ShownRows() const;

    // Selected rows in table order; only shown rows can be selected.
    std::vector<int> SelectedRows() const;
    bool HasSelection() const;
    void SelectRows(const std::vector<int>& rows);

    // Asked before the user changes the selection (click, keys, select all);
    // returning false refuses the change.
    void SetChangingHandler(std::function<bool()> handler);

    const QPixmap& BackPicture() const { return m_backPicture; }
    void SetBackPicture(const QPixmap& picture);
    const QFont& HeaderFont() const { return m_headerFont; }
    void SetHeaderFont(const QFont& font);

    void selectAll() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // The user's attempts to change the selection, each asked once before
    // anything moves: a refused mouse press is dropped with the rest of its
    // gesture, a refused key leaves the current row where it was.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    void SetUpView();
    void KeepColumnInLimits(int column, int oldWidth, int newWidth);
    void ShowSortMark();
    void SortRows(int column);
    void PaintBackPicture(QPainter& painter) const;

    // The row of Rows() shown at a view index, and back (-1: not shown).
    int SourceRow(const QModelIndex& index) const;
    QModelIndex ShownIndex(int row, int column) const;

    TListModel* m_rows = nullptr;
    TRowFilterModel* m_shown = nullptr; // between m_rows and the view
    std::vector<TListColumn> m_columns;
    bool m_sortAscending = false;
    int m_sortColumn = 0;
    bool m_sortMarked = true;
    std::vector<bool> m_natural; // by column
    QCollator m_collator;
    QCollator m_naturalCollator;
    QPixmap m_backPicture;
    QFont m_headerFont;
    bool PressChangesSelection(QMouseEvent* event) const;
    bool KeyMovesCurrentRow(QKeyEvent* event);
    bool MayChangeSelection();

    std::function<bool()> m_changing;
    bool m_pressRefused = false; // the mouse gesture under way was refused
};

} // namespace varnello
