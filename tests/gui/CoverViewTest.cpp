// The cover on the Content page and in the tag editor: only the selected
// file's cover is shown, never one of a file selected before; a picture set,
// pasted or removed is saved with the page's edit and keeps the file's other
// pictures; a file that is no picture is refused; the editor's cover box
// changes every selected file.

#include "Cover.h"
#include "TCoverView.h"
#include "Tid3v2tag.h"
#include "WindowTestSupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <fstream>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

constexpr int kFileName = 2;

void WriteWithPictures(const TempDir& dir, const std::string& name,
                       const std::vector<Bytes>& apicFrames)
{
    Id3v2Builder tag;
    tag.Version(3).TextFrame("TIT2", name);
    for (const Bytes& apic : apicFrames) {
        tag.Frame("APIC", apic);
    }
    tag.Padding(64);
    Mp3Builder().Tag(tag.Build()).Audio(2).WriteTo(dir.File(name));
}

// The file's pictures as a fresh load of the disk finds them.
std::vector<AttachedPicture> PicturesOnDisk(const TempDir& dir, const std::string& name)
{
    Tid3v2tag tag;
    tag.LoadFromFile(dir.File(name), 0);
    return ListPictures(tag, true);
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

int RowOf(const TListViewSort& table, const char* name)
{
    for (int row = 0; row < table.Rows().RowCount(); ++row) {
        if (table.Rows().Cell(row, kFileName) == QLatin1String(name)) {
            return row;
        }
    }
    qFatal("no row %s", name);
}

} // namespace

class CoverViewTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<TFormMain> m_window;
    QString m_pictureAnswer;

    TCoverView& Cover() { return *Find<TCoverView>(*m_window, "CoverView"); }

    // Selects the row of `name` and waits until its cover is on screen.
    void SelectAndWait(const char* name)
    {
        TListViewSort& table = FileTableOf(*m_window);
        table.SelectRows({RowOf(table, name)});
        QVERIFY(QTest::qWaitFor([&] { return !Cover().IsReading(); }, 5000));
    }

    void Open()
    {
        WindowHooks hooks;
        hooks.OpenPicture = [this](QWidget*, const QString&) { return m_pictureAnswer; };
        hooks.SavePicture = [this](QWidget*, const QString&) { return m_pictureAnswer; };
        m_window = OpenWindowOn(NativeFolder(*m_dir), std::move(hooks));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        m_dir = std::make_unique<TempDir>();
        WriteWithPictures(*m_dir, "a.mp3", {Apic("image/png", 3, "front", TinyPng())});
        WriteWithPictures(*m_dir, "b.mp3", {});
        WriteWithPictures(*m_dir, "c.mp3",
                          {Apic("image/jpeg", 0, "other", TinyJpeg()),
                           Apic("image/jpeg", 4, "leaflet", TinyJpeg())});
        WriteBytes(m_dir->File("new.png"), TinyPng());
        WriteBytes(m_dir->File("text.jpg"), ToBytes("not a picture at all"));
    }

    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
    }

    void OnlyTheSelectedFilesCoverIsShown()
    {
        Open();
        SelectAndWait("a.mp3");
        QVERIFY2(Cover().HasThumbnail(), qPrintable(Cover().Caption()));
        QVERIFY2(Cover().Caption().startsWith(QStringLiteral("2 \u00D7 3 PNG")),
                 qPrintable(Cover().Caption()));

        // Moving on at once: the answer for a.mp3 may still be under way and
        // must not land on b.mp3.
        TListViewSort& table = FileTableOf(*m_window);
        table.SelectRows({RowOf(table, "c.mp3")});
        table.SelectRows({RowOf(table, "b.mp3")});
        QVERIFY(QTest::qWaitFor([&] { return !Cover().IsReading(); }, 5000));
        QTest::qWait(50);
        QVERIFY(!Cover().HasThumbnail());
        QCOMPARE(Cover().Caption(), QStringLiteral("No cover"));

        // Without a front cover, the first picture stands for it, and "Save
        // as" writes its bytes out.
        SelectAndWait("c.mp3");
        QVERIFY2(Cover().Caption().contains(QStringLiteral("JPEG")), qPrintable(Cover().Caption()));
        m_pictureAnswer = QString::fromStdString(m_dir->File("out.jpg"));
        QTest::mouseClick(Find<QToolButton>(*m_window, "btCoverSave"), Qt::LeftButton);
        QTRY_VERIFY2(StatusText(*m_window).startsWith(QStringLiteral("Cover saved")),
                     qPrintable(StatusText(*m_window)));
        QCOMPARE(ReadFile(m_dir->File("out.jpg")), TinyJpeg());
    }

    void ASetCoverIsSavedWithTheEditAndOtherPicturesKeepTheirBytes()
    {
        Open();
        SelectAndWait("c.mp3");
        const std::vector<AttachedPicture> before = PicturesOnDisk(*m_dir, "c.mp3");
        m_pictureAnswer = QString::fromStdString(m_dir->File("new.png"));
        QSignalSpy edited(&Cover(), &TCoverView::CoverEdited);
        QTest::mouseClick(Find<QToolButton>(*m_window, "btCoverSet"), Qt::LeftButton);
        QVERIFY(edited.wait(5000));
        QTRY_VERIFY(Find<QWidget>(*m_window, "lbContentState")->isVisible());

        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);
        const std::vector<AttachedPicture> after = PicturesOnDisk(*m_dir, "c.mp3");
        QCOMPARE(after.size(), std::size_t{3});
        QCOMPARE(after[0].Data, before[0].Data);
        QCOMPARE(after[1].Data, before[1].Data);
        QCOMPARE(after[2].PictureType, picturetype::kFrontCover);
        QCOMPARE(after[2].Mime, std::string("image/png"));
        QCOMPARE(after[2].Data, TinyPng());
        QCOMPARE(ReadBack(*m_dir, "c.mp3").Fields.Title, std::string("c.mp3"));
        QVERIFY(!Cover().HasPendingEdit());
    }

    void APastedPictureAndARemovalAreSavedToo()
    {
        Open();
        SelectAndWait("b.mp3");
        // Ctrl+V on the cover takes the picture the clipboard holds.
        auto* pasted = new QMimeData;
        const Bytes png = TinyPng();
        pasted->setData(QStringLiteral("image/png"),
                        QByteArray(reinterpret_cast<const char*>(png.data()),
                                   static_cast<qsizetype>(png.size())));
        QApplication::clipboard()->setMimeData(pasted);
        QSignalSpy edited(&Cover(), &TCoverView::CoverEdited);
        QTest::keyClick(Find<QToolButton>(*m_window, "btCoverSet"), Qt::Key_V, Qt::ControlModifier);
        QVERIFY2(edited.wait(5000), qPrintable(StatusText(*m_window)));
        Find<QAction>(*m_window, "SaveContentAction")->trigger();
        QCOMPARE(PicturesOnDisk(*m_dir, "b.mp3").size(), std::size_t{1});

        SelectAndWait("a.mp3");
        QTest::mouseClick(Find<QToolButton>(*m_window, "btCoverRemove"), Qt::LeftButton);
        QVERIFY(!Cover().HasThumbnail());
        Find<QAction>(*m_window, "SaveContentAction")->trigger();
        QVERIFY(PicturesOnDisk(*m_dir, "a.mp3").empty());
        QCOMPARE(ReadBack(*m_dir, "a.mp3").Fields.Title, std::string("a.mp3"));
    }

    void AFileThatIsNoPictureIsRefusedAndNothingIsPending()
    {
        Open();
        SelectAndWait("a.mp3");
        const Bytes before = ReadFile(m_dir->File("a.mp3"));
        m_pictureAnswer = QString::fromStdString(m_dir->File("text.jpg"));
        QTest::mouseClick(Find<QToolButton>(*m_window, "btCoverSet"), Qt::LeftButton);
        QTRY_VERIFY2(StatusText(*m_window).contains(QStringLiteral("not a JPEG or PNG picture")),
                     qPrintable(StatusText(*m_window)));
        QVERIFY(!Cover().HasPendingEdit());
        QVERIFY(Cover().HasThumbnail());
        Find<QAction>(*m_window, "SaveContentAction")->trigger();
        QCOMPARE(ReadFile(m_dir->File("a.mp3")), before);
    }

    void TheEditorsCoverBoxGivesEveryFileThePicture()
    {
        Open();
        FileTableOf(*m_window).selectAll();
        m_pictureAnswer = QString::fromStdString(m_dir->File("new.png"));
        auto* dialog = Find<QDialog>(*m_window, "FormInfo");
        QTimer::singleShot(0, m_window.get(), [&] {
            QTest::mouseClick(Find<QCheckBox>(*dialog, "chkbCover"), Qt::LeftButton);
            QTest::mouseClick(Find<QPushButton>(*dialog, "btCoverChoose"), Qt::LeftButton);
            auto* save = Find<QPushButton>(*dialog, "btUpdate");
            QVERIFY(QTest::qWaitFor([&] { return save->isEnabled(); }, 5000));
            QTest::mouseClick(save, Qt::LeftButton);
        });
        Find<QAction>(*m_window, "ModifyAction")->trigger();

        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
            const std::vector<AttachedPicture> pictures = PicturesOnDisk(*m_dir, name);
            const auto front = std::find_if(pictures.begin(), pictures.end(), [](const auto& p) {
                return p.PictureType == picturetype::kFrontCover;
            });
            QVERIFY2(front != pictures.end() && front->Data == TinyPng(), name);
            QCOMPARE(ReadBack(*m_dir, name).Fields.Title, std::string(name));
        }
        QCOMPARE(PicturesOnDisk(*m_dir, "c.mp3").size(), std::size_t{3});
    }
};

QTEST_MAIN(CoverViewTest)
#include "CoverViewTest.moc"
