#include "TListViewSort.h"

#include "TSortHeader.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <algorithm>
#include <numeric>

namespace varnello {

namespace {

QCollator MakeCollator(bool natural = false)
{
    // The user's locale, case-sensitive; digits compared as characters ("10"
    // before "9") unless the column asks for natural order.
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(natural);
    collator.setIgnorePunctuation(false);
    return collator;
}

} // namespace

// The rows a filter accepts, in the order of the rows' model: the sort moves
// the rows in the model, so this model never sorts. Cells do not take a row
// out of view when they change, so that a row just edited stays where the
// user works on it. Row colours alternate by the shown position.
class TRowFilterModel : public QSortFilterProxyModel
{
public:
    explicit TRowFilterModel(QObject* parent) : QSortFilterProxyModel(parent)
    {
        setDynamicSortFilter(false);
    }

    void SetAccepts(std::function<bool(int)> accepts)
    {
        m_accepts = std::move(accepts);
        // One layout change for the whole table: a row filter's own update
        // reports every run of rows that goes or comes, and on a large
        // table the views spend far longer on those reports than the filter
        // takes.
        invalidate();
    }
    bool Filtering() const { return static_cast<bool>(m_accepts); }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::BackgroundRole && index.isValid()) {
            return static_cast<const TListModel*>(sourceModel())->RowColour(index.row());
        }
        return QSortFilterProxyModel::data(index, role);
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& /*parent*/) const override
    {
        return !m_accepts || m_accepts(sourceRow);
    }

private:
    std::function<bool(int)> m_accepts;
};

TListViewSort::TListViewSort(QWidget* parent)
    : QTableView(parent), m_rows(new TTextListModel(this)), m_shown(new TRowFilterModel(this)),
      m_collator(MakeCollator()), m_naturalCollator(MakeCollator(true)),
      m_headerFont(QApplication::font())
{
    setHorizontalHeader(new TSortHeader(this));
    m_shown->setSourceModel(m_rows);
    setModel(m_shown);
    SetUpView();
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &TListViewSort::KeepColumnInLimits);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TListViewSort::SortByColumn);
}

TTextListModel& TListViewSort::TextRows()
{
    auto* rows = qobject_cast<TTextListModel*>(m_rows);
    Q_ASSERT(rows != nullptr);
    return *rows;
}

void TListViewSort::SetRowModel(TListModel* model)
{
    TListModel* old = m_rows;
    model->setParent(this);
    m_rows = model;
    m_shown->setSourceModel(m_rows);
    delete old;
}

void TListViewSort::SetUpView()
{
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // sorting is ours: SortByColumn
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QHeaderView* rowHeader = verticalHeader();
    rowHeader->hide();
    rowHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowHeader->setMinimumSectionSize(1);
    rowHeader->setDefaultSectionSize(fontMetrics().height() + 6);

    QHeaderView* header = horizontalHeader();
    header->setFont(m_headerFont);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(1);
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setSortIndicatorShown(true);
    ShowSortMark();
}

void TListViewSort::SetColumns(const std::vector<TListColumn>& columns)
{
    m_columns = columns;
    QStringList captions;
    for (const TListColumn& column : m_columns) {
        captions.append(column.Caption);
    }
    m_rows->SetCaptions(captions);
    for (int i = 0; i < ColumnCount(); ++i) {
        setColumnHidden(i, Column(i).Hidden);
        SetColumnWidth(i, Column(i).Width);
    }
    ShowSortMark();
}

const TListColumn& TListViewSort::Column(int column) const
{
    return m_columns.at(static_cast<std::size_t>(column));
}

int TListViewSort::ClampColumnWidth(int column, int width) const
{
    if (column < 0 || column >= ColumnCount()) {
        return width;
    }
    const TListColumn& limits = Column(column);
    if (width < limits.MinWidth) {
        width = limits.MinWidth;
    }
    if (limits.MaxWidth > 0 && width > limits.MaxWidth) {
        width = limits.MaxWidth;
    }
    return width;
}

int TListViewSort::SetColumnWidth(int column, int width)
{
    const int clamped = std::max(0, ClampColumnWidth(column, width));
    setColumnWidth(column, clamped);
    return clamped;
}

void TListViewSort::KeepColumnInLimits(int column, int /*oldWidth*/, int newWidth)
{
    // Catches every way a width changes: code, a dragged divider, a double
    // click on it. A column being hidden reports width 0, before the header
    // counts it as hidden, and is left alone.
    if (newWidth == 0 || horizontalHeader()->isSectionHidden(column)) {
        return;
    }
    const int clamped = ClampColumnWidth(column, newWidth);
    if (clamped != newWidth) {
        horizontalHeader()->resizeSection(column, clamped);
    }
}

void TListViewSort::ShowSortMark()
{
    horizontalHeader()->setSortIndicator(m_sortMarked ? m_sortColumn : -1,
                                         m_sortAscending ? Qt::AscendingOrder
                                                         : Qt::DescendingOrder);
}

void TListViewSort::SetNaturalOrder(int column, bool natural)
{
    if (column < 0) {
        return;
    }
    if (static_cast<std::size_t>(column) >= m_natural.size()) {
        m_natural.resize(static_cast<std::size_t>(column) + 1, false);
    }
    m_natural[static_cast<std::size_t>(column)] = natural;
}

void TListViewSort::ForgetSort()
{
    m_sortColumn = 0;
    m_sortAscending = false;
    m_sortMarked = false;
    ShowSortMark();
}

void TListViewSort::SortByColumn(int column)
{
    if (column == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
    }
    m_sortMarked = true;
    ShowSortMark();
    SortRows(column);
}

void TListViewSort::SortAgain()
{
    if (m_sortMarked) {
        SortRows(m_sortColumn);
    }
}

void TListViewSort::SortRows(int column)
{
    // The locale may have changed since the last sort.
    m_collator = MakeCollator();
    m_naturalCollator = MakeCollator(true);

    std::vector<int> order(static_cast<std::size_t>(m_rows->RowCount()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this, column](int first, int second) {
        return CompareRows(first, second, column) < 0;
    });
    m_rows->Reorder(order);
}

int TListViewSort::CompareRows(int first, int second, int column) const
{
    const bool natural = column >= 0 && static_cast<std::size_t>(column) < m_natural.size() &&
                         m_natural[static_cast<std::size_t>(column)];
    const QCollator& collator = natural ? m_naturalCollator : m_collator;
    const int result = m_rows->CompareRows(first, second, column, collator);
    return m_sortAscending ? result : -result;
}

int TListViewSort::SourceRow(const QModelIndex& index) const
{
    return index.isValid() ? m_shown->mapToSource(index).row() : -1;
}

QModelIndex TListViewSort::ShownIndex(int row, int column) const
{
    return m_shown->mapFromSource(m_rows->index(row, column));
}

void TListViewSort::SetRowFilter(std::function<bool(int row)> accepts)
{
    m_shown->SetAccepts(std::move(accepts));
}

bool TListViewSort::IsFiltered() const
{
    return m_shown->Filtering();
}

int TListViewSort::ShownRowCount() const
{
    return m_shown->rowCount();
}

std::vector<int> TListViewSort::ShownRows() const
{
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(ShownRowCount()));
    for (int shown = 0; shown < ShownRowCount(); ++shown) {
        rows.push_back(SourceRow(m_shown->index(shown, 0)));
    }
    return rows;
}

std::vector<int> TListViewSort::SelectedRows() const
{
    std::vector<int> rows;
    if (selectionModel() == nullptr) {
        return rows;
    }
    std::vector<bool> selected(static_cast<std::size_t>(m_rows->RowCount()), false);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const int source = SourceRow(m_shown->index(row, 0));
            if (source >= 0) {
                selected[static_cast<std::size_t>(source)] = true;
            }
        }
    }
    for (std::size_t row = 0; row < selected.size(); ++row) {
        if (selected[row]) {
            rows.push_back(static_cast<int>(row));
        }
    }
    return rows;
}

bool TListViewSort::HasSelection() const
{
    return selectionModel() != nullptr && selectionModel()->hasSelection();
}

void TListViewSort::SelectRows(const std::vector<int>& rows)
{
    QItemSelection selection;
    const int lastColumn = std::max(0, m_rows->columnCount() - 1);
    QModelIndex first;
    for (int row : rows) {
        const QModelIndex shown = ShownIndex(row, 0);
        if (shown.isValid()) {
            selection.select(shown, ShownIndex(row, lastColumn));
            first = first.isValid() ? first : shown;
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (first.isValid()) {
        selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    }
}

void TListViewSort::SetChangingHandler(std::function<bool()> handler)
{
    m_changing = std::move(handler);
}

bool TListViewSort::MayChangeSelection()
{
    return !m_changing || m_changing();
}

bool TListViewSort::PressChangesSelection(QMouseEvent* event) const
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const QItemSelectionModel::SelectionFlags command = selectionCommand(index, event);
    if (command == QItemSelectionModel::NoUpdate) {
        return false;
    }
    if (!index.isValid()) {
        return HasSelection();
    }
    // A plain click on the row that is already the only selected and current
    // one changes nothing.
    const bool replaces = command.testFlag(QItemSelectionModel::Clear) &&
                          command.testFlag(QItemSelectionModel::Select) &&
                          !command.testFlag(QItemSelectionModel::Toggle);
    return !(replaces && SelectedRows() == std::vector<int>{SourceRow(index)} &&
             currentIndex().row() == index.row());
}

bool TListViewSort::KeyMovesCurrentRow(QKeyEvent* event)
{
    CursorAction action{};
    switch (event->key()) {
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    case Qt::Key_Space:
        // Space selects the current row, Ctrl+Space toggles it.
        return currentIndex().isValid() &&
               (event->modifiers().testFlag(Qt::ControlModifier) ||
                SelectedRows() != std::vector<int>{SourceRow(currentIndex())});
    default:
        return false;
    }
    const QModelIndex target = moveCursor(action, event->modifiers());
    return target.isValid() && target.row() != currentIndex().row();
}

void TListViewSort::mousePressEvent(QMouseEvent* event)
{
    m_pressRefused = PressChangesSelection(event) && !MayChangeSelection();
    if (m_pressRefused) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void TListViewSort::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressRefused && event->buttons() != Qt::NoButton) {
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void TListViewSort::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressRefused) {
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void TListViewSort::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_pressRefused) {
        // The first click of this double-click was refused: the second one is
        // a click of its own, not a double-click on the row left selected.
        QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                          event->globalPosition(), event->button(), event->buttons(),
                          event->modifiers());
        mousePressEvent(&press);
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void TListViewSort::keyPressEvent(QKeyEvent* event)
{
    if (m_changing && KeyMovesCurrentRow(event) && !MayChangeSelection()) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TListViewSort::keyboardSearch(const QString& search)
{
    if (!MayChangeSelection()) {
        return;
    }
    QTableView::keyboardSearch(search);
}

void TListViewSort::selectAll()
{
    if (!MayChangeSelection()) {
        return;
    }
    QTableView::selectAll();
}

void TListViewSort::SetBackPicture(const QPixmap& picture)
{
    if (&picture == &m_backPicture) {
        return;
    }
    m_backPicture = picture;
    viewport()->update();
}

void TListViewSort::SetHeaderFont(const QFont& font)
{
    if (&font == &m_headerFont) {
        return;
    }
    m_headerFont = font;
    horizontalHeader()->setFont(m_headerFont);
    horizontalHeader()->viewport()->update();
}

void TListViewSort::paintEvent(QPaintEvent* event)
{
    if (!m_backPicture.isNull()) {
        QPainter painter(viewport());
        PaintBackPicture(painter);
    }
    QTableView::paintEvent(event);
}

void TListViewSort::PaintBackPicture(QPainter& painter) const
{
    const int tileWidth = m_backPicture.width();
    const int tileHeight = m_backPicture.height();
    if (tileWidth <= 0 || tileHeight <= 0) {
        return; // nothing to tile, and the loops below would never end
    }
    // The picture scrolls with the rows: it starts at the first row's corner.
    int x0 = 0;
    int y0 = 0;
    if (ShownRowCount() > 0) {
        x0 = -horizontalOffset();
        y0 = rowViewportPosition(0) - 2;
    }
    // Start at the first tile that reaches into the visible area.
    if (x0 < 0) {
        x0 += (-x0 / tileWidth) * tileWidth;
    }
    if (y0 < 0) {
        y0 += (-y0 / tileHeight) * tileHeight;
    }
    const QSize area = viewport()->size();
    for (int y = y0; y <= area.height(); y += tileHeight) {
        for (int x = x0; x <= area.width(); x += tileWidth) {
            painter.drawPixmap(x, y, m_backPicture);
        }
    }
}

} // namespace varnello
