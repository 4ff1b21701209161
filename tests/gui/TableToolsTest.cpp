// The tools for a whole table in the main window: the filter box, File >
// Export, Command > Number tracks, the kept modification times and View >
// Include subfolders, each checked against the files on disk with the table
// filtered and sorted.

#include "TContentView.h"
#include "WindowTestSupport.h"

#include <QLineEdit>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

void WriteSong(const TempDir& dir, const std::string& name, const std::string& title,
               const std::string& artist, const std::string& albumArtist = {})
{
    Id3v2Builder tag;
    tag.Version(3).TextFrame("TIT2", title).TextFrame("TPE1", artist);
    if (!albumArtist.empty()) {
        tag.TextFrame("TPE2", albumArtist);
    }
    Mp3Builder().Tag(tag.Build()).Audio(2).WriteTo(dir.File(name));
}

} // namespace

class TableToolsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_settings = std::make_unique<TestSettings>();
        m_dir = std::make_unique<TempDir>();
        WriteSong(*m_dir, "1.mp3", "Dancing Queen", "ABBA");
        WriteSong(*m_dir, "2.mp3", "Waterloo", "Abba");
        WriteSong(*m_dir, "3.mp3", "Abba, a tribute", "Band \"X\"", "Fans");
        WriteSong(*m_dir, "4.mp3", "Heroes", "Bowie");
        WindowHooks hooks;
        hooks.SaveExport = [this](QWidget*, const QString&) { return m_exportPath; };
        hooks.ConfirmNoUndo = [this](QWidget*, const QString&) {
            ++m_noUndoQuestions;
            return m_saveWithoutUndo;
        };
        m_window = OpenWindowOn(NativeFolder(*m_dir), std::move(hooks));
    }

    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
        m_settings.reset();
    }

    void FiltersByTextInAnyShownColumnOrInTheNamedOne()
    {
        Action(*m_window, "FilterAction").trigger();
        QVERIFY(FilterBox().hasFocus());
        QTest::keyClicks(&FilterBox(), QStringLiteral("abba"));
        QCOMPARE(ShownNames(), QStringList({"1.mp3", "2.mp3", "3.mp3"}));
        QCOMPARE(StatusText(*m_window), QStringLiteral("3 of 4 files"));

        const std::vector<std::pair<QString, QStringList>> cases{
            {"artist:abba", {"1.mp3", "2.mp3"}},
            {"ARTIST: Abba", {"1.mp3", "2.mp3"}},
            {"album artist:fan", {"3.mp3"}},
            {"album-artist:fan", {"3.mp3"}},
            {"file name:4", {"4.mp3"}},
            {"nowhere:abba", {}},
            {"artist:", {"1.mp3", "2.mp3", "3.mp3", "4.mp3"}},
        };
        for (const auto& [typed, names] : cases) {
            FilterBox().setText(typed);
            QVERIFY2(ShownNames() == names, qPrintable(typed + ": " + ShownNames().join(',')));
        }

        // Another folder is listed through the filter.
        TempDir other;
        WriteSong(other, "x.mp3", "Fernando", "ABBA");
        WriteSong(other, "y.mp3", "Changes", "Bowie");
        FilterBox().setText(QStringLiteral("abba"));
        ShowFolderAndWait(*m_window, NativeFolder(other));
        QCOMPARE(ShownNames(), QStringList({"x.mp3"}));
        QCOMPARE(StatusText(*m_window), QStringLiteral("1 of 2 files"));
        ShowFolderAndWait(*m_window, NativeFolder(*m_dir));

        FilterBox().clear();
        Table().selectAll();
        FilterBox().setText(QStringLiteral("bowie"));
        QCOMPARE(Table().SelectedRows(), std::vector<int>{3});
        QCOMPARE(Find<QLineEdit>(*m_window, "edTitle")->text(), QStringLiteral("Heroes"));
        QVERIFY(Find<QLineEdit>(*m_window, "edTitle")->isEnabled());

        FilterBox().setText(QStringLiteral("queen"));
        QVERIFY(!Table().HasSelection());
        QVERIFY(!Action(*m_window, "NumberTracksAction").isEnabled());
        QVERIFY(Find<QLineEdit>(*m_window, "edTitle")->text().isEmpty());
        QTest::keyClick(&FilterBox(), Qt::Key_Escape);
        QVERIFY(FilterBox().text().isEmpty());
        QVERIFY(!Table().IsFiltered());
        QCOMPARE(Table().ShownRowCount(), 4);
    }

    void ContentEditOfAFilteredSortedRowWritesThatFile()
    {
        Table().SortByColumn(filetable::kTitle); // descending: Waterloo, Dancing, Abba
        FilterBox().setText(QStringLiteral("abba"));
        ClickShownRow(1);
        const std::vector<int> selected = Table().SelectedRows();
        QCOMPARE(selected.size(), std::size_t{1});
        QCOMPARE(filetable::Rows(Table()).Row(selected.front()).FileName, std::string("1.mp3"));
        auto* title = Find<QLineEdit>(*m_window, "edTitle");
        QCOMPARE(title->text(), QStringLiteral("Dancing Queen"));

        TypeInto(title, QStringLiteral("Mamma Mia"));
        m_window->SaveContentNow();
        QCOMPARE(ReadBack(*m_dir, "1.mp3").Fields.Title, std::string("Mamma Mia"));
        for (const char* other : {"2.mp3", "3.mp3", "4.mp3"}) {
            QVERIFY2(ReadBack(*m_dir, other).Fields.Title != "Mamma Mia", other);
        }
        // The saved row keeps its place.
        QCOMPARE(ShownNames(), QStringList({"2.mp3", "1.mp3", "3.mp3"}));
    }

    void KeptModificationTimesSurviveASaveAndTheChoiceIsRemembered()
    {
        namespace fs = std::filesystem;
        const fs::path path = m_dir->File("4.mp3");
        const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
        fs::last_write_time(path, old);
        Action(*m_window, "KeepTimesAction").trigger();
        QVERIFY(Action(*m_window, "KeepTimesAction").isChecked());
        FilterBox().setText(QStringLiteral("bowie"));
        ClickShownRow(0);
        TypeInto(Find<QLineEdit>(*m_window, "edTitle"), QStringLiteral("Low"));
        m_window->SaveContentNow();
        QCOMPARE(ReadBack(*m_dir, "4.mp3").Fields.Title, std::string("Low"));
        QVERIFY2(fs::last_write_time(path) == old, "the save kept the old time");
        TFormMain next;
        QVERIFY2(Action(next, "KeepTimesAction").isChecked(), "the choice is remembered");
    }

    void NumberTracksWritesOneToNInTheShownOrder()
    {
        Table().SortByColumn(filetable::kTitle); // descending: Waterloo, Heroes, Dancing, Abba
        FilterBox().setText(QStringLiteral("a"));
        QCOMPARE(ShownNames(), QStringList({"2.mp3", "1.mp3", "3.mp3"}));
        Table().selectAll();
        Action(*m_window, "NumberTracksAction").trigger();
        QCOMPARE(ReadBack(*m_dir, "2.mp3").Fields.Track, std::string("1"));
        QCOMPARE(ReadBack(*m_dir, "1.mp3").Fields.Track, std::string("2"));
        QCOMPARE(ReadBack(*m_dir, "3.mp3").Fields.Track, std::string("3"));
        QCOMPARE(ReadBack(*m_dir, "4.mp3").Fields.Track, std::string());
        QCOMPARE(ReadBack(*m_dir, "2.mp3").Fields.Title, std::string("Waterloo"));
        QCOMPARE(Table().Rows().Cell(0, filetable::kTrack), QStringLiteral("1"));

        Table().SortByColumn(filetable::kTitle); // ascending
        Table().selectAll();
        Action(*m_window, "NumberTracksTotalAction").trigger();
        QCOMPARE(ReadBack(*m_dir, "3.mp3").Fields.Track, std::string("1/3"));
        QCOMPARE(ReadBack(*m_dir, "1.mp3").Fields.Track, std::string("2/3"));
        QCOMPARE(ReadBack(*m_dir, "2.mp3").Fields.Track, std::string("3/3"));
        QCOMPARE(ReadBack(*m_dir, "4.mp3").Fields.Track, std::string());
    }

    void ASaveTooLargeToUndoIsAskedFirstAndTheMenuSaysSo()
    {
        // Two tags of 20 MiB each: before and after, more than Undo keeps.
        TempDir big;
        for (const char* name : {"a.mp3", "b.mp3"}) {
            Mp3Builder()
                .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", name).Padding(20 << 20).Build())
                .Audio(2)
                .WriteTo(big.File(name));
        }
        const Bytes old = ReadFile(big.File("a.mp3"));
        ShowFolderAndWait(*m_window, NativeFolder(big));
        Table().selectAll();
        m_saveWithoutUndo = false;
        Action(*m_window, "NumberTracksAction").trigger();
        QCOMPARE(m_noUndoQuestions, 1);
        QCOMPARE(ReadFile(big.File("a.mp3")), old);
        QCOMPARE(StatusText(*m_window),
                 QStringLiteral("Not saved: the save could not have been undone"));

        m_saveWithoutUndo = true;
        Action(*m_window, "NumberTracksAction").trigger();
        QCOMPARE(m_noUndoQuestions, 2);
        QCOMPARE(ReadBack(big, "b.mp3").Fields.Track, std::string("2"));
        QAction& undo = Action(*m_window, "UndoAction");
        QVERIFY(!undo.isEnabled());
        QVERIFY2(undo.text().startsWith(QStringLiteral("Cannot undo Number tracks")),
                 qPrintable(undo.text()));
    }

    void ExportWritesTheShownColumnsOfTheShownRows()
    {
        m_exportPath = QString::fromStdString(m_dir->File("table.csv"));
        Table().SortByColumn(filetable::kTitle); // descending
        FilterBox().setText(QStringLiteral("abba"));
        Action(*m_window, "ExportAction").trigger();
        QTRY_VERIFY(StatusText(*m_window).startsWith(QStringLiteral("Exported 3 files")));
        const Bytes csv = ReadFile(m_dir->File("table.csv"));
        QCOMPARE(std::string(csv.begin(), csv.end()),
                 std::string("No.,File Name,Title,Artist,Album,Year,Genre,Comment,Track\r\n"
                             "1,2.mp3,Waterloo,Abba,,,,,\r\n"
                             "0,1.mp3,Dancing Queen,ABBA,,,,,\r\n"
                             "2,3.mp3,\"Abba, a tribute\",\"Band \"\"X\"\"\",,,,,\r\n"));
    }

    void SubfoldersAreListedOnceEachWhenTheOptionIsOn()
    {
        TempDir tree;
        WriteSong(tree, "a.mp3", "A", "X");
        std::filesystem::create_directory(tree.File("sub"));
        WriteSong(tree, "sub/b.mp3", "B", "Y");
        std::filesystem::create_directory_symlink(tree.Path(), tree.File("sub/up"));
        ShowFolderAndWait(*m_window, NativeFolder(tree));
        QCOMPARE(ShownNames(), QStringList({"a.mp3"}));

        QAction& subfolders = Action(*m_window, "SubfoldersAction");
        QVERIFY(!subfolders.isChecked());
        subfolders.setChecked(true); // lists the folder again
        WaitForListing(*m_window);
        QCOMPARE(ShownNames(), QStringList({"a.mp3", "sub/b.mp3"}));

        ClickShownRow(1);
        auto* title = Find<QLineEdit>(*m_window, "edTitle");
        QCOMPARE(title->text(), QStringLiteral("B"));
        TypeInto(title, QStringLiteral("Bee"));
        m_window->SaveContentNow();
        QCOMPARE(ReadBack(tree, "sub/b.mp3").Fields.Title, std::string("Bee"));
        QCOMPARE(ReadBack(tree, "a.mp3").Fields.Title, std::string("A"));
        // Undone from the keyboard, in the subfolder, with the table and the
        // Content page following.
        Table().setFocus();
        QTest::keySequence(m_window.get(), QKeySequence::Undo);
        QCOMPARE(ReadBack(tree, "sub/b.mp3").Fields.Title, std::string("B"));
        QCOMPARE(title->text(), QStringLiteral("B"));
        QTest::keySequence(m_window.get(), QKeySequence::Redo);
        QCOMPARE(title->text(), QStringLiteral("Bee"));

        QVERIFY(Action(TFormMain(), "SubfoldersAction").isChecked()); // remembered
        subfolders.setChecked(false);
        WaitForListing(*m_window);
        QCOMPARE(ShownNames(), QStringList({"a.mp3"}));
        QVERIFY(!Action(TFormMain(), "SubfoldersAction").isChecked());
    }

    void SubfoldersThatCannotBeReadAreNamedWhenTheListingEnds()
    {
        WindowHooks hooks;
        hooks.Folders.ListNames = [](const std::string& folder, bool subfolders,
                                     const std::stop_token& stop) {
            FolderSource::Listing listing =
                FolderSource::Module().ListNames(folder, subfolders, stop);
            if (subfolders) {
                const auto denied = std::make_error_code(std::errc::permission_denied);
                listing.Skipped = {{"sub/locked", denied}, {"other", denied}};
            }
            return listing;
        };
        m_window = OpenWindowOn(NativeFolder(*m_dir), std::move(hooks));
        QVERIFY(!StatusText(*m_window).contains(QStringLiteral("could not be read")));
        Action(*m_window, "SubfoldersAction").setChecked(true);
        WaitForListing(*m_window);
        QCOMPARE(StatusText(*m_window),
                 QStringLiteral("2 subfolders could not be read: sub/locked, other"));
    }

    void EscStopsAListingOfSubfoldersAndKeepsWhatItFound()
    {
        // A tree so large that its listing waits until it is stopped; the
        // folder's own names are what it found by then.
        WindowHooks hooks;
        hooks.Folders.ListNames = [](const std::string& folder, bool subfolders,
                                     const std::stop_token& stop) {
            FolderSource::Listing listing = FolderSource::Module().ListNames(folder, false, stop);
            if (subfolders) {
                for (int i = 0; i < 1000 && !stop.stop_requested(); ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                listing.Stopped = stop.stop_requested();
            }
            return listing;
        };
        m_window = OpenWindowOn(NativeFolder(*m_dir), std::move(hooks));
        Action(*m_window, "SubfoldersAction").setChecked(true);
        QTRY_VERIFY(StatusText(*m_window).startsWith(QStringLiteral("Listing ")));
        QVERIFY(Action(*m_window, "CancelAction").isEnabled());
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        WaitForListing(*m_window);
        QVERIFY2(StatusText(*m_window).contains(QStringLiteral("listing stopped, 4 files")),
                 qPrintable(StatusText(*m_window)));
        QCOMPARE(ShownNames().size(), 4);
        QVERIFY(!Action(*m_window, "CancelAction").isEnabled());
    }

private:
    TListViewSort& Table() { return FileTableOf(*m_window); }
    QLineEdit& FilterBox() { return *Find<QLineEdit>(*m_window, "FilterBox"); }

    QStringList ShownNames()
    {
        QStringList names;
        for (int row : Table().ShownRows()) {
            names << Table().Rows().Cell(row, filetable::kFileName);
        }
        return names;
    }

    void ClickShownRow(int shown)
    {
        const QRect cell = Table().visualRect(Table().model()->index(shown, filetable::kTitle));
        QTest::mouseClick(Table().viewport(), Qt::LeftButton, {}, cell.center());
    }

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<TFormMain> m_window;
    QString m_exportPath;
    int m_noUndoQuestions = 0;
    bool m_saveWithoutUndo = false;
};

QTEST_MAIN(TableToolsTest)
#include "TableToolsTest.moc"
