// The main window on real folders built byte by byte: the file table (order,
// sorting, colours, status bar, "&Modify"), the log view, the panels and the
// View toggles, driven through the widgets found by their object names.

#include "LogView.h"
#include "StatusWord.h"
#include "TFormInfo.h"
#include "WindowTestSupport.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

using namespace varnello;
using namespace varnello::testsupport;

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

QColor PaintedRowColour(TListViewSort& table, int row)
{
    // A point inside the "No." cell to the right of its short text.
    const QRect cell = table.visualRect(table.model()->index(row, filetable::kNo));
    const QImage image = table.viewport()->grab().toImage();
    return image.pixelColor(cell.right() - 4, cell.center().y());
}

// The comment column takes what the other shown columns leave of the
// table's width, without a horizontal scroll bar; hidden columns take none.
void VerifyCommentTakesTheRest(const TListViewSort& table)
{
    const int right = table.horizontalHeader()->length();
    QVERIFY2(right <= table.viewport()->width(), "no horizontal scrolling after the layout");
    QVERIFY2(right > table.viewport()->width() - 40, "the comment takes the free width");
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
    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TempDir> m_folder;
    std::unique_ptr<TFormMain> m_window;

    TFormMain& OpenOn(const QString& folder, WindowHooks hooks = {})
    {
        m_window = OpenWindowOn(folder, std::move(hooks));
        return *m_window;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        m_settings = std::make_unique<TestSettings>();
        m_folder = std::make_unique<TempDir>();
        WriteTagged(*m_folder, "b.mp3", "Bravo");
        WriteTagged(*m_folder, "A.mp3", "Alpha");
        WriteTagged(*m_folder, "c.MP3", "Charlie");
    }

    void cleanup()
    {
        m_window.reset();
        m_folder.reset();
        m_settings.reset();
    }

    void ListsTheFolderInNameOrderWithNumbers()
    {
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        TListViewSort& table = FileTableOf(window);
        QCOMPARE(Column(table, filetable::kFileName), (QStringList{"A.mp3", "b.mp3", "c.MP3"}));
        QCOMPARE(Column(table, filetable::kNo), (QStringList{"0", "1", "2"}));
        QCOMPARE(Column(table, filetable::kTitle), (QStringList{"Alpha", "Bravo", "Charlie"}));
        QCOMPARE(Column(table, filetable::kTagKind), (QStringList{"1", "1", "1"}));
        QCOMPARE(Column(table, filetable::kArtist), (QStringList{"Artist", "Artist", "Artist"}));
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
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        TListViewSort& table = FileTableOf(window);
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
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        TListViewSort& table = FileTableOf(window);
        table.SelectRows({1});
        const QString separator = QDir::toNativeSeparators(QStringLiteral("/"));
        QCOMPARE(StatusText(window), NativeFolder(*m_folder) + separator + QStringLiteral("b.mp3"));
        table.SelectRows({0, 1, 2});
        QCOMPARE(StatusText(window), QStringLiteral("3 files selected"));
    }

    void StatusBarForARootFolderHasOneSeparator()
    {
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        TestFolders folders;
        FileRow row;
        row.FileName = "x.mp3";
        folders.Fake[root.toStdString()] = {row};
        OpenOn(root, folders.Hooks());
        QCOMPARE(m_window->CurrentFolder(), root);
        FileTableOf(*m_window).SelectRows({0});
        QCOMPARE(StatusText(*m_window), root + QStringLiteral("x.mp3"));
    }

    void DeselectingKeepsTheTextAndHidesModify()
    {
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        TListViewSort& table = FileTableOf(window);
        QAction* popupModify = &Action(window, "menuModifyMp3Info");
        QAction* commandModify = &Action(window, "ModifyAction");
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
        // The editor is not shown: each showing records the rows it was given.
        std::vector<std::vector<std::string>> editorCalls;
        WindowHooks hooks;
        hooks.ShowEditor = [&](TFormInfo& editor) {
            std::vector<std::string> names;
            for (const FileRow& row : editor.GetRows()) {
                names.push_back(row.FileName);
            }
            editorCalls.push_back(names);
        };
        TFormMain& window = OpenOn(NativeFolder(*m_folder), std::move(hooks));
        TListViewSort& table = FileTableOf(window);
        table.setFocus();
        QTest::keyClick(&table, Qt::Key_Return); // nothing selected: nothing opens
        Action(window, "ModifyAction").trigger();
        QVERIFY(editorCalls.empty());

        table.SelectRows({0, 2});
        QTest::keyClick(&table, Qt::Key_Return);
        Action(window, "ModifyAction").trigger();
        Action(window, "menuModifyMp3Info").trigger();
        QCOMPARE(editorCalls.size(), std::size_t(3));
        const QRect cell = table.visualRect(table.model()->index(1, filetable::kTitle));
        // What a real double click delivers: a click, then the double click.
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(editorCalls.size(), std::size_t(4));
        const std::vector<std::string> firstAndLast{"A.mp3", "c.MP3"};
        QCOMPARE(editorCalls[0], firstAndLast);
        QCOMPARE(editorCalls[1], firstAndLast);
        QCOMPARE(editorCalls[2], firstAndLast);
        QCOMPARE(editorCalls[3], std::vector<std::string>{"b.mp3"});
    }

    void AFolderWithoutMp3FilesLeavesTheTable()
    {
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        TempDir empty;
        testsupport::WriteFile(empty.File("notes.txt"), testsupport::ToBytes("no music"));
        FileTableOf(window).SelectRows({1});
        ShowFolderAndWait(window, NativeFolder(empty));
        QCOMPARE(FileTableOf(window).Rows().RowCount(), 3);
        QCOMPARE(window.CurrentFolder(), NativeFolder(*m_folder));
        QCOMPARE(Find<QComboBox>(window, "CbAddress")->count(), 1);
        QCOMPARE(FileTableOf(window).SelectedRows(), std::vector<int>{1});
        QCOMPARE(StatusText(window), NativeFolder(empty) + QStringLiteral(": No MP3 files"));
    }

    void ThreeFailuresGiveThreeLogRowsInOrder()
    {
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        window.AppendLogEntries({{"A.mp3", StatusWord{0x0100}},
                                 {"b.mp3", StatusWord{0x2101}},
                                 {"c.MP3", StatusWord{0x0480}}});
        TListViewSort& log = LogViewOf(window);
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
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
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
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        QWidget* panel = Find<QWidget>(window, "ClsPnlLeft");
        QAction* item = &Action(window, "TbDirectory");
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
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        QWidget* properties = Find<QWidget>(window, "ClsPnlRightBottom");
        Action(window, "tmiPropertiesView").trigger();
        QVERIFY(!properties->isVisible());
        Action(window, "tmiPropertiesView").trigger();
        QVERIFY(properties->isVisible());
        QTest::mouseClick(Find<QToolButton>(window, "clsBtnPropertyViewClose"), Qt::LeftButton);
        QVERIFY(!properties->isVisible());
        QVERIFY(!Action(window, "tmiPropertiesView").isChecked());

        Action(window, "TbStatusbar").trigger();
        QVERIFY(!window.statusBar()->isVisible());
        Action(window, "TbToolBar").trigger();
        QVERIFY(!Find<QToolBar>(window, "CbToolBar")->isVisible());
        QVERIFY(!Find<QToolBar>(window, "CbToolBar")->isMovable());
    }

    void PanelsKeepTheirMinimumSizes()
    {
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
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
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        TListViewSort& table = FileTableOf(window);
        table.horizontalHeader()->resizeSection(filetable::kNo, 90);
        QCOMPARE(table.columnWidth(filetable::kNo), 45);
        table.horizontalHeader()->resizeSection(filetable::kComment, 5000);
        QCOMPARE(table.columnWidth(filetable::kComment), 800);

        window.resize(1400, window.height()); // the layout runs when the table is resized
        QTRY_VERIFY(table.columnWidth(filetable::kComment) > 200);
        VerifyCommentTakesTheRest(table);
        QCOMPARE(table.columnWidth(filetable::kFileName), 140);
    }

    void OptionalColumnsFollowTheHeaderMenuAndAreRemembered()
    {
        struct Optional
        {
            int Column;
            const char* Item;
            bool ByDefault;
        };
        const Optional optional[] = {
            {filetable::kTrack, "ShowTrackColumn", true},
            {filetable::kDisc, "ShowDiscColumn", false},
            {filetable::kAlbumArtist, "ShowAlbumArtistColumn", false},
        };
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        window.resize(1400, window.height());
        TListViewSort& table = FileTableOf(window);
        QHeaderView* header = table.horizontalHeader();
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, header->height() / 2));
        QApplication::sendEvent(header->viewport(), &rightClick);
        auto* menu = Find<QMenu>(table, "FileColumnMenu");
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        VerifyCommentTakesTheRest(table);

        for (const Optional& column : optional) {
            QAction& item = Action(table, column.Item);
            QVERIFY2(item.isCheckable() && item.isChecked() == column.ByDefault, column.Item);
            QCOMPARE(table.isColumnHidden(column.Column), !column.ByDefault);
            item.trigger();
            QCOMPARE(table.isColumnHidden(column.Column), column.ByDefault);
        }
        // Shown columns still leave the free width to the comment.
        QCOMPARE(table.columnWidth(filetable::kAlbumArtist), 100);
        VerifyCommentTakesTheRest(table);

        TFormMain next;
        for (const Optional& column : optional) {
            QVERIFY2(FileTableOf(next).isColumnHidden(column.Column) == column.ByDefault,
                     column.Item);
            QVERIFY2(Action(next, column.Item).isChecked() != column.ByDefault, column.Item);
        }
    }

    void GenreNamesOptionShowsAndSortsNamesWithoutRereadingAndIsRemembered()
    {
        const std::vector<std::string> stored{"(17)", "(4)Eurodisco", "2", "(51)(39)", "Acid"};
        for (std::size_t i = 0; i < stored.size(); ++i) {
            Mp3Builder()
                .Tag(Id3v2Builder().TextFrame("TCON", stored[i]).Build())
                .Audio(2)
                .WriteTo(m_folder->File("g" + std::to_string(i) + ".mp3"));
        }
        TestFolders folders;
        TFormMain& window = OpenOn(NativeFolder(*m_folder), folders.Hooks());
        TListViewSort& table = FileTableOf(window);
        const int rowsRead = folders.RowsRead();
        QAction& option = Action(window, "GenreNamesAction");
        QCOMPARE(option.text(), QStringLiteral("Genre names for references"));
        QVERIFY(option.isCheckable());
        QVERIFY2(!option.isChecked(), "off by default");
        QVERIFY(Find<QMenu>(window, "View1")->actions().contains(&option));
        const QStringList asStored{"", "", "", "(17)", "(4)Eurodisco", "2", "(51)(39)", "Acid"};
        QCOMPARE(Column(table, filetable::kGenre), asStored);

        option.trigger();
        QCOMPARE(Column(table, filetable::kGenre),
                 (QStringList{"", "", "", "Rock", "Eurodisco", "Country",
                              "Techno-Industrial / Noise", "Acid"}));
        QCOMPARE(folders.RowsRead(), rowsRead);
        QCOMPARE(window.FileRowAt(3).Fields.Genre, std::string("(17)"));
        // Sorted by the names; turned off, the same rows show their stored text.
        const auto inOrder = [&table](QStringList ascending) {
            if (!table.SortAscending()) {
                std::reverse(ascending.begin(), ascending.end());
            }
            return ascending;
        };
        table.SortByColumn(filetable::kGenre);
        QCOMPARE(Column(table, filetable::kGenre),
                 inOrder({"", "", "", "Acid", "Country", "Eurodisco", "Rock",
                          "Techno-Industrial / Noise"}));

        TFormMain next;
        QVERIFY2(Action(next, "GenreNamesAction").isChecked(), "the choice is remembered");
        // Turned off while sorted by genre: sorted again by the stored text.
        option.trigger();
        QCOMPARE(Column(table, filetable::kGenre),
                 inOrder({"", "", "", "(17)", "(4)Eurodisco", "(51)(39)", "2", "Acid"}));
        TFormMain third;
        QVERIFY(!Action(third, "GenreNamesAction").isChecked());
    }

    void TrackAndDiscSortAsNumbers()
    {
        const std::vector<std::string> values{"10", "2", "3/12", "1", ""};
        for (std::size_t i = 0; i < values.size(); ++i) {
            Mp3Builder()
                .Tag(Id3v2Builder()
                         .TextFrame("TRCK", values[i])
                         .TextFrame("TPOS", values[i])
                         .Build())
                .Audio(2)
                .WriteTo(m_folder->File("n" + std::to_string(i) + ".mp3"));
        }
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
        TListViewSort& table = FileTableOf(window);
        const QStringList ascending{"", "", "", "", "1", "2", "3/12", "10"};
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        for (const int column : {int(filetable::kTrack), int(filetable::kDisc)}) {
            table.SortByColumn(column);
            QCOMPARE(Column(table, column), table.SortAscending() ? ascending : descending);
            table.SortByColumn(column);
            QCOMPARE(Column(table, column), table.SortAscending() ? ascending : descending);
        }
    }

    void ObjectNamesOfTheLayoutAreThere()
    {
        TFormMain& window = OpenOn(NativeFolder(*m_folder));
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
