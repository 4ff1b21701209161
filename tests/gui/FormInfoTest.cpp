// The tag editor dialog on its own: set up as the main window sets it up,
// driven through its real widgets while it runs modally, and checked on disk
// by loading the saved files again with the engine.

#include "FileRow.h"
#include "Mp3Builder.h"
#include "Mp3Mng.h"
#include "StatusWord.h"
#include "TFormInfo.h"
#include "Tid3v2tag.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

constexpr std::size_t kAudioFrames = 3;
constexpr std::size_t kId3v1Size = 128;

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// One test file as the table would list it.
struct TestFile
{
    std::string Name;
    bool WithId3v2 = false;
    bool WithId3v1 = false;
    TagFields Fields;
};

FileRow MakeFile(const TempDir& dir, const TestFile& file, int no)
{
    Mp3Builder builder;
    if (file.WithId3v2) {
        builder.Tag(Id3v2Builder()
                        .Version(3)
                        .TextFrame("TIT2", file.Fields.Title)
                        .TextFrame("TPE1", file.Fields.Artist)
                        .TextFrame("TALB", file.Fields.Album)
                        .TextFrame("TYER", file.Fields.Year)
                        .TextFrame("TCON", file.Fields.Genre)
                        .Frame("COMM", Latin1Comment("ENG", "", file.Fields.Comment))
                        .Frame("TRCK", Latin1Text("7"))
                        .Padding(64)
                        .Build());
    }
    builder.Audio(kAudioFrames);
    if (file.WithId3v1) {
        Id3v1Fields v1;
        v1.Title = file.Fields.Title;
        v1.Artist = file.Fields.Artist;
        v1.Album = file.Fields.Album;
        v1.Year = file.Fields.Year;
        v1.Comment = file.Fields.Comment;
        v1.Genre = 17;
        builder.Id3v1(v1);
    }
    builder.WriteTo(dir.File(file.Name));
    FileRow row;
    row.No = no;
    row.FileName = file.Name;
    row.TagKind = (file.WithId3v2 ? tagkind::kId3v2 : tagkind::kNone) |
                  (file.WithId3v1 ? tagkind::kId3v1 : tagkind::kNone);
    row.Fields = file.Fields;
    return row;
}

TagFields Fields(const std::string& stem)
{
    return {stem + " title", stem + " artist", stem + " album", "1999", "Rock", stem + " comment"};
}

// The six fields of a file's ID3v2 tag, read back with the engine.
struct Id3v2OnDisk
{
    StatusWord Status;
    TagFields Fields;
    std::string Track;
};

Id3v2OnDisk LoadId3v2(const std::string& path)
{
    Tid3v2tag tag;
    Id3v2OnDisk result;
    result.Status = tag.LoadFromFile(path, 0);
    tag.GetTextFrame("TIT2", result.Fields.Title);
    tag.GetTextFrame("TPE1", result.Fields.Artist);
    tag.GetTextFrame("TALB", result.Fields.Album);
    tag.GetYear(result.Fields.Year);
    tag.GetTextFrame("TCON", result.Fields.Genre);
    tag.GetTextFrame("TRCK", result.Track);
    COMM comment;
    tag.GetComment(comment, "", "None");
    result.Fields.Comment = comment.Text;
    return result;
}

struct Id3v1OnDisk
{
    bool Present = false;
    std::string Title;
    std::string Artist;
    std::uint8_t Genre = 0;
};

Id3v1OnDisk LoadId3v1(const std::string& path)
{
    Mp3Mng mng;
    Id3v1OnDisk result;
    mng.Open(path);
    if (mng.ReadTag() != mp3status::kOk || !mng.HasTag()) {
        return result;
    }
    result.Present = true;
    mng.GetTitle(result.Title);
    mng.GetArtist(result.Artist);
    result.Genre = mng.GetGenre();
    return result;
}

// The last 128 bytes of a file as they stand.
Bytes Tail(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    if (bytes.size() < kId3v1Size) {
        return bytes;
    }
    return Bytes(bytes.end() - static_cast<std::ptrdiff_t>(kId3v1Size), bytes.end());
}

bool EndsWithAudio(const std::string& path, bool withId3v1)
{
    const Bytes bytes = ReadFile(path);
    const Bytes audio = MpegFrames(kAudioFrames);
    const std::size_t end = bytes.size() - (withId3v1 ? kId3v1Size : 0);
    if (end < audio.size()) {
        return false;
    }
    return std::equal(audio.begin(), audio.end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(end - audio.size()));
}

std::string Describe(const TagFields& f)
{
    return "{" + f.Title + " | " + f.Artist + " | " + f.Album + " | " + f.Year + " | " + f.Genre +
           " | " + f.Comment + "}";
}

} // namespace

class FormInfoTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void SingleFileShowsPathHiddenModifyBoxesAndEverythingEnabled();
    void LabelsCarryMnemonicsForTheirFields();
    void GenreBoxHoldsTheSortedNamesAndTakesTextAsTyped();
    void ThreeFilesShowCountTextFirstRowAndSaveFollowsTicks();
    void MultiFileSaveWithOnlyArtistTickedChangesOnlyArtists();
    void GenreWithBlanksIsStoredTrimmedInBothTags();
    void EmptyGenreWritesId3v1Genre255();
    void TwoLineCommentReachesBothTags();
    void ReadOnlyFileIsListedAndKeepsItsRowAndBothTags();
    void CloseAfterAnEarlierSaveTouchesNothing();
    void MultiFileFailureKeepsThatRowAndListsLastFirst();
    void PastedControlCharactersNeverReachTheTag();
    void UnreadableTagIsReplacedOnlyWhenTheUserAgrees();
    void FieldsThatDifferAcrossTheFilesAreMarkedWithTheCount();
    void TabReachesTrackDiscAndAlbumArtistAfterTheComment();

private:
    template <typename T> T* Find(const char* name)
    {
        T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("widget %s not found", name);
        }
        return widget;
    }

    // Runs the dialog modally; `whileShown` acts on it once it is up. A
    // dialog that is still open afterwards is closed so that no test hangs.
    void RunModal(const std::function<void()>& whileShown);
    void SetUpSingle(const FileRow& row);
    void SetUpMultiple(const std::vector<FileRow>& rows);

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<TFormInfo> m_dialog;
};

void FormInfoTest::init()
{
    m_dir = std::make_unique<TempDir>();
    m_dialog = std::make_unique<TFormInfo>();
}

void FormInfoTest::cleanup()
{
    m_dialog.reset();
    m_dir.reset();
}

void FormInfoTest::RunModal(const std::function<void()>& whileShown)
{
    bool ran = false;
    QTimer::singleShot(0, m_dialog.get(), [&] {
        ran = true;
        // Shortcuts and focus need the dialog to be the active window.
        m_dialog->activateWindow();
        if (!QTest::qWaitForWindowActive(m_dialog.get())) {
            qWarning("the dialog did not become active");
        }
        whileShown();
        if (m_dialog->isVisible()) {
            m_dialog->reject();
        }
    });
    m_dialog->exec();
    QVERIFY2(ran, "the dialog did not run its test steps");
}

void FormInfoTest::SetUpSingle(const FileRow& row)
{
    m_dialog->SetFolder(Q(m_dir->Path()));
    m_dialog->SetSelection({row});
    m_dialog->SetSingleFile(Q(JoinPath(m_dir->Path(), row.FileName)));
    m_dialog->LoadFromRow(row);
}

void FormInfoTest::SetUpMultiple(const std::vector<FileRow>& rows)
{
    m_dialog->SetFolder(Q(m_dir->Path()));
    m_dialog->SetSelection(rows);
    m_dialog->SetMultipleFiles();
}

void FormInfoTest::SingleFileShowsPathHiddenModifyBoxesAndEverythingEnabled()
{
    const FileRow row = MakeFile(*m_dir, {"one.mp3", true, true, Fields("one")}, 0);
    SetUpSingle(row);
    RunModal([&] {
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Mp3 Information"));
        QCOMPARE(Find<QLineEdit>("edFileName")->text(), Q(JoinPath(m_dir->Path(), "one.mp3")));
        QVERIFY(Find<QLineEdit>("edFileName")->isReadOnly());
        QVERIFY(!(Find<QLineEdit>("edFileName")->focusPolicy() & Qt::TabFocus));
        for (const char* box :
             {"chkbTitle", "chkbArtist", "chkbAlbum", "chkbYear", "chkbGenre", "chkbComment"}) {
            QVERIFY2(!Find<QCheckBox>(box)->isVisible(), box);
        }
        for (const char* field :
             {"edTitle", "EdArtist", "edAlbum", "edYear", "cbGenre", "edComment"}) {
            QVERIFY2(Find<QWidget>(field)->isEnabled(), field);
        }
        QVERIFY(Find<QPushButton>("btUpdate")->isEnabled());
        QCOMPARE(Find<QLineEdit>("edTitle")->text(), QStringLiteral("one title"));
        QCOMPARE(Find<QLineEdit>("EdArtist")->text(), QStringLiteral("one artist"));
        QCOMPARE(Find<QComboBox>("cbGenre")->currentText(), QStringLiteral("Rock"));
        QCOMPARE(Find<QPlainTextEdit>("edComment")->toPlainText(), QStringLiteral("one comment"));
        QTest::mouseClick(Find<QPushButton>("Button2"), Qt::LeftButton);
    });
    QVERIFY(!m_dialog->WasSaved());
    QVERIFY(m_dialog->GetFailures().empty());
}

void FormInfoTest::LabelsCarryMnemonicsForTheirFields()
{
    const struct
    {
        const char* Label;
        const char* Caption;
        const char* Buddy;
    } labels[] = {{"Label1", "&File Name", "edFileName"}, {"Label2", "&Title", "edTitle"},
                  {"Label3", "&Artist", "EdArtist"},      {"Label4", "A&lbum", "edAlbum"},
                  {"Label5", "&Year", "edYear"},          {"Label7", "&Genre", "cbGenre"},
                  {"Label6", "Co&mment", "edComment"}};
    for (const auto& expected : labels) {
        auto* label = Find<QLabel>(expected.Label);
        QCOMPARE(label->text(), QString::fromLatin1(expected.Caption));
        QVERIFY2(label->buddy() == Find<QWidget>(expected.Buddy), expected.Label);
    }
    QCOMPARE(Find<QPushButton>("btUpdate")->text(), QStringLiteral("&Save"));
    QCOMPARE(Find<QPushButton>("Button2")->text(), QStringLiteral("&Close"));
    QCOMPARE(m_dialog->findChild<QGroupBox*>(QStringLiteral("GroupBox1"))->title(),
             QStringLiteral("Tag Information"));

    // Alt+A from the title field lands in the artist field.
    const FileRow row = MakeFile(*m_dir, {"m.mp3", true, false, Fields("m")}, 0);
    SetUpSingle(row);
    RunModal([&] {
        Find<QLineEdit>("edTitle")->setFocus();
        QTest::keyClick(m_dialog.get(), Qt::Key_A, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), Find<QWidget>("EdArtist"));
    });
}

void FormInfoTest::GenreBoxHoldsTheSortedNamesAndTakesTextAsTyped()
{
    auto* genre = Find<QComboBox>("cbGenre");
    QCOMPARE(genre->count(), 126);
    QCOMPARE(genre->itemText(0), QStringLiteral("A Capela"));
    QCOMPARE(genre->itemText(1), QStringLiteral("Acid"));
    QCOMPARE(genre->itemText(2), QStringLiteral("Acid Jazz"));
    QCOMPARE(genre->itemText(123), QStringLiteral("Tribal"));
    QCOMPARE(genre->itemText(125), QStringLiteral("Vocal"));
    QVERIFY(genre->isEditable());

    // Typing a prefix of several names must not complete it to one of them,
    // and Enter must not add the text to the list.
    const FileRow row = MakeFile(*m_dir, {"g.mp3", true, false, Fields("g")}, 0);
    SetUpSingle(row);
    RunModal([&] {
        genre->setEditText(QString());
        genre->setFocus();
        QTest::keyClicks(genre, QStringLiteral("roc"));
        QCOMPARE(genre->currentText(), QStringLiteral("roc"));
        QTest::keyClick(genre, Qt::Key_Return);
        QCOMPARE(genre->count(), 126);
        QVERIFY(m_dialog->isVisible());
    });
    QVERIFY(!m_dialog->WasSaved());
}

void FormInfoTest::ThreeFilesShowCountTextFirstRowAndSaveFollowsTicks()
{
    const std::vector<FileRow> rows = {
        MakeFile(*m_dir, {"b.mp3", true, false, Fields("b")}, 1),
        MakeFile(*m_dir, {"a.mp3", true, false, Fields("a")}, 0),
        MakeFile(*m_dir, {"c.mp3", false, true, Fields("c")}, 2),
    };
    // A single-file showing before leaves ticks and enabled fields behind.
    SetUpSingle(rows[0]);
    RunModal([] {});
    SetUpMultiple(rows);
    RunModal([&] {
        QCOMPARE(Find<QLineEdit>("edFileName")->text(), QStringLiteral("3 Files Seleted."));
        QCOMPARE(Find<QLineEdit>("edTitle")->text(), QStringLiteral("b title"));
        QCOMPARE(Find<QComboBox>("cbGenre")->currentText(), QStringLiteral("Rock"));
        QCOMPARE(Find<QPlainTextEdit>("edComment")->toPlainText(), QStringLiteral("b comment"));
        for (const char* box :
             {"chkbTitle", "chkbArtist", "chkbAlbum", "chkbYear", "chkbGenre", "chkbComment"}) {
            QVERIFY2(Find<QCheckBox>(box)->isVisible(), box);
            QVERIFY2(!Find<QCheckBox>(box)->isChecked(), box);
        }
        for (const char* field :
             {"edTitle", "EdArtist", "edAlbum", "edYear", "cbGenre", "edComment"}) {
            QVERIFY2(!Find<QWidget>(field)->isEnabled(), field);
        }
        auto* save = Find<QPushButton>("btUpdate");
        QVERIFY(!save->isEnabled());
        QTest::mouseClick(Find<QCheckBox>("chkbArtist"), Qt::LeftButton);
        QVERIFY(Find<QWidget>("EdArtist")->isEnabled());
        QVERIFY(save->isEnabled());
        QTest::mouseClick(Find<QCheckBox>("chkbComment"), Qt::LeftButton);
        QTest::mouseClick(Find<QCheckBox>("chkbArtist"), Qt::LeftButton);
        QVERIFY(!Find<QWidget>("EdArtist")->isEnabled());
        QVERIFY(save->isEnabled());
        QTest::mouseClick(Find<QCheckBox>("chkbComment"), Qt::LeftButton);
        QVERIFY(!save->isEnabled());
    });
    QVERIFY(!m_dialog->WasSaved());

    // The next multi-file showing starts unticked again.
    Find<QCheckBox>("chkbGenre")->setChecked(true);
    SetUpMultiple(rows);
    QVERIFY(!Find<QCheckBox>("chkbGenre")->isChecked());
    QVERIFY(!Find<QPushButton>("btUpdate")->isEnabled());
}

void FormInfoTest::MultiFileSaveWithOnlyArtistTickedChangesOnlyArtists()
{
    const std::vector<FileRow> rows = {
        MakeFile(*m_dir, {"v2.mp3", true, false, Fields("v2")}, 0),
        MakeFile(*m_dir, {"v1.mp3", false, true, Fields("v1")}, 1),
        MakeFile(*m_dir, {"both.mp3", true, true, Fields("both")}, 2),
        MakeFile(*m_dir, {"none.mp3", false, false, TagFields{}}, 3),
    };
    SetUpMultiple(rows);
    RunModal([&] {
        QTest::mouseClick(Find<QCheckBox>("chkbArtist"), Qt::LeftButton);
        auto* artist = Find<QLineEdit>("EdArtist");
        artist->selectAll();
        QTest::keyClicks(artist, QStringLiteral("New Artist"));
        // Changed but unticked fields are not written.
        Find<QLineEdit>("edTitle")->setText(QStringLiteral("not written"));
        QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QVERIFY(m_dialog->WasSaved());
    QVERIFY(m_dialog->GetFailures().empty());

    const std::vector<FileRow>& after = m_dialog->GetRows();
    QCOMPARE(after.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        TagFields expected = rows[i].Fields;
        expected.Artist = "New Artist";
        QVERIFY2(after[i].Fields == expected, Describe(after[i].Fields).c_str());
        QCOMPARE(after[i].TagKind, rows[i].TagKind);
        QCOMPARE(after[i].No, rows[i].No);

        const std::string path = m_dir->File(rows[i].FileName);
        const Id3v2OnDisk v2 = LoadId3v2(path);
        QVERIFY2(status::IsSuccess(v2.Status), rows[i].FileName.c_str());
        QVERIFY2(v2.Fields == expected, (rows[i].FileName + " " + Describe(v2.Fields)).c_str());
        const bool hadId3v1 = Has(rows[i].TagKind, tagkind::kId3v1);
        const Id3v1OnDisk v1 = LoadId3v1(path);
        QCOMPARE(v1.Present, hadId3v1);
        if (hadId3v1) {
            QCOMPARE(v1.Artist, std::string("New Artist"));
            QCOMPARE(v1.Title, rows[i].Fields.Title);
        }
        QVERIFY2(EndsWithAudio(path, hadId3v1), rows[i].FileName.c_str());
    }
    // Frames the dialog does not edit stay.
    QCOMPARE(LoadId3v2(m_dir->File("both.mp3")).Track, std::string("7"));
}

void FormInfoTest::GenreWithBlanksIsStoredTrimmedInBothTags()
{
    const FileRow row = MakeFile(*m_dir, {"g.mp3", true, true, Fields("g")}, 0);
    SetUpSingle(row);
    auto* genre = Find<QComboBox>("cbGenre");
    RunModal([&] {
        genre->setEditText(QString());
        QTest::keyClicks(genre, QStringLiteral(" rock "));
        QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QVERIFY(m_dialog->WasSaved());
    QVERIFY(m_dialog->GetFailures().empty());
    QCOMPARE(genre->currentText(), QStringLiteral("rock"));
    QCOMPARE(m_dialog->GetTagKind(), tagkind::kBoth);
    QCOMPARE(m_dialog->GetRows().at(0).Fields.Genre, std::string("rock"));

    const std::string path = m_dir->File("g.mp3");
    QCOMPARE(LoadId3v2(path).Fields.Genre, std::string("rock"));
    QCOMPARE(int(LoadId3v1(path).Genre), 17);
}

void FormInfoTest::EmptyGenreWritesId3v1Genre255()
{
    const FileRow row = MakeFile(*m_dir, {"e.mp3", false, true, Fields("e")}, 0);
    SetUpSingle(row);
    RunModal([&] {
        Find<QComboBox>("cbGenre")->setEditText(QString());
        QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QVERIFY(m_dialog->WasSaved());
    const std::string path = m_dir->File("e.mp3");
    QCOMPARE(int(LoadId3v1(path).Genre), 255);
    // The ID3v1-only file got an ID3v2 tag as well, and its row says so.
    QCOMPARE(m_dialog->GetTagKind(), tagkind::kBoth);
    const Id3v2OnDisk v2 = LoadId3v2(path);
    QVERIFY(status::IsSuccess(v2.Status));
    QCOMPARE(v2.Fields.Title, std::string("e title"));
    QCOMPARE(v2.Fields.Genre, std::string());
}

void FormInfoTest::TwoLineCommentReachesBothTags()
{
    const FileRow row = MakeFile(*m_dir, {"c.mp3", true, true, Fields("c")}, 0);
    SetUpSingle(row);
    RunModal([&] {
        auto* comment = Find<QPlainTextEdit>("edComment");
        comment->clear();
        comment->setFocus();
        QTest::keyClicks(comment, QStringLiteral("first line here"));
        QTest::keyClick(comment, Qt::Key_Return);
        QTest::keyClicks(comment, QStringLiteral("second line here"));
        QVERIFY(m_dialog->isVisible()); // Enter in the memo is a line break, not Save
        QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QVERIFY(m_dialog->WasSaved());
    const std::string expected = "first line here\nsecond line here";
    const std::string path = m_dir->File("c.mp3");
    QCOMPARE(LoadId3v2(path).Fields.Comment, expected);
    QCOMPARE(m_dialog->GetRows().at(0).Fields.Comment, expected);

    // ID3v1: the comment field at offset 97 holds the first 28 bytes.
    const Bytes tail = Tail(path);
    const std::string stored(tail.begin() + 97, tail.begin() + 97 + 28);
    QVERIFY2(stored == expected.substr(0, 28), Hex(tail, 128).c_str());
}

void FormInfoTest::ReadOnlyFileIsListedAndKeepsItsRowAndBothTags()
{
    const FileRow row = MakeFile(*m_dir, {"ro.mp3", true, true, Fields("ro")}, 4);
    const std::string path = m_dir->File("ro.mp3");
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    SetUpSingle(row);
    RunModal([&] {
        Find<QLineEdit>("edTitle")->setText(QStringLiteral("new title"));
        QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QVERIFY(m_dialog->WasSaved());
    const std::vector<SaveFailure> failures = m_dialog->GetFailures();
    QCOMPARE(failures.size(), std::size_t(1));
    QCOMPARE(failures[0].FileName, std::string("ro.mp3"));
    QCOMPARE(failures[0].Status.Error().Value(), status::kReadOnly.Value());
    QVERIFY(m_dialog->GetFailures().empty()); // handed over once

    // The row keeps its cells and TagKind; the file is refused whole, so both
    // of its tags keep the old title.
    QVERIFY(m_dialog->GetRows().at(0).Fields == row.Fields);
    QCOMPARE(m_dialog->GetRows().at(0).TagKind, tagkind::kBoth);
    QCOMPARE(m_dialog->GetTagKind(), tagkind::kBoth);
    QCOMPARE(LoadId3v2(path).Fields.Title, std::string("ro title"));
    QCOMPARE(LoadId3v1(path).Title, std::string("ro title"));
}

void FormInfoTest::CloseAfterAnEarlierSaveTouchesNothing()
{
    const FileRow row = MakeFile(*m_dir, {"x.mp3", true, true, Fields("x")}, 0);
    const std::string path = m_dir->File("x.mp3");
    SetUpSingle(row);
    RunModal([&] { QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton); });
    QVERIFY(m_dialog->WasSaved());
    const FileRow saved = m_dialog->GetRows().at(0);
    const Bytes before = ReadFile(path);

    SetUpSingle(saved);
    RunModal([&] {
        Find<QLineEdit>("edTitle")->setText(QStringLiteral("changed"));
        QTest::mouseClick(Find<QPushButton>("Button2"), Qt::LeftButton);
    });
    QVERIFY(!m_dialog->WasSaved());
    QVERIFY(m_dialog->GetFailures().empty());

    // The title bar's close box (and Escape) end the showing the same way.
    SetUpSingle(saved);
    RunModal([&] {
        Find<QLineEdit>("edTitle")->setText(QStringLiteral("changed"));
        m_dialog->close();
    });
    QVERIFY(!m_dialog->WasSaved());
    SetUpSingle(saved);
    RunModal([&] { QTest::keyClick(m_dialog.get(), Qt::Key_Escape); });
    QVERIFY(!m_dialog->WasSaved());
    QVERIFY(ReadFile(path) == before);
}

void FormInfoTest::MultiFileFailureKeepsThatRowAndListsLastFirst()
{
    const std::vector<FileRow> rows = {
        MakeFile(*m_dir, {"ok1.mp3", true, false, Fields("ok1")}, 0),
        MakeFile(*m_dir, {"ro1.mp3", true, true, Fields("ro1")}, 1),
        MakeFile(*m_dir, {"ro2.mp3", true, false, Fields("ro2")}, 2),
    };
    for (const char* name : {"ro1.mp3", "ro2.mp3"}) {
        std::filesystem::permissions(m_dir->File(name), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
    }
    SetUpMultiple(rows);
    RunModal([&] {
        QTest::mouseClick(Find<QCheckBox>("chkbAlbum"), Qt::LeftButton);
        Find<QLineEdit>("edAlbum")->setText(QStringLiteral("Shared Album"));
        QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QVERIFY(m_dialog->WasSaved());
    const std::vector<SaveFailure> failures = m_dialog->GetFailures();
    QCOMPARE(failures.size(), std::size_t(2));
    QCOMPARE(failures[0].FileName, std::string("ro2.mp3")); // last processed first
    QCOMPARE(failures[1].FileName, std::string("ro1.mp3"));
    const std::vector<FileRow>& after = m_dialog->GetRows();
    QCOMPARE(after[0].Fields.Album, std::string("Shared Album"));
    QCOMPARE(after[1].Fields.Album, std::string("ro1 album"));
    QCOMPARE(after[2].Fields.Album, std::string("ro2 album"));
    QCOMPARE(LoadId3v2(m_dir->File("ok1.mp3")).Fields.Album, std::string("Shared Album"));
    QCOMPARE(LoadId3v2(m_dir->File("ro1.mp3")).Fields.Album, std::string("ro1 album"));
    // The ID3v1 step runs after the failed ID3v2 save, from the row's old cells.
    QVERIFY(LoadId3v1(m_dir->File("ro1.mp3")).Present);
}

void FormInfoTest::PastedControlCharactersNeverReachTheTag()
{
    const FileRow row = MakeFile(*m_dir, {"p.mp3", true, true, Fields("p")}, 0);
    SetUpSingle(row);
    RunModal([&] {
        auto* title = Find<QLineEdit>("edTitle");
        title->clear();
        title->insert(QStringLiteral("a\tb\x1B"));
        QCOMPARE(title->text(), QStringLiteral("a b"));
        auto* genre = Find<QComboBox>("cbGenre");
        genre->clearEditText();
        genre->lineEdit()->insert(QStringLiteral("x\ty"));
        QCOMPARE(genre->currentText(), QStringLiteral("x y"));
        auto* comment = Find<QPlainTextEdit>("edComment");
        comment->clear();
        comment->insertPlainText(QStringLiteral("one\ttwo\nthree"));
        QCOMPARE(comment->toPlainText(), QStringLiteral("one two\nthree"));
        QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QVERIFY(m_dialog->GetFailures().empty());
    const Id3v2OnDisk saved = LoadId3v2(m_dir->File("p.mp3"));
    QCOMPARE(saved.Fields.Title, std::string("a b"));
    QCOMPARE(saved.Fields.Comment, std::string("one two\nthree"));
}

void FormInfoTest::UnreadableTagIsReplacedOnlyWhenTheUserAgrees()
{
    // The third frame runs past the tag's end: the title and the track number
    // before it can be read.
    const std::string path = m_dir->File("bad.mp3");
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "Old")
                 .TextFrame("TRCK", "7")
                 .Frame("TALB", Latin1Text("x"), 0, 0, {}, 4000)
                 .Build())
        .Audio(kAudioFrames)
        .WriteTo(path);
    const Bytes before = ReadFile(path);
    FileRow row;
    row.FileName = "bad.mp3";
    std::string asked;
    bool agree = false;
    m_dialog->SetRepairQuestion([&](QWidget*, const std::string& name, const UnreadableTag& tag) {
        asked = RepairQuestionText(name, tag);
        return agree;
    });
    const auto saveTitle = [&] {
        SetUpSingle(row);
        RunModal([&] {
            Find<QLineEdit>("edTitle")->setText(QStringLiteral("New"));
            QTest::mouseClick(Find<QPushButton>("btUpdate"), Qt::LeftButton);
        });
    };

    saveTitle();
    QVERIFY2(asked.find("2 frame(s) that could be read (TIT2, TRCK)") != std::string::npos,
             asked.c_str());
    const std::vector<SaveFailure> refused = m_dialog->GetFailures();
    QCOMPARE(refused.size(), std::size_t(1));
    QCOMPARE(refused[0].Status.Error().Value(), status::kUnreadableTag.Value());
    QVERIFY(ReadFile(path) == before);

    agree = true;
    saveTitle();
    QVERIFY(m_dialog->GetFailures().empty());
    const Id3v2OnDisk repaired = LoadId3v2(path);
    QCOMPARE(repaired.Status.Error().Value(), status::kOk.Value());
    QCOMPARE(repaired.Fields.Title, std::string("New"));
    QCOMPARE(repaired.Track, std::string("7"));
    QVERIFY(EndsWithAudio(path, false));
    QCOMPARE(m_dialog->GetRows().at(0).Fields.Title, std::string("New"));
}

void FormInfoTest::FieldsThatDifferAcrossTheFilesAreMarkedWithTheCount()
{
    std::vector<FileRow> rows(3);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].FileName = "f" + std::to_string(i) + ".mp3";
        rows[i].Fields = Fields("same");
    }
    rows[1].Fields.Artist = "Other artist";
    rows[2].Fields.Track = "2";
    rows[0].Fields.Genre = "(17)";
    rows[1].Fields.Genre = "17";
    const auto differs = [this](const char* field) {
        return Find<QLabel>((std::string("lbDiffers") + field).c_str());
    };
    const char* const fields[] = {"Title",   "Artist", "Album", "Year",       "Genre",
                                  "Comment", "Track",  "Disc",  "AlbumArtist"};
    const auto marked = [&](const char* field) {
        return differs(field)->isVisibleTo(m_dialog.get());
    };

    const int plainWidth = m_dialog->width();
    SetUpMultiple(rows);
    RunModal([&] {
        QCOMPARE(differs("Artist")->text(), QStringLiteral("differs in 1 of 3 files"));
        QVERIFY2(differs("Artist")->isVisible(), "shown next to the artist");
        QVERIFY2(m_dialog->width() >= plainWidth + differs("Artist")->sizeHint().width(),
                 "the dialog grows by the marks instead of narrowing the fields");
        QCOMPARE(differs("Track")->text(), QStringLiteral("differs in 1 of 3 files"));
        QCOMPARE(differs("Genre")->text(), QStringLiteral("differs in 2 of 3 files"));
        for (const char* field : {"Title", "Album", "Year", "Comment", "Disc", "AlbumArtist"}) {
            QVERIFY2(!marked(field), field);
        }
    });

    // Shown as names, "(17)", "17" and "Rock" are the same genre.
    m_dialog->SetGenreNames(true);
    SetUpMultiple(rows);
    QVERIFY(!marked("Genre"));
    QVERIFY(marked("Artist"));

    // One file: no marks, and the dialog is back to its width.
    SetUpSingle(rows[1]);
    for (const char* field : fields) {
        QVERIFY2(!marked(field), field);
    }
    QCOMPARE(m_dialog->width(), plainWidth);
}

void FormInfoTest::TabReachesTrackDiscAndAlbumArtistAfterTheComment()
{
    // The object names that Tab walks through from `start`.
    const auto walk = [this](const char* start, int steps) {
        Find<QWidget>(start)->setFocus(Qt::OtherFocusReason);
        QStringList walked;
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // A line edit inside a combo box stands for its box.
            if (qobject_cast<QComboBox*>(focus->parentWidget()) != nullptr) {
                focus = focus->parentWidget();
            }
            walked << focus->objectName();
        }
        return walked;
    };
    const FileRow row = MakeFile(*m_dir, {"t.mp3", true, false, Fields("t")}, 0);
    SetUpSingle(row);
    RunModal([&] {
        QCOMPARE(walk("edYear", 6), (QStringList{"cbGenre", "edComment", "edTrack", "edDisc",
                                                 "edAlbumArtist", "btUpdate"}));
    });
    // Several files: the fields wait for their boxes, which Tab walks alone,
    // the cover's last.
    SetUpMultiple({row, row});
    RunModal([&] {
        QCOMPARE(walk("chkbGenre", 6), (QStringList{"chkbComment", "chkbTrack", "chkbDisc",
                                                    "chkbAlbumArtist", "chkbCover", "Button2"}));
    });
}

QTEST_MAIN(FormInfoTest)
#include "FormInfoTest.moc"
