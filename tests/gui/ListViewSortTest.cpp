// The sortable list control on its own: sort direction rules, text comparison
// of every column, rows, colours and selection after a sort, column limits,
// header font and background picture.

#include "TListViewSort.h"

#include <QHeaderView>
#include <QPainter>
#include <QTest>
#include <vector>

using varnello::TListColumn;
using varnello::TListModel;
using varnello::TListRow;
using varnello::TListViewSort;

namespace {

// An owner's rows kept as numbers: shown as text, compared as numbers.
class NumberModel : public TListModel
{
public:
    std::vector<int> Values;

    int RowCount() const override { return static_cast<int>(Values.size()); }
    QString Cell(int row, int) const override
    {
        return QString::number(Values.at(static_cast<std::size_t>(row)));
    }
    int CompareRows(int first, int second, int, const QCollator&) const override
    {
        const int a = Values.at(static_cast<std::size_t>(first));
        const int b = Values.at(static_cast<std::size_t>(second));
        return a < b ? -1 : (a > b ? 1 : 0);
    }

protected:
    void MoveRows(const std::vector<int>& order) override
    {
        std::vector<int> moved;
        for (int from : order) {
            moved.push_back(Values.at(static_cast<std::size_t>(from)));
        }
        Values = moved;
    }
};

const QColor kEven{215, 238, 240};
const QColor kOdd{215, 240, 224};

// Six columns; row r holds the texts given per column.
void Fill(TListViewSort& view, const std::vector<QStringList>& rows)
{
    std::vector<TListColumn> columns;
    for (int i = 0; i < 6; ++i) {
        columns.push_back({QStringLiteral("C%1").arg(i), 60, 20, 0, false});
    }
    view.SetColumns(columns);
    std::vector<TListRow> listRows;
    for (const QStringList& cells : rows) {
        listRows.push_back({cells, QByteArray()});
    }
    view.TextRows().SetRows(std::move(listRows));
}

QStringList ColumnTexts(const TListViewSort& view, int column)
{
    QStringList texts;
    for (int row = 0; row < view.Rows().RowCount(); ++row) {
        texts << view.Rows().Cell(row, column);
    }
    return texts;
}

void ClickHeader(TListViewSort& view, int column)
{
    QHeaderView* header = view.horizontalHeader();
    const QPoint point(header->sectionViewportPosition(column) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, point);
}

} // namespace

class ListViewSortTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void NewControlSortsDescendingOnColumnZeroAndMarksIt()
    {
        TListViewSort view;
        QCOMPARE(view.SortAscending(), false);
        QCOMPARE(view.SortColumn(), 0);
        QVERIFY(view.horizontalHeader()->isSortIndicatorShown());
        QCOMPARE(view.horizontalHeader()->sortIndicatorSection(), 0);
        QCOMPARE(view.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void FirstClickOnColumnZeroSortsAscending()
    {
        TListViewSort view;
        Fill(view, {{"b"}, {"c"}, {"a"}});
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        ClickHeader(view, 0);
        QCOMPARE(view.SortAscending(), true);
        QCOMPARE(ColumnTexts(view, 0), (QStringList{"a", "b", "c"}));
        QCOMPARE(view.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    }

    void ClicksOnOtherColumnsKeepTheDirection()
    {
        TListViewSort view;
        Fill(view, {{"0", "", "", "m", "", "y"},
                    {"1", "", "", "z", "", "x"},
                    {"2", "", "", "a", "", "z"}});
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        ClickHeader(view, 3); // another column: still descending
        QCOMPARE(view.SortColumn(), 3);
        QCOMPARE(view.SortAscending(), false);
        QCOMPARE(ColumnTexts(view, 3), (QStringList{"z", "m", "a"}));

        ClickHeader(view, 3); // the same column again: ascending
        QCOMPARE(view.SortAscending(), true);
        QCOMPARE(ColumnTexts(view, 3), (QStringList{"a", "m", "z"}));

        ClickHeader(view, 5); // another column: keeps ascending
        QCOMPARE(view.SortColumn(), 5);
        QCOMPARE(view.SortAscending(), true);
        QCOMPARE(ColumnTexts(view, 5), (QStringList{"x", "y", "z"}));
        QCOMPARE(view.horizontalHeader()->sortIndicatorSection(), 5);
        QCOMPARE(view.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        // The rows moved whole.
        QCOMPARE(ColumnTexts(view, 0), (QStringList{"1", "0", "2"}));
    }

    void NumbersSortByTheirCharacters()
    {
        TListViewSort view;
        Fill(view, {{"9"}, {"10"}, {"2"}, {"1"}, {"100"}});
        view.SortByColumn(0);
        QCOMPARE(ColumnTexts(view, 0), (QStringList{"1", "10", "100", "2", "9"}));
    }

    void ComparisonIsLocaleAwareCaseSensitiveAndFollowsTheDirection()
    {
        TListViewSort view;
        Fill(view, {{"apple"}, {"Banana"}, {"a"}, {"A"}, {"\u00e9clair"}, {"zebra"}});
        QVERIFY2(!view.SortAscending(), "a new control compares descending");
        // Descending: the comparison is negated.
        QVERIFY(view.CompareRows(0, 1, 0) > 0); // apple before Banana, negated
        view.SortByColumn(0);
        QVERIFY(view.SortAscending());
        QVERIFY2(view.CompareRows(0, 0, 0) == 0, "equal texts compare equal");
        // Rows have moved: compare by text through a fresh fill.
        Fill(view, {{"apple"}, {"Banana"}, {"a"}, {"A"}, {"\u00e9clair"}, {"zebra"}});
        QVERIFY2(view.CompareRows(0, 1, 0) < 0, "apple sorts before Banana, not by code");
        QVERIFY2(view.CompareRows(2, 3, 0) != 0, "a and A differ: case-sensitive");
        QVERIFY2(view.CompareRows(4, 5, 0) < 0, "an accented e sorts with the e's");
    }

    void ColoursFollowPositionsAndSelectionFollowsRows()
    {
        TListViewSort view;
        Fill(view, {{"c"}, {"a"}, {"b"}});
        view.Rows().SetRowColours(kEven, kOdd);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.SelectRows({0}); // "c"
        view.SortByColumn(0); // ascending: a b c
        QCOMPARE(view.SelectedRows(), std::vector<int>{2});
        QCOMPARE(view.Rows().Cell(2, 0), QStringLiteral("c"));
        for (int row = 0; row < 3; ++row) {
            const QVariant colour = view.model()->index(row, 0).data(Qt::BackgroundRole);
            QCOMPARE(colour.value<QColor>(), row % 2 == 0 ? kEven : kOdd);
        }
    }

    void AnOwnersModelIsShownAndSortedByItsOwnValues()
    {
        TListViewSort view;
        auto* numbers = new NumberModel;
        numbers->Values = {10, 9, 100, 2};
        view.SetRowModel(numbers);
        view.SetColumns({{QStringLiteral("N"), 60, 20, 0, false}});
        view.SelectRows({0}); // 10
        view.SortByColumn(0); // ascending: as numbers, not as texts
        QCOMPARE(ColumnTexts(view, 0), (QStringList{"2", "9", "10", "100"}));
        QCOMPARE(view.model()->index(3, 0).data().toString(), QStringLiteral("100"));
        QCOMPARE(view.SelectedRows(), std::vector<int>{2});
        view.SortByColumn(0);
        QCOMPARE(ColumnTexts(view, 0), (QStringList{"100", "10", "9", "2"}));
    }

    void EqualCellsKeepTheirOrder()
    {
        TListViewSort view;
        Fill(view, {{"0", "x"}, {"1", "x"}, {"2", "a"}, {"3", "x"}});
        view.SortByColumn(1); // descending: the x rows first, in their order
        QCOMPARE(ColumnTexts(view, 0), (QStringList{"0", "1", "3", "2"}));
    }

    void ColumnWidthsStayWithinTheirLimits()
    {
        TListViewSort view;
        view.SetColumns(
            {{"No.", 45, 45, 45, false}, {"", 1, 1, 1, true}, {"Comment", 200, 200, 800, false}});
        QCOMPARE(view.columnWidth(0), 45);
        QVERIFY(view.isColumnHidden(1));
        QCOMPARE(view.SetColumnWidth(2, 5000), 800);
        QCOMPARE(view.columnWidth(2), 800);
        // Any other way of resizing is held too, a dragged divider included.
        view.horizontalHeader()->resizeSection(0, 120);
        QCOMPARE(view.columnWidth(0), 45);
        view.setColumnWidth(2, 3);
        QCOMPARE(view.columnWidth(2), 200);
        QVERIFY(view.isColumnHidden(1));
    }

    void HeaderFontIsCopiedIntoTheHeader()
    {
        TListViewSort view;
        QCOMPARE(view.HeaderFont(), QApplication::font());
        QFont bold = view.HeaderFont();
        bold.setBold(true);
        view.SetHeaderFont(bold);
        QVERIFY(view.horizontalHeader()->font().bold());
        view.SetHeaderFont(view.HeaderFont()); // its own font: nothing happens
        QVERIFY(view.horizontalHeader()->font().bold());
    }

    void BackPictureIsTiledAndAnEmptyOneIsSkipped()
    {
        TListViewSort view;
        Fill(view, {{"a"}, {"b"}});
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        view.SetBackPicture(QPixmap()); // empty: drawing must not loop
        QVERIFY(!view.viewport()->grab().isNull());

        QPixmap tile(8, 8);
        tile.fill(Qt::red);
        view.SetBackPicture(tile);
        QCOMPARE(view.BackPicture().size(), QSize(8, 8));
        const QImage image = view.viewport()->grab().toImage();
        // Below the rows the picture shows.
        const QPoint below(image.width() - 3, image.height() - 3);
        QCOMPARE(QColor(image.pixel(below)), QColor(Qt::red));
    }
};

QTEST_MAIN(ListViewSortTest)
#include "ListViewSortTest.moc"
