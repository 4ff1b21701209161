// The main window on real folders built byte by byte: the file table (order,
// sorting, colours, status bar, "&Modify"), the log view, the panels and the
// View toggles, driven through the widgets found by their object names.

#include "FileTable.h"
#include "LogView.h"
#include "Mp3Builder.h"
#include "StatusWord.h"
#include "TFormMain.h"
#include "TListViewSort.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <map>

using namespace varnello;
using testsupport::Id3v1Fields;
using testsupport::Id3v2Builder;
using testsupport::Mp3Builder;
using testsupport::TempDir;

namespace {

const QColor kEven{215, 238, 240};
const QColor kOdd{215, 240, 224};

void WriteTagged(const TempDir& dir, const std::string& name, const std::string& title)
{
    Mp3Builder()
        .Tag(Id3v2Builder().TextFrame("TIT2", title).TextFrame("TPE1", "Artist").Build())
        .Audio(2)
        .WriteTo(dir.File(name));
}

QString NativeFolder(const TempDir& dir)
{
    return QDir::toNativeSeparators(QString::fromStdString(dir.Path()));
}

// A window whose editor and listing can be watched or replaced.
class TestWindow : public TFormMain
{
public:
    std::vector<std::vector<int>> EditorCalls;
    // Folder -> names and rows served instead of the disk's, when set.
    std::map<std::string, std::vector<FileRow>> FakeFolders;

    using TFormMain::FileTable;
    using TFormMain::LogView;
    using TFormMain::Menus;

protected:
    void OpenEditor(const std::vector<int>& rows) override { EditorCalls.push_back(rows); }

    std::vector<std::string> ListFolderNames(const std::string& folder) const override
    {
        const auto found = FakeFolders.find(folder);
        if (found == FakeFolders.end()) {
            return TFormMain::ListFolderNames(folder);
        }
        std::vector<std::string> names;
        for (const FileRow& row : found->second) {
            names.push_back(row.FileName);
        }
        return names;
    }

    FileRow ReadFileRow(const std::string& folder, const std::string& name, int no) const override
    {
        const auto found = FakeFolders.find(folder);
        if (found == FakeFolders.end()) {
            return TFormMain::ReadFileRow(folder, name, no);
        }
        FileRow row = found->second.at(static_cast<std::size_t>(no));
        row.No = no;
        return row;
    }
};

template <typename T> T* Find(QObject& window, const char* name)
{
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}

QString StatusText(TFormMain& window)
{
    return Find<QLabel>(window, "ClsStbStatusText")->text();
}

QStringList Column(const TListViewSort& table, int column)
{
    QStringList texts;
    for (int row = 0; row < table.Rows().RowCount(); ++row) {
        texts << table.Rows().Cell(row, column);
    }
    return texts;
}

QColor PaintedRowColour(TListViewSort& table, int row)
{
    // A point inside the "No." cell to the right of its short text.
    const QRect cell = table.visualRect(table.model()->index(row, filetable::kNo));
    const QImage image = table.viewport()->grab().toImage();
    return image.pixelColor(cell.right() - 4, cell.center().y());
}

void ClickHeader(TListViewSort& table, int column)
{
    QHeaderView* header = table.horizontalHeader();
    const QPoint point(header->sectionViewportPosition(column) + 8, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, point);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_folder;
    std::unique_ptr<TestWindow> m_window;

    TestWindow& OpenWindowOn(const QString& folder)
    {
        m_window = std::make_unique<TestWindow>();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get())) {
            qFatal("window not exposed");
        }
        m_window->ShowFolder(folder);
        return *m_window;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        m_folder = std::make_unique<TempDir>();
        WriteTagged(*m_folder, "b.mp3", "Bravo");
        WriteTagged(*m_folder, "A.mp3", "Alpha");
        WriteTagged(*m_folder, "c.MP3", "Charlie");
    }

    void cleanup()
    {
        m_window.reset();
        m_folder.reset();
    }

    void ListsTheFolderInNameOrderWithNumbers()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        TListViewSort& table = *window.FileTable();
        QCOMPARE(Column(table, filetable::kFileName), (QStringList{"A.mp3", "b.mp3", "c.MP3"}));
        QCOMPARE(Column(table, filetable::kNo), (QStringList{"0", "1", "2"}));
        QCOMPARE(Column(table, filetable::kTitle), (QStringList{"Alpha", "Bravo", "Charlie"}));
        QCOMPARE(Column(table, filetable::kTagKind), (QStringList{"1", "1", "1"}));
        QVERIFY2(table.isColumnHidden(filetable::kTagKind), "TagKind is a hidden field");
        QCOMPARE(window.CurrentFolder(), NativeFolder(*m_folder));
        QComboBox* address = Find<QComboBox>(window, "CbAddress");
        QCOMPARE(address->count(), 1);
        QCOMPARE(address->itemText(0), NativeFolder(*m_folder));
        QCOMPARE(window.FileRowAt(1).FileName, std::string("b.mp3"));
        QCOMPARE(window.FileRowAt(1).Fields.Title, std::string("Bravo"));
    }

    void NoColumnSortsAsNumbersAndColoursFollowThePositions()
    {
        for (int i = 3; i < 12; ++i) {
            WriteTagged(*m_folder, "t" + std::to_string(i) + ".mp3", "T");
        }
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        TListViewSort& table = *window.FileTable();
        QCOMPARE(table.Rows().RowCount(), 12);

        ClickHeader(table, filetable::kNo); // new table: descending -> ascending
        QCOMPARE(Column(table, filetable::kNo).mid(0, 5), (QStringList{"0", "1", "2", "3", "4"}));
        ClickHeader(table, filetable::kNo); // descending
        QCOMPARE(Column(table, filetable::kNo).mid(0, 3), (QStringList{"11", "10", "9"}));
        // The rows keep their numbers and are painted by their new positions.
        QCOMPARE(table.Rows().Cell(2, filetable::kFileName), QStringLiteral("t7.mp3"));
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(PaintedRowColour(table, row), row % 2 == 0 ? kEven : kOdd);
        }
        ClickHeader(table, filetable::kNo); // ascending again

        ClickHeader(table, filetable::kTitle); // another column: keeps ascending
        QCOMPARE(table.SortColumn(), int(filetable::kTitle));
        QCOMPARE(table.SortAscending(), true);
        QCOMPARE(table.Rows().Cell(0, filetable::kTitle), QStringLiteral("Alpha"));
    }

    void StatusBarShowsOnePathOrTheCount()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        TListViewSort& table = *window.FileTable();
        table.SelectRows({1});
        const QString separator = QDir::toNativeSeparators(QStringLiteral("/"));
        QCOMPARE(StatusText(window), NativeFolder(*m_folder) + separator + QStringLiteral("b.mp3"));
        table.SelectRows({0, 1, 2});
        QCOMPARE(StatusText(window), QStringLiteral("3 files selected"));
    }

    void StatusBarForARootFolderHasOneSeparator()
    {
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        m_window = std::make_unique<TestWindow>();
        FileRow row;
        row.FileName = "x.mp3";
        m_window->FakeFolders[root.toStdString()] = {row};
        m_window->show();
        m_window->ShowFolder(root);
        QCOMPARE(m_window->CurrentFolder(), root);
        m_window->FileTable()->SelectRows({0});
        QCOMPARE(StatusText(*m_window), root + QStringLiteral("x.mp3"));
    }

    void DeselectingKeepsTheTextAndHidesModify()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        TListViewSort& table = *window.FileTable();
        QAction* popupModify = window.Menus().menuModifyMp3Info;
        QAction* commandModify = window.Menus().ModifyAction;
        QVERIFY2(!commandModify->isEnabled(), "\"&Modify\" is disabled without a selection");
        QVERIFY(!popupModify->isVisible());

        table.SelectRows({0, 1, 2});
        QVERIFY(commandModify->isEnabled());
        QVERIFY(popupModify->isVisible());
        table.clearSelection();
        QCOMPARE(StatusText(window), QStringLiteral("3 files selected"));
        QVERIFY(!popupModify->isVisible());
        QVERIFY(!commandModify->isEnabled());
    }

    void EveryWayOfOpeningTheEditorHandsOverTheSelection()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        TListViewSort& table = *window.FileTable();
        table.setFocus();
        QTest::keyClick(&table, Qt::Key_Return); // nothing selected: nothing opens
        window.Menus().ModifyAction->trigger();
        QVERIFY(window.EditorCalls.empty());

        table.SelectRows({0, 2});
        QTest::keyClick(&table, Qt::Key_Return);
        window.Menus().ModifyAction->trigger();
        window.Menus().menuModifyMp3Info->trigger();
        QCOMPARE(window.EditorCalls.size(), std::size_t(3));
        const QRect cell = table.visualRect(table.model()->index(1, filetable::kTitle));
        // What a real double click delivers: a click, then the double click.
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(window.EditorCalls.size(), std::size_t(4));
        QCOMPARE(window.EditorCalls[0], (std::vector<int>{0, 2}));
        QCOMPARE(window.EditorCalls[2], (std::vector<int>{0, 2}));
        QCOMPARE(window.EditorCalls[3], std::vector<int>{1});
    }

    void AFolderWithoutMp3FilesLeavesTheTable()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        TempDir empty;
        testsupport::WriteFile(empty.File("notes.txt"), testsupport::ToBytes("no music"));
        window.FileTable()->SelectRows({1});
        window.ShowFolder(NativeFolder(empty));
        QCOMPARE(window.FileTable()->Rows().RowCount(), 3);
        QCOMPARE(window.CurrentFolder(), NativeFolder(*m_folder));
        QCOMPARE(Find<QComboBox>(window, "CbAddress")->count(), 1);
        QCOMPARE(window.FileTable()->SelectedRows(), std::vector<int>{1});
    }

    void ThreeFailuresGiveThreeLogRowsInOrder()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        window.AppendLogEntries({{"A.mp3", StatusWord{0x0100}},
                                 {"b.mp3", StatusWord{0x2101}},
                                 {"c.MP3", StatusWord{0x0480}}});
        TListViewSort& log = *window.LogView();
        QCOMPARE(log.Rows().RowCount(), 3);
        const QString separator = QDir::toNativeSeparators(QStringLiteral("/"));
        const QStringList messages{QString::fromStdString(StatusMessage(0x01)),
                                   QString::fromStdString(StatusMessage(0x21)),
                                   QString::fromStdString(StatusMessage(0x04))};
        QCOMPARE(Column(log, logview::kDescription), messages);
        QCOMPARE(Column(log, logview::kPath),
                 (QStringList{NativeFolder(*m_folder) + separator + "A.mp3",
                              NativeFolder(*m_folder) + separator + "b.mp3",
                              NativeFolder(*m_folder) + separator + "c.MP3"}));
        QCOMPARE(Column(log, logview::kMark), (QStringList{"", "", ""}));
        QVERIFY(!log.Rows().Cell(0, logview::kTime).isEmpty());
        // Logging does not switch to the log's tab.
        QCOMPARE(Find<QTabWidget>(window, "PageControl")->currentWidget()->objectName(),
                 QStringLiteral("TsContent"));
    }

    void LowerPagesStartOnContentAndNeverShowPlay()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        QTabWidget* pages = Find<QTabWidget>(window, "PageControl");
        QCOMPARE(pages->tabText(pages->currentIndex()), QStringLiteral("Content"));
        QCOMPARE(pages->currentIndex(), 0);
        QVERIFY(!pages->isTabVisible(pages->indexOf(Find<QWidget>(window, "TsPlayMusic"))));
        QCOMPARE(pages->tabText(2), QStringLiteral("Log View"));
        QCOMPARE(Find<QTabWidget>(window, "PageControl1")->tabText(0), QStringLiteral("Tag"));
        QVERIFY(!Find<QWidget>(window, "ClsPnlLeftBottom")->isVisible());
    }

    void ClosingTheDirectoryPanelUnchecksItsMenuItem()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        QWidget* panel = Find<QWidget>(window, "ClsPnlLeft");
        QAction* item = window.Menus().TbDirectory;
        QVERIFY(item->isChecked());
        QTest::mouseClick(Find<QToolButton>(window, "ClsSpdBtnCloseLeft"), Qt::LeftButton);
        QVERIFY(!panel->isVisible());
        QVERIFY(!item->isChecked());
        item->trigger();
        QVERIFY(panel->isVisible());
        QVERIFY(item->isChecked());
    }

    void ViewTogglesShowAndHideTheirTargets()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        QWidget* properties = Find<QWidget>(window, "ClsPnlRightBottom");
        window.Menus().tmiPropertiesView->trigger();
        QVERIFY(!properties->isVisible());
        window.Menus().tmiPropertiesView->trigger();
        QVERIFY(properties->isVisible());
        QTest::mouseClick(Find<QToolButton>(window, "clsBtnPropertyViewClose"), Qt::LeftButton);
        QVERIFY(!properties->isVisible());
        QVERIFY(!window.Menus().tmiPropertiesView->isChecked());

        window.Menus().TbStatusbar->trigger();
        QVERIFY(!window.statusBar()->isVisible());
        window.Menus().TbToolBar->trigger();
        QVERIFY(!Find<QToolBar>(window, "CbToolBar")->isVisible());
        QVERIFY(!Find<QToolBar>(window, "CbToolBar")->isMovable());
    }

    void PanelsKeepTheirMinimumSizes()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        auto* leftRight = Find<QSplitter>(window, "ClsSplLeftRight");
        QCOMPARE(leftRight->sizes().at(0), 209);
        leftRight->setSizes({0, 2000});
        QCOMPARE(leftRight->sizes().at(0), 10);
        QVERIFY(Find<QWidget>(window, "ClsPnlLeft")->isVisible());

        auto* topBottom = Find<QSplitter>(window, "SplitterRightTopAndBottom");
        QCOMPARE(topBottom->sizes().at(1), 205);
        topBottom->setSizes({2000, 0});
        QCOMPARE(topBottom->sizes().at(1), 15);

        // Growing the window leaves both panels as they are.
        leftRight->setSizes({209, 800});
        topBottom->setSizes({400, 205});
        window.resize(window.width() + 100, window.height() + 80);
        QCOMPARE(leftRight->sizes().at(0), 209);
        QCOMPARE(topBottom->sizes().at(1), 205);
    }

    void ColumnsKeepTheirLimitsAndCommentTakesTheRest()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        TListViewSort& table = *window.FileTable();
        table.horizontalHeader()->resizeSection(filetable::kNo, 90);
        QCOMPARE(table.columnWidth(filetable::kNo), 45);
        table.horizontalHeader()->resizeSection(filetable::kComment, 5000);
        QCOMPARE(table.columnWidth(filetable::kComment), 800);

        window.resize(1400, window.height()); // the layout runs when the table is resized
        QTRY_VERIFY(table.columnWidth(filetable::kComment) > 200);
        int right = 0;
        for (int column = 0; column < filetable::kColumnCount; ++column) {
            right += table.isColumnHidden(column) ? 0 : table.columnWidth(column);
        }
        QVERIFY2(right <= table.viewport()->width(), "no horizontal scrolling after the layout");
        QVERIFY2(right > table.viewport()->width() - 40, "the comment takes the free width");
        QCOMPARE(table.columnWidth(filetable::kFileName), 140);
    }

    void ObjectNamesOfTheLayoutAreThere()
    {
        TestWindow& window = OpenWindowOn(NativeFolder(*m_folder));
        for (const char* name :
             {"clsLVFile",          "clsLVLogView",       "ClsStbStatusBar",
              "CbAddress",          "TbGoAddress",        "ClsPnlLeft",
              "ClsPnlRightBottom",  "PageControl",        "PageControl1",
              "ClsDrvComBox",       "ClsDirListBox",      "clsFileListBox",
              "clsSpbSaveContent",  "PannelPropertyView", "clsBtnPropertyViewClose",
              "ClsSpdBtnCloseLeft", "ClsPnlLeftBottom",   "cbGenre",
              "PopMenuLVFile",      "MainMenu1"}) {
            QVERIFY2(window.findChild<QObject*>(QString::fromLatin1(name)) != nullptr, name);
        }
        QVERIFY(!Find<QWidget>(window, "clsSpbSaveContent")->isVisible());
        QVERIFY(!Find<QWidget>(window, "clsSpbSaveContent")->isEnabled());
        // The title names the folder the table lists.
        QCOMPARE(window.windowTitle(), NativeFolder(*m_folder) + QStringLiteral(" - Varnello"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
