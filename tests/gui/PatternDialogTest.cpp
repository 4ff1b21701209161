// Tags from file names and renames from tags in the main window: the preview
// shows what a pattern does to each selected file; Apply writes only the
// named fields of the files that match, and renames only files whose new
// name is free, never replacing one; the table follows.

#include "TPatternDialog.h"
#include "WindowTestSupport.h"

#include <QPushButton>
#include <QtTest>
#include <filesystem>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

constexpr int kFileName = 2;

void WriteSong(const TempDir& dir, const std::string& name, const std::string& title,
               const std::string& track = {})
{
    Id3v2Builder tag;
    tag.Version(3).TextFrame("TIT2", title).TextFrame("TPE1", "Someone");
    if (!track.empty()) {
        tag.TextFrame("TRCK", track);
    }
    Mp3Builder().Tag(tag.Build()).Audio(2).WriteTo(dir.File(name));
}

} // namespace

class PatternDialogTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<TFormMain> m_window;
    QString m_pattern;
    QString m_summary;

    void Open()
    {
        WindowHooks hooks;
        // Types the pattern, waits for its preview and applies it.
        hooks.ShowPatternDialog = [this](TPatternDialog& dialog) {
            Find<QComboBox>(dialog, "cbPattern")->setEditText(m_pattern);
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return dialog.PreviewIsCurrent() && !Find<QLabel>(dialog, "lbSummary")
                                                             ->text()
                                                             .endsWith(QLatin1String("..."));
                },
                5000));
            m_summary = Find<QLabel>(dialog, "lbSummary")->text();
            Find<QPushButton>(dialog, "btApply")->click();
        };
        m_window = OpenWindowOn(NativeFolder(*m_dir), std::move(hooks));
        FileTableOf(*m_window).selectAll();
    }

private slots:
    void init()
    {
        m_settings = std::make_unique<TestSettings>();
        m_dir = std::make_unique<TempDir>();
    }

    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
        m_settings.reset();
    }

    void TagsFromNamesWriteTheNamedFieldsOfMatchingFilesOnly()
    {
        WriteSong(*m_dir, "01 - Abba - Waterloo.mp3", "old");
        WriteSong(*m_dir, "02 - Björk - Jóga.mp3", "old");
        WriteSong(*m_dir, "notes.mp3", "kept");
        const Bytes untouched = ReadFile(m_dir->File("notes.mp3"));
        const Bytes oldAbba = ReadFile(m_dir->File("01 - Abba - Waterloo.mp3"));
        Open();
        m_pattern = QStringLiteral("%track% - %artist% - %title%");
        Action(*m_window, "TagsFromNamesAction").trigger();

        QVERIFY2(m_summary.startsWith(QStringLiteral("2 of 3 files match")), qPrintable(m_summary));
        const FileRow abba = ReadBack(*m_dir, "01 - Abba - Waterloo.mp3");
        QCOMPARE(abba.Fields.Track, std::string("01"));
        QCOMPARE(abba.Fields.Artist, std::string("Abba"));
        QCOMPARE(abba.Fields.Title, std::string("Waterloo"));
        QCOMPARE(ReadBack(*m_dir, "02 - Björk - Jóga.mp3").Fields.Title, std::string("Jóga"));
        QCOMPARE(ReadFile(m_dir->File("notes.mp3")), untouched);
        QVERIFY(Column(FileTableOf(*m_window), 3).contains(QStringLiteral("Waterloo")));

        // Edit > Undo gives back the old files, and the table shows them.
        QAction& undo = Action(*m_window, "UndoAction");
        QCOMPARE(undo.text(), QStringLiteral("&Undo Tags from file names"));
        undo.trigger();
        QCOMPARE(ReadFile(m_dir->File("01 - Abba - Waterloo.mp3")), oldAbba);
        QVERIFY(!Column(FileTableOf(*m_window), 3).contains(QStringLiteral("Waterloo")));
        QVERIFY(!undo.isEnabled());
        Action(*m_window, "RedoAction").trigger();
        QCOMPARE(ReadBack(*m_dir, "01 - Abba - Waterloo.mp3").Fields.Title,
                 std::string("Waterloo"));
        QVERIFY(Column(FileTableOf(*m_window), 3).contains(QStringLiteral("Waterloo")));
    }

    void RenamesNeverReplaceAFileAndTheTableFollows()
    {
        WriteSong(*m_dir, "a.mp3", "Intro", "1");
        WriteSong(*m_dir, "b.mp3", "Taken", "2");
        WriteSong(*m_dir, "c.mp3", "Slash/Name", "3");
        Open();
        // Made after the listing: a file the table does not show holds the
        // name b.mp3 would get.
        WriteSong(*m_dir, "02 - Taken.mp3", "someone else's");
        const Bytes other = ReadFile(m_dir->File("02 - Taken.mp3"));
        m_pattern = QStringLiteral("%track:2% - %title%");
        Action(*m_window, "RenameFilesAction").trigger();

        QVERIFY2(m_summary.startsWith(QStringLiteral("2 of 3 files get a new name")),
                 qPrintable(m_summary));
        namespace fs = std::filesystem;
        QVERIFY(fs::exists(m_dir->File("01 - Intro.mp3")));
        QVERIFY(fs::exists(m_dir->File("03 - Slash_Name.mp3")));
        QVERIFY(!fs::exists(m_dir->File("a.mp3")));
        QVERIFY(fs::exists(m_dir->File("b.mp3")));
        QCOMPARE(ReadFile(m_dir->File("02 - Taken.mp3")), other);
        QStringList names = Column(FileTableOf(*m_window), kFileName);
        names.sort();
        QCOMPARE(names, (QStringList{"01 - Intro.mp3", "03 - Slash_Name.mp3", "b.mp3"}));

        // Undo gives the files their names back, and the table follows.
        Action(*m_window, "UndoAction").trigger();
        names = Column(FileTableOf(*m_window), kFileName);
        names.sort();
        QCOMPARE(names, (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
        QVERIFY(fs::exists(m_dir->File("a.mp3")));
        QVERIFY(!fs::exists(m_dir->File("01 - Intro.mp3")));
        QCOMPARE(ReadFile(m_dir->File("02 - Taken.mp3")), other);
    }

    void BothWorkOnFilesInSubfolders()
    {
        std::filesystem::create_directory(m_dir->File("Live"));
        WriteSong(*m_dir, "Live/07 - Heroes.mp3", "old");
        Open();
        Action(*m_window, "SubfoldersAction").setChecked(true);
        WaitForListing(*m_window);
        FileTableOf(*m_window).selectAll();
        // The pattern sees the name without its folder.
        m_pattern = QStringLiteral("%track% - %title%");
        Action(*m_window, "TagsFromNamesAction").trigger();
        const FileRow heroes = ReadBack(*m_dir, "Live/07 - Heroes.mp3");
        QCOMPARE(heroes.Fields.Title, std::string("Heroes"));
        QCOMPARE(heroes.Fields.Track, std::string("07"));

        // The renamed file stays in its folder, and the table follows it there.
        m_pattern = QStringLiteral("%title% (%track%)");
        Action(*m_window, "RenameFilesAction").trigger();
        QVERIFY(std::filesystem::exists(m_dir->File("Live/Heroes (07).mp3")));
        QCOMPARE(Column(FileTableOf(*m_window), kFileName), QStringList{"Live/Heroes (07).mp3"});
    }
};

QTEST_MAIN(PatternDialogTest)
#include "PatternDialogTest.moc"
