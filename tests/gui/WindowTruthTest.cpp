// The main window tells the truth about what it lists and what it saved: the
// address box, the title and the status bar name the folder the table lists;
// failed saves and pending edits are marked where the user looks; nothing of
// a previous table survives a rebuild; numbers sort as numbers.

#include "WindowTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

// Focus leaves the address box as a click elsewhere takes it.
void LeaveAddressBox(TFormMain& window)
{
    Find<QComboBox>(window, "CbAddress")->setFocus(Qt::OtherFocusReason);
    FileTableOf(window).setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
}

constexpr int kFileName = 2;
constexpr int kNo = 0;
constexpr int kTitle = 3;
constexpr int kYear = 6;

} // namespace

class WindowTruthTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_first;
    std::unique_ptr<TempDir> m_second;
    std::unique_ptr<TFormMain> m_window;

    // Selects one row and types a new title into the Content page.
    QLineEdit* EditTitle(int row, const QString& title)
    {
        FileTableOf(*m_window).SelectRows({row});
        QLineEdit* edTitle = Find<QLineEdit>(*m_window, "edTitle");
        TypeInto(edTitle, title);
        return edTitle;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        m_first = std::make_unique<TempDir>();
        m_second = std::make_unique<TempDir>();
        WriteTitled(*m_first, "a1.mp3", "First one");
        WriteTitled(*m_first, "a2.mp3", "First two");
        WriteTitled(*m_second, "b1.mp3", "Second one");
    }

    void cleanup()
    {
        m_window.reset();
        m_first.reset();
        m_second.reset();
    }

    void StartShowsTheListedFolderInBoxAndTitle()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        QCOMPARE(AddressText(*m_window), NativeFolder(*m_first));
        QVERIFY2(m_window->windowTitle().contains(NativeFolder(*m_first)),
                 qPrintable(m_window->windowTitle()));
    }

    void EnterInTheAddressBoxOpensATypedFolder()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        auto* address = Find<QComboBox>(*m_window, "CbAddress");
        address->setFocus();
        address->lineEdit()->selectAll();
        QTest::keyClicks(address, NativeFolder(*m_second));
        // The keys go to the focused box, as a real keyboard's do.
        QTest::keyClick(address, Qt::Key_Return);
        WaitForListing(*m_window);
        QCOMPARE(m_window->CurrentFolder(), NativeFolder(*m_second));
        QCOMPARE(Column(FileTableOf(*m_window), kFileName), QStringList{"b1.mp3"});
        QCOMPARE(AddressText(*m_window), NativeFolder(*m_second));
        QVERIFY(m_window->windowTitle().contains(NativeFolder(*m_second)));
    }

    void HistoryPickThenFocusLossStaysOnThePickedFolder()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        ShowFolderAndWait(*m_window, NativeFolder(*m_second));
        auto* address = Find<QComboBox>(*m_window, "CbAddress");
        const int first = address->findText(NativeFolder(*m_first));
        QVERIFY2(first >= 0, "the first folder is in the history");

        address->setFocus();
        address->setCurrentIndex(first);
        emit address->activated(first); // the user's pick from the drop-down list
        WaitForListing(*m_window);
        QCOMPARE(m_window->CurrentFolder(), NativeFolder(*m_first));
        QCOMPARE(AddressText(*m_window), NativeFolder(*m_first));

        LeaveAddressBox(*m_window);
        QCOMPARE(m_window->CurrentFolder(), NativeFolder(*m_first));
        QCOMPARE(AddressText(*m_window), NativeFolder(*m_first));
        QCOMPARE(Column(FileTableOf(*m_window), kFileName), (QStringList{"a1.mp3", "a2.mp3"}));
    }

    void TextTypedButNotEnteredNeverNavigates()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        ShowFolderAndWait(*m_window, NativeFolder(*m_second));
        ShowFolderAndWait(*m_window, NativeFolder(*m_first));
        auto* address = Find<QComboBox>(*m_window, "CbAddress");
        address->setFocus();
        address->lineEdit()->selectAll();
        QTest::keyClicks(address, NativeFolder(*m_second)); // a history entry, not entered
        LeaveAddressBox(*m_window);
        QCOMPARE(m_window->CurrentFolder(), NativeFolder(*m_first));
        QCOMPARE(AddressText(*m_window), NativeFolder(*m_first));
    }

    void TabWalksAddressFoldersTableAndFields()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        FileTableOf(*m_window).SelectRows({0}); // the fields take input
        auto* address = Find<QComboBox>(*m_window, "CbAddress");
        address->setFocus(Qt::OtherFocusReason);
        QStringList walked;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // A line edit inside a combo box stands for its box.
            if (qobject_cast<QComboBox*>(focus->parentWidget()) != nullptr) {
                focus = focus->parentWidget();
            }
            walked << focus->objectName();
        }
        QCOMPARE(walked, (QStringList{"TbGoAddress", "ClsDrvComBox", "ClsDirListBox", "FilterBox",
                                      "clsLVFile", "edTitle", "EdArtist"}));
    }

    void FailedSaveIsMarkedOnRowFieldStatusAndLogTab()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        QLineEdit* edTitle = EditTitle(0, QStringLiteral("New"));
        std::filesystem::remove(m_first->File("a1.mp3")); // the file vanishes
        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);

        const QString status = StatusText(*m_window);
        QVERIFY2(status.contains(QStringLiteral("a1.mp3")) &&
                     status.contains(QStringLiteral("Not saved")),
                 qPrintable(status));
        auto* pages = Find<QTabWidget>(*m_window, "PageControl");
        QCOMPARE(pages->tabText(pages->indexOf(Find<QWidget>(*m_window, "TsLogView"))),
                 QStringLiteral("Log View (1)"));
        QVERIFY2(edTitle->property("unsaved").toBool(), "the failed field is marked");
        QVERIFY2(!Find<QWidget>(*m_window, "edYear")->property("unsaved").toBool(),
                 "an unchanged field is not");
        QCOMPARE(edTitle->text(), QStringLiteral("New"));
        TListViewSort& table = FileTableOf(*m_window);
        QCOMPARE(table.Rows().Cell(0, kTitle), QStringLiteral("First one"));
        QCOMPARE(table.Rows().Marker(0), QString(QChar(0x26A0)));
        QVERIFY(Find<QLabel>(*m_window, "lbContentState")
                    ->text()
                    .contains(QStringLiteral("Not saved")));

        // Opening the log clears its count; moving on clears the marks.
        pages->setCurrentWidget(Find<QWidget>(*m_window, "TsLogView"));
        QCOMPARE(pages->tabText(pages->indexOf(Find<QWidget>(*m_window, "TsLogView"))),
                 QStringLiteral("Log View"));
        table.SelectRows({1});
        QVERIFY(!edTitle->property("unsaved").toBool());
        QVERIFY(table.Rows().Marker(0).isEmpty());
    }

    void PendingEditIsMarkedAndCtrlSSavesIt()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        EditTitle(1, QStringLiteral("Typed"));
        TListViewSort& table = FileTableOf(*m_window);
        QCOMPARE(table.Rows().Marker(1), QString(QChar(0x270E)));
        QVERIFY(Find<QLabel>(*m_window, "lbContentState")->isVisible());

        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadBack(*m_first, "a2.mp3").Fields.Title, std::string("Typed"));
        QVERIFY(table.Rows().Marker(1).isEmpty());
        QVERIFY(!Find<QLabel>(*m_window, "lbContentState")->isVisible());
    }

    void EditIsSavedOnExit()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        EditTitle(0, QStringLiteral("Saved on exit"));
        Find<QAction>(*m_window, "Exit1")->trigger();
        QVERIFY2(!m_window->isVisible(), "the window closed");
        QCOMPARE(ReadBack(*m_first, "a1.mp3").Fields.Title, std::string("Saved on exit"));
    }

    void FailedSaveOnCloseKeepsTheWindowOpen()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        EditTitle(0, QStringLiteral("Lost"));
        std::filesystem::remove(m_first->File("a1.mp3"));
        QVERIFY2(!m_window->close(), "the first close is refused");
        QVERIFY(m_window->isVisible());
        QVERIFY2(StatusText(*m_window).contains(QStringLiteral("a1.mp3")),
                 qPrintable(StatusText(*m_window)));
        QVERIFY2(m_window->close(), "closing again drops the edit the user was told about");
    }

    void NothingStaleAfterARebuild()
    {
        m_window = OpenWindowOn(NativeFolder(*m_first));
        TListViewSort& table = FileTableOf(*m_window);
        table.SortByColumn(kTitle);
        table.SelectRows({0});
        QVERIFY(!Find<QLineEdit>(*m_window, "edTitle")->text().isEmpty());

        ShowFolderAndWait(*m_window, NativeFolder(*m_second));
        QCOMPARE(table.horizontalHeader()->sortIndicatorSection(), -1);
        QVERIFY(Find<QLineEdit>(*m_window, "edTitle")->text().isEmpty());
        QVERIFY(!Find<QLineEdit>(*m_window, "edTitle")->isEnabled());
        QVERIFY2(StatusText(*m_window).startsWith(NativeFolder(*m_second)),
                 qPrintable(StatusText(*m_window)));

        // A folder without MP3 files keeps the table and says so.
        TempDir empty;
        ShowFolderAndWait(*m_window, NativeFolder(empty));
        QCOMPARE(Column(table, kFileName), QStringList{"b1.mp3"});
        QCOMPARE(StatusText(*m_window), NativeFolder(empty) + QStringLiteral(": No MP3 files"));
        QCOMPARE(AddressText(*m_window), NativeFolder(*m_second));
        QVERIFY(m_window->windowTitle().contains(NativeFolder(*m_second)));
    }

    void NumbersSortAsNumbersAndGenreIsTrimmed()
    {
        for (int i = 3; i <= 11; ++i) {
            Mp3Builder()
                .Tag(Id3v2Builder().TextFrame("TYER", std::to_string(i * 100)).Build())
                .Audio(1)
                .WriteTo(m_first->File("t" + std::to_string(i) + ".mp3"));
        }
        m_window = OpenWindowOn(NativeFolder(*m_first));
        TListViewSort& table = FileTableOf(*m_window);
        table.SortByColumn(kNo); // first sort of a new table: ascending
        QCOMPARE(Column(table, kNo).mid(0, 4), (QStringList{"0", "1", "2", "3"}));
        table.SortByColumn(kYear);
        QCOMPARE(table.Rows().Cell(table.Rows().RowCount() - 1, kYear), QStringLiteral("1100"));

        table.SelectRows({0});
        const std::string name = table.Rows().Cell(0, kFileName).toStdString();
        auto* genre = Find<QComboBox>(*m_window, "cbGenreContent");
        genre->setFocus();
        genre->lineEdit()->selectAll();
        QTest::keyClicks(genre, QStringLiteral(" rock "));
        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadBack(*m_first, name).Fields.Genre, std::string("rock"));
    }

    void AFolderWithFilesReplacesALongReadAndAnEmptyOneDoesNot()
    {
        for (int i = 0; i < 300; ++i) {
            WriteTitled(*m_second, "n" + std::to_string(i) + ".mp3", "N");
        }
        TempDir empty;
        TestFolders slow;
        slow.RowDelay = std::chrono::milliseconds(1);
        m_window = OpenWindowOn(NativeFolder(*m_first), slow.Hooks());
        TListViewSort& table = FileTableOf(*m_window);

        // An empty folder while the long read runs: the read goes on to the end.
        m_window->ShowFolder(NativeFolder(*m_second));
        QTRY_VERIFY(m_window->CurrentFolder() == NativeFolder(*m_second) &&
                    table.Rows().RowCount() > 0);
        ShowFolderAndWait(*m_window, NativeFolder(empty));
        QCOMPARE(table.Rows().RowCount(), 301);
        QCOMPARE(m_window->CurrentFolder(), NativeFolder(*m_second));

        // A folder with files: its rows replace the read, and nothing of the
        // long read arrives after them.
        m_window->ShowFolder(NativeFolder(*m_second)); // the same folder, read again
        QTRY_VERIFY(table.Rows().RowCount() > 0 && table.Rows().RowCount() < 301);
        ShowFolderAndWait(*m_window, NativeFolder(*m_first));
        QTest::qWait(50);
        QCOMPARE(Column(table, kFileName), (QStringList{"a1.mp3", "a2.mp3"}));
        QCOMPARE(m_window->CurrentFolder(), NativeFolder(*m_first));
        m_window.reset(); // before the folder source it reads through
    }

    void LongReadShowsRowsEarlyAndEscStopsIt()
    {
        for (int i = 0; i < 400; ++i) {
            WriteTitled(*m_second, "n" + std::to_string(i) + ".mp3", "N");
        }
        // Each row takes a millisecond to read.
        TestFolders slow;
        slow.RowDelay = std::chrono::milliseconds(1);
        m_window = OpenWindowOn(NativeFolder(*m_first), slow.Hooks());
        m_window->ShowFolder(NativeFolder(*m_second));
        TListViewSort& table = FileTableOf(*m_window);
        QVERIFY2(m_window->IsListing(), "the folder is read in the background");
        // The first rows come while the rest is still being read.
        QTRY_VERIFY(table.Rows().RowCount() > 0 &&
                    table.Rows().Cell(0, kFileName) == QStringLiteral("b1.mp3"));
        const int first = table.Rows().RowCount();
        QVERIFY2(m_window->IsListing() && first < 401, qPrintable(QString::number(first)));
        QVERIFY(Find<QWidget>(*m_window, "ClsBtnCancel")->isVisible());

        // Rows arrive while the event loop runs; then Esc stops the read.
        QTRY_VERIFY(table.Rows().RowCount() > first);
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QVERIFY(!m_window->IsListing());
        const int kept = table.Rows().RowCount();
        QVERIFY2(kept < 401, "stopped before the end");
        QTest::qWait(50); // nothing more arrives
        QCOMPARE(table.Rows().RowCount(), kept);
        QVERIFY(!Find<QWidget>(*m_window, "ClsBtnCancel")->isVisible());
        QVERIFY2(StatusText(*m_window).contains(QStringLiteral("stopped")),
                 qPrintable(StatusText(*m_window)));
        // The rows read are in table order and numbered from 0.
        for (int row = 0; row < kept; ++row) {
            QCOMPARE(table.Rows().Cell(row, kNo), QString::number(row));
        }
        m_window.reset(); // before the folder source it reads through
    }

    void MultiFileSaveRunsWithProgressAndCancelKeepsWhatWasSaved()
    {
        constexpr int kFiles = 150;
        const QString kNewTitle(4000, QLatin1Char('n'));
        for (int i = 0; i < kFiles; ++i) {
            WriteTitled(*m_second, "m" + std::to_string(1000 + i) + ".mp3", "Old");
        }
        m_window = OpenWindowOn(NativeFolder(*m_second));
        TListViewSort& table = FileTableOf(*m_window);
        QTRY_VERIFY(!m_window->IsListing());
        table.selectAll();

        // In the dialog: tick Title, type it, Save. While the files are
        // saved, the status bar's Cancel is clicked after the first few.
        auto* dialog = Find<QDialog>(*m_window, "FormInfo");
        int progressSeen = 0;
        QTimer::singleShot(0, m_window.get(), [&] {
            QTest::mouseClick(Find<QCheckBox>(*dialog, "chkbTitle"), Qt::LeftButton);
            // Longer than the old tag's room: each file is written anew and
            // flushed, which gives the Cancel time to land.
            Find<QLineEdit>(*dialog, "edTitle")->setText(kNewTitle);
            QTimer* watch = new QTimer(m_window.get());
            connect(watch, &QTimer::timeout, m_window.get(), [&, watch] {
                auto* progress = Find<QProgressBar>(*m_window, "ClsPrbListing");
                if (m_window->IsSaving() && progress->value() >= 3) {
                    progressSeen = progress->value();
                    QTest::mouseClick(Find<QPushButton>(*m_window, "ClsBtnCancel"), Qt::LeftButton);
                    watch->deleteLater();
                }
            });
            watch->start(0);
            QTest::mouseClick(Find<QPushButton>(*dialog, "btUpdate"), Qt::LeftButton);
        });
        Find<QAction>(*m_window, "ModifyAction")->trigger();

        QVERIFY2(progressSeen >= 3, "the progress bar counted the saved files");
        QVERIFY(!m_window->IsSaving());
        int saved = 0;
        for (int row = 0; row < kFiles; ++row) {
            const std::string name = table.Rows().Cell(row, kFileName).toStdString();
            const std::string onDisk = ReadBack(*m_second, name).Fields.Title;
            QCOMPARE(table.Rows().Cell(row, kTitle).toStdString(), onDisk);
            saved += onDisk == kNewTitle.toStdString() ? 1 : 0;
        }
        QVERIFY2(saved >= progressSeen && saved < kFiles, qPrintable(QString::number(saved)));
        QVERIFY2(StatusText(*m_window).contains(QStringLiteral("stopped")),
                 qPrintable(StatusText(*m_window)));
        QVERIFY2(Find<QWidget>(*m_window, "clsLVFile")->isEnabled(), "the window is live again");
    }
};

QTEST_MAIN(WindowTruthTest)
#include "WindowTruthTest.moc"
