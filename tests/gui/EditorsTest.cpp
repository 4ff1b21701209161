// The two editors inside the main window: the properties view under the
// table, saved when the selection is about to move, and the tag editor opened
// from the table. Files are built byte by byte and checked on disk with the
// engine after each save.

#include "Mp3Mng.h"
#include "StatusWord.h"
#include "TContentView.h"
#include "TFormInfo.h"
#include "TagFieldTable.h"
#include "Tid3v2tag.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

TagFields Fields(const std::string& stem)
{
    return {stem + " title", stem + " artist", stem + " album", "2001", "Jazz", stem + " comment"};
}

void WriteFile(const TempDir& dir, const std::string& name, bool withId3v2, bool withId3v1,
               const TagFields& fields)
{
    Mp3Builder builder;
    if (withId3v2) {
        builder.Tag(Id3v2Builder()
                        .Version(3)
                        .TextFrame("TIT2", fields.Title)
                        .TextFrame("TPE1", fields.Artist)
                        .TextFrame("TALB", fields.Album)
                        .TextFrame("TYER", fields.Year)
                        .TextFrame("TCON", fields.Genre)
                        .Frame("COMM", Latin1Comment("ENG", "", fields.Comment))
                        .Build());
    }
    builder.Audio(2);
    if (withId3v1) {
        Id3v1Fields v1;
        v1.Title = fields.Title;
        v1.Artist = fields.Artist;
        v1.Album = fields.Album;
        v1.Year = fields.Year;
        v1.Comment = fields.Comment;
        v1.Genre = 8;
        builder.Id3v1(v1);
    }
    builder.WriteTo(dir.File(name));
}

std::string Id3v2Text(const std::string& path, const char* frame)
{
    Tid3v2tag tag;
    if (!status::IsSuccess(tag.LoadFromFile(path, 0))) {
        return "<no tag>";
    }
    std::string text;
    tag.GetTextFrame(frame, text);
    return text;
}

bool HasId3v1(const std::string& path)
{
    Mp3Mng mng;
    mng.Open(path);
    return mng.ReadTag() == mp3status::kOk && mng.HasTag();
}

std::string Id3v1Title(const std::string& path)
{
    Mp3Mng mng;
    mng.Open(path);
    mng.ReadTag();
    std::string title;
    mng.GetTitle(title);
    return title;
}

// A frame's bytes, header and body, as the version 3 tag of the file holds
// them; empty when the ID is not there.
Bytes FrameBytes(const std::string& path, const std::string& id)
{
    const Bytes file = ReadFile(path);
    const auto at = std::search(file.begin(), file.end(), id.begin(), id.end());
    if (file.end() - at < 10) {
        return {};
    }
    std::size_t size = 0;
    for (int i = 4; i < 8; ++i) {
        size = size << 8 | at[i];
    }
    const auto end = at + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                              10 + size, static_cast<std::size_t>(file.end() - at)));
    return Bytes(at, end);
}

} // namespace

class EditorsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void SelectingOneRowFillsTheFieldsAndSeveralDisableThem();
    void EditThenClickOnAnotherRowSavesAndKeepsTheSelection();
    void EditThenDownArrowSavesAndTheNextDownMovesOneRow();
    void EditThenSelectAllSavesAndIsRefused();
    void ContentPageShownTwiceFillsTheGenreBoxOnce();
    void FailedContentSaveIsLoggedAndTheRowKeepsItsCells();
    void SingleFileDialogSaveUpdatesRowAndPropertiesView();
    void MultiFileDialogSaveRewritesTheChangedCells();
    void FailedDialogSaveAddsALogRow();
    void RebuildWithPendingEditSavesItFirst();
    void SortingKeepsAPendingEdit();
    void OpeningTheEditorSavesAPendingEditFirst();
    void ContentTrackIsSavedUnlessInvalid_data();
    void ContentTrackIsSavedUnlessInvalid();
    void MultiFileDialogWritesOnlyTheTickedNewField_data();
    void MultiFileDialogWritesOnlyTheTickedNewField();
    void GenreShownAsNameIsNotWrittenWhenOtherFieldsAreSaved();

private:
    TListViewSort& Table() { return FileTableOf(*m_window); }
    TContentView& ContentView() { return *Find<TContentView>(*m_window, "TsContent"); }
    TFormInfo& EditorDialog() { return *Find<TFormInfo>(*m_window, "FormInfo"); }
    QWidget& SaveContentButton() { return *Find<QWidget>(*m_window, "clsSpbSaveContent"); }
    template <typename T> T* Content(const char* name) { return Find<T>(ContentView(), name); }
    template <typename T> T* Dialog(const char* name) { return Find<T>(EditorDialog(), name); }
    QString Cell(int row, int column) { return Table().Rows().Cell(row, column); }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {});
    // Opens the tag editor through the Command menu and runs `whileShown` in it.
    void RunEditor(const std::function<void()>& whileShown);
    void OpenFolder(const TempDir& dir);
    std::vector<int> Selected() { return Table().SelectedRows(); }

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<TFormMain> m_window;
};

void EditorsTest::init()
{
    m_settings = std::make_unique<TestSettings>();
    m_dir = std::make_unique<TempDir>();
    WriteFile(*m_dir, "a.mp3", true, false, Fields("a")); // TagKind 1
    WriteFile(*m_dir, "b.mp3", true, true, Fields("b"));  // TagKind 3
    WriteFile(*m_dir, "c.mp3", false, true, Fields("c")); // TagKind 2
    m_window = OpenWindowOn(NativeFolder(*m_dir));
    QCOMPARE(Table().Rows().RowCount(), 3);
}

void EditorsTest::cleanup()
{
    m_window.reset();
    m_dir.reset();
    m_settings.reset();
}

void EditorsTest::OpenFolder(const TempDir& dir)
{
    ShowFolderAndWait(*m_window, NativeFolder(dir));
}

void EditorsTest::ClickRow(int row, Qt::KeyboardModifiers modifiers)
{
    const QRect cell = Table().visualRect(Table().model()->index(row, filetable::kTitle));
    QTest::mouseClick(Table().viewport(), Qt::LeftButton, modifiers, cell.center());
}

void EditorsTest::RunEditor(const std::function<void()>& whileShown)
{
    bool ran = false;
    QTimer::singleShot(0, m_window.get(), [&] {
        ran = true;
        TFormInfo& dialog = EditorDialog();
        QVERIFY(dialog.isVisible());
        whileShown();
        if (dialog.isVisible()) {
            dialog.reject();
        }
    });
    Action(*m_window, "ModifyAction").trigger();
    QVERIFY2(ran, "the tag editor did not open");
}

void EditorsTest::SelectingOneRowFillsTheFieldsAndSeveralDisableThem()
{
    // Typing with no row selected does not mark an edit.
    TypeInto(Content<QLineEdit>("edYear"), QStringLiteral("1"));
    QVERIFY(!SaveContentButton().isEnabled());

    ClickRow(1);
    QCOMPARE(Content<QLineEdit>("edTitle")->text(), QStringLiteral("b title"));
    QCOMPARE(Content<QLineEdit>("EdArtist")->text(), QStringLiteral("b artist"));
    QCOMPARE(Content<QComboBox>("cbGenreContent")->currentText(), QStringLiteral("Jazz"));
    QCOMPARE(Content<QPlainTextEdit>("edComment")->toPlainText(), QStringLiteral("b comment"));
    QVERIFY(Content<QLineEdit>("edTitle")->isEnabled());
    QVERIFY(!SaveContentButton().isEnabled());
    QVERIFY(SaveContentButton().isHidden());

    ClickRow(2, Qt::ControlModifier);
    QCOMPARE(Selected(), (std::vector<int>{1, 2}));
    QVERIFY(!Content<QLineEdit>("edTitle")->isEnabled());
    QVERIFY(!Content<QPlainTextEdit>("edComment")->isEnabled());
    QCOMPARE(Content<QLineEdit>("edTitle")->text(), QStringLiteral("b title"));
}

void EditorsTest::EditThenClickOnAnotherRowSavesAndKeepsTheSelection()
{
    ClickRow(0);
    TypeInto(Content<QLineEdit>("edTitle"), QStringLiteral("New Title"));
    QVERIFY(SaveContentButton().isEnabled());

    ClickRow(2);
    QCOMPARE(Selected(), std::vector<int>{0});
    QCOMPARE(Table().currentIndex().row(), 0);
    QVERIFY(!SaveContentButton().isEnabled());
    const std::string path = m_dir->File("a.mp3");
    QCOMPARE(Id3v2Text(path, "TIT2"), std::string("New Title"));
    QCOMPARE(Id3v2Text(path, "TPE1"), std::string("a artist"));
    QVERIFY2(!HasId3v1(path), "an ID3v1 tag was created");
    QCOMPARE(Cell(0, filetable::kTitle), QStringLiteral("New Title"));
    QCOMPARE(Cell(0, filetable::kTagKind), QStringLiteral("1"));

    ClickRow(2);
    QCOMPARE(Selected(), std::vector<int>{2});
    QCOMPARE(Content<QLineEdit>("edTitle")->text(), QStringLiteral("c title"));
}

void EditorsTest::EditThenDownArrowSavesAndTheNextDownMovesOneRow()
{
    ClickRow(1);
    // An ID3v1 file whose genre is typed as a list name with blanks around it.
    Content<QComboBox>("cbGenreContent")->setFocus();
    Content<QComboBox>("cbGenreContent")->setEditText(QString());
    QTest::keyClicks(Content<QComboBox>("cbGenreContent"), QStringLiteral(" hip-HOP "));
    QVERIFY(SaveContentButton().isEnabled());

    Table().setFocus();
    QTest::keyClick(&Table(), Qt::Key_Down);
    QCOMPARE(Selected(), std::vector<int>{1});
    QCOMPARE(Table().currentIndex().row(), 1);
    const std::string path = m_dir->File("b.mp3");
    QCOMPARE(Id3v2Text(path, "TCON"), std::string("hip-HOP")); // stored trimmed
    Mp3Mng mng;
    mng.Open(path);
    QCOMPARE(mng.ReadTag(), mp3status::kOk);
    QCOMPARE(int(mng.GetGenre()), 7);
    QCOMPARE(Cell(1, filetable::kGenre), QStringLiteral("hip-HOP"));
    QCOMPARE(Cell(1, filetable::kTagKind), QStringLiteral("3"));

    QTest::keyClick(&Table(), Qt::Key_Down);
    QCOMPARE(Selected(), std::vector<int>{2});
}

void EditorsTest::EditThenSelectAllSavesAndIsRefused()
{
    ClickRow(2);
    TypeInto(Content<QLineEdit>("EdArtist"), QStringLiteral("Only v1"));
    Table().setFocus();
    QTest::keySequence(&Table(), QKeySequence::SelectAll);
    QCOMPARE(Selected(), std::vector<int>{2});
    const std::string path = m_dir->File("c.mp3");
    Mp3Mng mng;
    mng.Open(path);
    mng.ReadTag();
    std::string artist;
    mng.GetArtist(artist);
    QCOMPARE(artist, std::string("Only v1"));
    // The ID3v1-only file also gets an ID3v2 tag; its TagKind cell stays 2.
    QCOMPARE(Id3v2Text(path, "TPE1"), std::string("Only v1"));
    QCOMPARE(Id3v2Text(path, "TIT2"), std::string("c title"));
    QCOMPARE(Cell(2, filetable::kTagKind), QStringLiteral("2"));

    QTest::keySequence(&Table(), QKeySequence::SelectAll);
    QCOMPARE(Selected(), (std::vector<int>{0, 1, 2}));
}

void EditorsTest::ContentPageShownTwiceFillsTheGenreBoxOnce()
{
    TFormMain hidden;
    QCOMPARE(Find<QComboBox>(hidden, "cbGenreContent")->count(), 1);

    auto* genre = Content<QComboBox>("cbGenreContent");
    QCOMPARE(genre->count(), 126);
    QCOMPARE(genre->itemText(0), QStringLiteral("A Capela"));
    genre->addItem(QStringLiteral("Zz marker"));
    genre->setEditText(QStringLiteral("typed"));
    auto* pages = Find<QTabWidget>(*m_window, "PageControl");
    pages->setCurrentWidget(Find<QWidget>(*pages, "TsLogView"));
    pages->setCurrentWidget(&ContentView());
    QVERIFY(ContentView().isVisible());
    QCOMPARE(genre->count(), 127);
    QCOMPARE(genre->currentText(), QStringLiteral("typed"));
}

void EditorsTest::FailedContentSaveIsLoggedAndTheRowKeepsItsCells()
{
    const std::string path = m_dir->File("b.mp3");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    ClickRow(1);
    TypeInto(Content<QLineEdit>("edTitle"), QStringLiteral("Locked"));
    ClickRow(0);
    QCOMPARE(Selected(), std::vector<int>{1});
    QCOMPARE(LogViewOf(*m_window).Rows().RowCount(), 1);
    QCOMPARE(Cell(1, filetable::kTitle), QStringLiteral("b title"));
    QCOMPARE(Id3v2Text(path, "TIT2"), std::string("b title"));
    // A refused file keeps its ID3v1 tag as well.
    QCOMPARE(Id3v1Title(path), std::string("b title"));
}

void EditorsTest::SingleFileDialogSaveUpdatesRowAndPropertiesView()
{
    ClickRow(1);
    RunEditor([&] {
        QCOMPARE(Dialog<QLineEdit>("edFileName")->text(),
                 QString::fromStdString(m_dir->File("b.mp3")));
        Dialog<QLineEdit>("edTitle")->setText(QStringLiteral("From Dialog"));
        Dialog<QComboBox>("cbGenre")->setEditText(QStringLiteral(" rock "));
        QTest::mouseClick(Dialog<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QCOMPARE(Cell(1, filetable::kTitle), QStringLiteral("From Dialog"));
    QCOMPARE(Cell(1, filetable::kGenre), QStringLiteral("rock"));
    QCOMPARE(Content<QLineEdit>("edTitle")->text(), QStringLiteral("From Dialog"));
    QVERIFY(!SaveContentButton().isEnabled());
    QCOMPARE(LogViewOf(*m_window).Rows().RowCount(), 0);
    QCOMPARE(Id3v2Text(m_dir->File("b.mp3"), "TIT2"), std::string("From Dialog"));
    QCOMPARE(Id3v1Title(m_dir->File("b.mp3")), std::string("From Dialog"));

    // Enter opens the editor too; Close leaves row and file alone.
    const Bytes before = ReadFile(m_dir->File("b.mp3"));
    bool ran = false;
    QTimer::singleShot(0, m_window.get(), [&] {
        ran = true;
        Dialog<QLineEdit>("edTitle")->setText(QStringLiteral("not kept"));
        QTest::mouseClick(Dialog<QPushButton>("Button2"), Qt::LeftButton);
    });
    Table().setFocus();
    QTest::keyClick(&Table(), Qt::Key_Return);
    QVERIFY(ran);
    QCOMPARE(Cell(1, filetable::kTitle), QStringLiteral("From Dialog"));
    QVERIFY(ReadFile(m_dir->File("b.mp3")) == before);
}

void EditorsTest::MultiFileDialogSaveRewritesTheChangedCells()
{
    ClickRow(0);
    ClickRow(2, Qt::ShiftModifier);
    QCOMPARE(Selected(), (std::vector<int>{0, 1, 2}));
    RunEditor([&] {
        QCOMPARE(Dialog<QLineEdit>("edFileName")->text(), QStringLiteral("3 Files Seleted."));
        QTest::mouseClick(Dialog<QCheckBox>("chkbAlbum"), Qt::LeftButton);
        Dialog<QLineEdit>("edAlbum")->setText(QStringLiteral("Together"));
        QTest::mouseClick(Dialog<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(Cell(row, filetable::kAlbum), QStringLiteral("Together"));
    }
    QCOMPARE(Cell(0, filetable::kTitle), QStringLiteral("a title"));
    QCOMPARE(Id3v2Text(m_dir->File("c.mp3"), "TALB"), std::string("Together"));
    QCOMPARE(Id3v2Text(m_dir->File("c.mp3"), "TIT2"), std::string("c title"));
    QVERIFY(!HasId3v1(m_dir->File("a.mp3")));
}

void EditorsTest::FailedDialogSaveAddsALogRow()
{
    std::filesystem::permissions(m_dir->File("a.mp3"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    ClickRow(0);
    RunEditor([&] {
        Dialog<QLineEdit>("edTitle")->setText(QStringLiteral("Refused"));
        QTest::mouseClick(Dialog<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QCOMPARE(LogViewOf(*m_window).Rows().RowCount(), 1);
    QCOMPARE(Cell(0, filetable::kTitle), QStringLiteral("a title"));
    QCOMPARE(Content<QLineEdit>("edTitle")->text(), QStringLiteral("a title"));
    QCOMPARE(Id3v2Text(m_dir->File("a.mp3"), "TIT2"), std::string("a title"));
}

void EditorsTest::RebuildWithPendingEditSavesItFirst()
{
    TempDir other;
    WriteFile(other, "x.mp3", true, false, Fields("x"));
    WriteFile(other, "y.mp3", true, false, Fields("y"));
    ClickRow(0);
    TypeInto(Content<QLineEdit>("edAlbum"), QStringLiteral("Kept"));

    OpenFolder(other);
    QCOMPARE(Table().Rows().RowCount(), 2);
    QCOMPARE(Id3v2Text(m_dir->File("a.mp3"), "TALB"), std::string("Kept"));
    QVERIFY(!SaveContentButton().isEnabled());
    // Nothing in the new table is refused, and nothing is written there.
    const Bytes before = ReadFile(other.File("x.mp3"));
    ClickRow(1);
    QCOMPARE(Selected(), std::vector<int>{1});
    ClickRow(0);
    QCOMPARE(Selected(), std::vector<int>{0});
    QVERIFY(ReadFile(other.File("x.mp3")) == before);
}

void EditorsTest::SortingKeepsAPendingEdit()
{
    ClickRow(0);
    TypeInto(Content<QLineEdit>("edTitle"), QStringLiteral("Still typing"));
    // A sort moves the rows but changes no selection: the edit stays pending
    // on the same file and is saved by the next selection attempt.
    Table().SortByColumn(filetable::kFileName); // descending: c, b, a
    const std::vector<int> selected = Selected();
    QCOMPARE(selected, std::vector<int>{2});
    QCOMPARE(Cell(selected.front(), filetable::kFileName), QStringLiteral("a.mp3"));
    QCOMPARE(Content<QLineEdit>("edTitle")->text(), QStringLiteral("Still typing"));
    QVERIFY(SaveContentButton().isEnabled());

    ClickRow(0);
    QCOMPARE(Selected(), selected);
    QCOMPARE(Id3v2Text(m_dir->File("a.mp3"), "TIT2"), std::string("Still typing"));
    QCOMPARE(Cell(selected.front(), filetable::kTitle), QStringLiteral("Still typing"));
}

void EditorsTest::OpeningTheEditorSavesAPendingEditFirst()
{
    ClickRow(1);
    TypeInto(Content<QLineEdit>("edAlbum"), QStringLiteral("Typed Album"));
    QString shown;
    RunEditor([&] { shown = Dialog<QLineEdit>("edAlbum")->text(); });
    QCOMPARE(shown, QStringLiteral("Typed Album"));
    QCOMPARE(Id3v2Text(m_dir->File("b.mp3"), "TALB"), std::string("Typed Album"));
    QVERIFY(!SaveContentButton().isEnabled());
}

void EditorsTest::ContentTrackIsSavedUnlessInvalid_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::newRow("number and total") << QStringLiteral("7/12") << true;
    QTest::newRow("zero") << QStringLiteral("0") << false;
    QTest::newRow("letters") << QStringLiteral("abc") << false;
}

void EditorsTest::ContentTrackIsSavedUnlessInvalid()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    const std::string path = m_dir->File("b.mp3");
    const Bytes before = ReadFile(path);
    ClickRow(1);
    TypeInto(Content<QLineEdit>("edTrack"), typed);
    QVERIFY(SaveContentButton().isEnabled());
    Action(*m_window, "SaveContentAction").trigger(); // Ctrl+S

    TagFields expected = Fields("b");
    if (valid) {
        expected.Track = typed.toStdString();
        QCOMPARE(Cell(1, filetable::kTrack), typed);
        QVERIFY(!SaveContentButton().isEnabled());
    } else {
        QVERIFY2(ReadFile(path) == before, "a refused track changed the file");
        const QString status = StatusText(*m_window);
        QVERIFY2(status.contains(QStringLiteral("Track \"%1\"").arg(typed)), qPrintable(status));
        QVERIFY(Content<QLineEdit>("edTrack")->property("unsaved").toBool());
        QVERIFY(!Content<QLineEdit>("edTitle")->property("unsaved").toBool());
        QCOMPARE(Cell(1, filetable::kTrack), QString());
    }
    QCOMPARE(ReadBack(*m_dir, "b.mp3").Fields, expected);
}

void EditorsTest::MultiFileDialogWritesOnlyTheTickedNewField_data()
{
    // The field's place in kMoreTagFields, its edit, its box and the value typed.
    QTest::addColumn<int>("at");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::newRow("track") << 0 << "edTrack"
                           << "chkbTrack"
                           << "5";
    QTest::newRow("disc") << 1 << "edDisc"
                          << "chkbDisc"
                          << "2/3";
    QTest::newRow("album artist") << 2 << "edAlbumArtist"
                                  << "chkbAlbumArtist"
                                  << "Various";
}

void EditorsTest::MultiFileDialogWritesOnlyTheTickedNewField()
{
    QFETCH(int, at);
    QFETCH(QString, edit);
    QFETCH(QString, box);
    QFETCH(QString, value);
    const TagFieldInfo& field = kMoreTagFields.at(static_cast<std::size_t>(at));
    const std::vector<std::string> names{"a.mp3", "b.mp3", "c.mp3"};
    std::vector<TagFields> expected;
    for (const std::string& name : names) {
        TagFields fields = ReadBack(*m_dir, name).Fields;
        fields.*field.Member = value.toStdString();
        expected.push_back(std::move(fields));
    }
    ClickRow(0);
    ClickRow(2, Qt::ShiftModifier);
    RunEditor([&] {
        auto* line = Dialog<QLineEdit>(edit.toLatin1().constData());
        QVERIFY(!line->isEnabled());
        QTest::mouseClick(Dialog<QCheckBox>(box.toLatin1().constData()), Qt::LeftButton);
        QVERIFY(line->isEnabled());
        line->setText(value);
        QTest::mouseClick(Dialog<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    for (std::size_t i = 0; i < names.size(); ++i) {
        QCOMPARE(Cell(static_cast<int>(i), filetable::kTrack + at), value);
        QCOMPARE(ReadBack(*m_dir, names[i]).Fields, expected[i]);
    }
    QVERIFY2(!HasId3v1(m_dir->File("a.mp3")), "an ID3v1 tag was created");
}

void EditorsTest::GenreShownAsNameIsNotWrittenWhenOtherFieldsAreSaved()
{
    TempDir dir;
    const std::string path = dir.File("r.mp3");
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "t").TextFrame("TCON", "(17)").Build())
        .Audio(2)
        .WriteTo(path);
    const Bytes genre = FrameBytes(path, "TCON");
    QVERIFY(!genre.empty());
    OpenFolder(dir);
    QAction& option = Action(*m_window, "GenreNamesAction");
    option.trigger();
    QCOMPARE(Cell(0, filetable::kGenre), QStringLiteral("Rock"));
    ClickRow(0);
    auto* box = Content<QComboBox>("cbGenreContent");
    QCOMPARE(box->currentText(), QStringLiteral("Rock"));
    // Turning the option over with the row shown is no edit.
    option.trigger();
    QCOMPARE(box->currentText(), QStringLiteral("(17)"));
    option.trigger();
    QCOMPARE(box->currentText(), QStringLiteral("Rock"));
    QVERIFY(!SaveContentButton().isEnabled());

    TypeInto(Content<QLineEdit>("edTitle"), QStringLiteral("typed"));
    m_window->SaveContentNow();
    QCOMPARE(Id3v2Text(path, "TIT2"), std::string("typed"));
    QVERIFY2(FrameBytes(path, "TCON") == genre, "the Content page rewrote the genre");
    QCOMPARE(m_window->FileRowAt(0).Fields.Genre, std::string("(17)"));

    RunEditor([&] {
        QCOMPARE(Dialog<QComboBox>("cbGenre")->currentText(), QStringLiteral("Rock"));
        Dialog<QLineEdit>("edTitle")->setText(QStringLiteral("from dialog"));
        QTest::mouseClick(Dialog<QPushButton>("btUpdate"), Qt::LeftButton);
    });
    QCOMPARE(Id3v2Text(path, "TIT2"), std::string("from dialog"));
    QVERIFY2(FrameBytes(path, "TCON") == genre, "the tag editor rewrote the genre");
    QCOMPARE(Cell(0, filetable::kGenre), QStringLiteral("Rock"));

    // A name typed over the shown one is written as typed.
    ClickRow(0);
    box->setEditText(QString());
    TypeInto(box, QStringLiteral("Jazz"));
    m_window->SaveContentNow();
    QCOMPARE(Id3v2Text(path, "TCON"), std::string("Jazz"));
}

QTEST_MAIN(EditorsTest)
#include "EditorsTest.moc"
