// The coupling of drive box, directory list, hidden file list and address box,
// with a stand-in for the window's table rebuild: CurrentFolder, the history
// entry and the listed names, exactly as the window keeps them.

#include "FolderNavigator.h"

#include "AddressHistory.h"
#include "Mp3Builder.h"
#include "TDirListBox.h"
#include "TDriveComboBox.h"
#include "TFileListBox.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>
#include <memory>

using namespace varnello;
using varnello::testsupport::TempDir;

namespace {

QString MakeFolder(const TempDir& dir, const char* relative, int mp3Files)
{
    const std::string path = dir.File(relative);
    std::filesystem::create_directories(path);
    for (int i = 0; i < mp3Files; ++i) {
        varnello::testsupport::Mp3Builder().Audio(1).WriteTo(path + "/track" + std::to_string(i) +
                                                             ".mp3");
    }
    return QString::fromStdString(path);
}

// The window around the navigator, reduced to what the navigator touches.
class Host : public QWidget
{
public:
    Host()
    {
        auto* layout = new QVBoxLayout(this);
        Bar = new QToolBar(this);
        Address = new QComboBox(Bar);
        Address->setObjectName(QStringLiteral("CbAddress"));
        Address->setEditable(true);
        Go = new QToolButton(Bar);
        Go->setObjectName(QStringLiteral("TbGoAddress"));
        Go->setText(QStringLiteral("Go"));
        Bar->addWidget(Address);
        Bar->addWidget(Go);
        Drives = new TDriveComboBox(this);
        Dirs = new TDirListBox(this);
        Files = new TFileListBox(this);
        layout->addWidget(Bar);
        layout->addWidget(Drives);
        layout->addWidget(Dirs);
        Navigator = new FolderNavigator({Drives, Dirs, Files, Address, Go}, this);
        Navigator->SetCurrentFolderGetter([this] { return CurrentFolder; });
        Navigator->SetErrorBox([this](const QString& text, const QString& caption) {
            Errors.append(caption + QStringLiteral(": ") + text);
        });
        Navigator->SetFolderPicker([this](const QString& title, const QString& start) {
            PickerCalls.append(title + QStringLiteral(" @ ") + start);
            return PickerAnswer;
        });
        connect(Files, &TFileListBox::Change, this, &Host::Rebuild);
    }

    // The table rebuild: a folder without MP3 files changes nothing.
    void Rebuild()
    {
        if (Files->count() == 0) {
            return;
        }
        CurrentFolder = Files->Directory();
        AddToHistory(*Address, CurrentFolder);
        Rows = Files->Names();
        ++Rebuilds;
    }

    void TypeAndEnter(const QString& text)
    {
        Address->setEditText(text);
        QTest::keyClick(Address->lineEdit(), Qt::Key_Return);
    }

    void ChooseFromHistory(const QString& entry)
    {
        const int index = Address->findText(entry);
        QVERIFY2(index >= 0, qPrintable(entry));
        Address->setCurrentIndex(index);
        emit Address->activated(index);
    }

    QToolBar* Bar;
    QComboBox* Address;
    QToolButton* Go;
    TDriveComboBox* Drives;
    TDirListBox* Dirs;
    TFileListBox* Files;
    FolderNavigator* Navigator;
    QString CurrentFolder;
    QStringList Rows;
    int Rebuilds = 0;
    QStringList Errors;
    QStringList PickerCalls;
    QString PickerAnswer;
};

} // namespace

class FolderNavigatorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void StartListsWorkingFolderAndShowsItInTheAddressBox();
    void EnterOnFolderOfOtherVolumeSwitchesEverything();
    void SameFolderTwiceIsAddedOnce();
    void FolderWithoutMp3MovesDirectoryListOnly();
    void ChoosingFolderWithoutMp3FromHistoryPutsAddressBack();
    void TypedNonFolderDoesNothing();
    void FolderAlreadyShownIsNotReRead();
    void OpenAsksPickerAndGoesToChosenFolder();
    void CancelledOpenReRunsGoWithAddressText();
    void UnreadableVolumeShowsErrorAndDriveBoxGoesBack();
    void TypedFolderOnUnreadableVolumeIsRefused();

private:
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<Host> m_host;
    QString m_startFolder;
    QString m_one; // two volumes, each a folder of the temporary directory
    QString m_two;
};

void FolderNavigatorTest::init()
{
    m_startFolder = QDir::currentPath();
    m_dir = std::make_unique<TempDir>();
    m_one = MakeFolder(*m_dir, "one", 0);
    m_two = MakeFolder(*m_dir, "two", 0);
    MakeFolder(*m_dir, "one/music", 2);
    MakeFolder(*m_dir, "one/empty", 0);
    MakeFolder(*m_dir, "two/rock", 3);
    m_host = std::make_unique<Host>();
    m_host->resize(400, 300);
    m_host->show();
    m_host->Navigator->SetVolumes({{m_one, QStringLiteral("one"), true}, {m_two, {}, true}});
    m_host->Navigator->Start(m_one + QStringLiteral("/music"));
}

void FolderNavigatorTest::cleanup()
{
    m_host.reset();
    QDir::setCurrent(m_startFolder);
    m_dir.reset();
}

void FolderNavigatorTest::StartListsWorkingFolderAndShowsItInTheAddressBox()
{
    const QString music = m_one + QStringLiteral("/music");
    QCOMPARE(m_host->CurrentFolder, music);
    QCOMPARE(m_host->Rows,
             (QStringList{QStringLiteral("track0.mp3"), QStringLiteral("track1.mp3")}));
    QCOMPARE(HistoryEntries(*m_host->Address), QStringList{music});
    QCOMPARE(m_host->Address->currentText(), music);
    QCOMPARE(m_host->Drives->Drive(), m_one);
    QCOMPARE(m_host->Dirs->Directory(), music);
}

void FolderNavigatorTest::EnterOnFolderOfOtherVolumeSwitchesEverything()
{
    const QString rock = m_two + QStringLiteral("/rock");
    m_host->TypeAndEnter(rock);
    QCOMPARE(m_host->Drives->Drive(), m_two);
    QCOMPARE(m_host->Dirs->Directory(), rock);
    QCOMPARE(m_host->Files->Directory(), rock);
    QCOMPARE(m_host->CurrentFolder, rock);
    QCOMPARE(m_host->Rows.size(), 3);
    QCOMPARE(m_host->Address->itemText(0), rock);
    QCOMPARE(m_host->Address->currentText(), rock);
    QCOMPARE(QDir::currentPath(), rock);
    QVERIFY(m_host->Errors.isEmpty());
}

void FolderNavigatorTest::SameFolderTwiceIsAddedOnce()
{
    const QString rock = m_two + QStringLiteral("/rock");
    m_host->TypeAndEnter(rock);
    m_host->TypeAndEnter(m_one + QStringLiteral("/music"));
    m_host->TypeAndEnter(rock + QStringLiteral("/"));
    m_host->Go->click();
    QCOMPARE(HistoryEntries(*m_host->Address),
             (QStringList{rock, m_one + QStringLiteral("/music")}));
}

void FolderNavigatorTest::FolderWithoutMp3MovesDirectoryListOnly()
{
    const QString music = m_one + QStringLiteral("/music");
    const QString empty = m_one + QStringLiteral("/empty");
    const QStringList history = HistoryEntries(*m_host->Address);
    const int rebuilds = m_host->Rebuilds;

    m_host->Dirs->SetDirectory(empty);
    QCOMPARE(m_host->Dirs->Directory(), empty);
    // The address box names the folder the table lists.
    QCOMPARE(m_host->Address->currentText(), music);
    QCOMPARE(m_host->CurrentFolder, music);
    QCOMPARE(m_host->Rebuilds, rebuilds);
    QCOMPARE(m_host->Rows.size(), 2);
    QCOMPARE(HistoryEntries(*m_host->Address), history);
}

void FolderNavigatorTest::ChoosingFolderWithoutMp3FromHistoryPutsAddressBack()
{
    const QString music = m_one + QStringLiteral("/music");
    const QString empty = m_one + QStringLiteral("/empty");
    // Go puts a typed folder into the history even when it holds no MP3 file.
    m_host->TypeAndEnter(empty);
    QCOMPARE(m_host->Address->itemText(0), empty);
    QCOMPARE(m_host->Address->currentText(), music);
    QCOMPARE(m_host->CurrentFolder, music);

    m_host->ChooseFromHistory(empty);
    QCOMPARE(m_host->Address->currentText(), music);
    QCOMPARE(m_host->CurrentFolder, music);
    QCOMPARE(m_host->Dirs->Directory(), empty);
}

void FolderNavigatorTest::TypedNonFolderDoesNothing()
{
    const QStringList history = HistoryEntries(*m_host->Address);
    const QString directory = m_host->Dirs->Directory();
    const int reads = m_host->Files->ReadCount();
    const QString file = m_one + QStringLiteral("/music/track0.mp3");
    for (const QString& text : {m_one + QStringLiteral("/missing"), file, QString()}) {
        m_host->TypeAndEnter(text);
        QCOMPARE(m_host->Address->currentText(), text);
    }
    QCOMPARE(HistoryEntries(*m_host->Address), history);
    QCOMPARE(m_host->Dirs->Directory(), directory);
    QCOMPARE(m_host->Files->ReadCount(), reads);
    QVERIFY(m_host->Errors.isEmpty());
}

void FolderNavigatorTest::FolderAlreadyShownIsNotReRead()
{
    const QString music = m_one + QStringLiteral("/music");
    const int reads = m_host->Files->ReadCount();
    m_host->TypeAndEnter(music);
    m_host->TypeAndEnter(music + QStringLiteral("/."));
    m_host->Navigator->GoToFolder(music);
    QCOMPARE(m_host->Files->ReadCount(), reads);
    QCOMPARE(m_host->Rebuilds, 1);
}

void FolderNavigatorTest::OpenAsksPickerAndGoesToChosenFolder()
{
    const QString music = m_one + QStringLiteral("/music");
    const QString rock = m_two + QStringLiteral("/rock");
    m_host->PickerAnswer = rock;
    m_host->Navigator->Open1Click();
    QCOMPARE(m_host->PickerCalls, QStringList{QStringLiteral("Select Directory @ ") + music});
    QCOMPARE(m_host->CurrentFolder, rock);
    QCOMPARE(m_host->Drives->Drive(), m_two);
    QCOMPARE(m_host->Address->itemText(0), rock);
}

void FolderNavigatorTest::CancelledOpenReRunsGoWithAddressText()
{
    const QString rock = m_two + QStringLiteral("/rock");
    m_host->Address->setEditText(rock);
    m_host->PickerAnswer.clear();
    m_host->Navigator->Open1Click();
    QCOMPARE(m_host->CurrentFolder, rock);

    // The address names the folder shown: Cancel again reads nothing.
    const int reads = m_host->Files->ReadCount();
    m_host->Navigator->Open1Click();
    QCOMPARE(m_host->Files->ReadCount(), reads);
    QCOMPARE(m_host->PickerCalls.size(), 2);
}

void FolderNavigatorTest::UnreadableVolumeShowsErrorAndDriveBoxGoesBack()
{
    const QString cd = MakeFolder(*m_dir, "cd", 1);
    m_host->Navigator->SetVolumes({{m_one, QStringLiteral("one"), true},
                                   {m_two, {}, true},
                                   {cd, QStringLiteral("cd"), false}});
    const QString music = m_one + QStringLiteral("/music");
    const int reads = m_host->Files->ReadCount();

    m_host->Drives->setCurrentIndex(2);
    QCOMPARE(m_host->Errors,
             QStringList{QStringLiteral("Open Error: Could not read this drive !")});
    QCOMPARE(m_host->Drives->Drive(), m_one);
    QCOMPARE(m_host->Dirs->Directory(), music);
    QCOMPARE(m_host->Files->ReadCount(), reads);
    QCOMPARE(m_host->CurrentFolder, music);
}

void FolderNavigatorTest::TypedFolderOnUnreadableVolumeIsRefused()
{
    const QString cd = MakeFolder(*m_dir, "cd/album", 1);
    const QString cdRoot = QString::fromStdString(m_dir->File("cd"));
    m_host->Navigator->SetVolumes(
        {{m_one, QStringLiteral("one"), true}, {m_two, {}, true}, {cdRoot, {}, false}});
    const QString music = m_one + QStringLiteral("/music");

    QVERIFY(!m_host->Navigator->GoToFolder(cd));
    QCOMPARE(m_host->Errors.size(), 1);
    QCOMPARE(m_host->Errors.at(0), QStringLiteral("Open Error: Could not read this drive !"));
    QCOMPARE(m_host->Drives->Drive(), m_one);
    QCOMPARE(m_host->Dirs->Directory(), music);
    QCOMPARE(m_host->CurrentFolder, music);
}

QTEST_MAIN(FolderNavigatorTest)
#include "FolderNavigatorTest.moc"
