// Folder navigation, the Help menu and the playback panel in the main window,
// driven through the widgets found by their object names. The volumes are the
// real root plus a folder that stands in for a second volume.

#include "AddressHistory.h"
#include "TDirListBox.h"
#include "TDriveComboBox.h"
#include "VarnelloSettings.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <map>
#include <memory>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

QString MakeFolder(const TempDir& dir, const char* relative, const QStringList& titles)
{
    const std::string path = dir.File(relative);
    std::filesystem::create_directories(path);
    int number = 0;
    for (const QString& title : titles) {
        Mp3Builder()
            .Tag(Id3v2Builder().TextFrame("TIT2", title.toStdString()).Build())
            .Audio(1)
            .WriteTo(path + "/" + std::to_string(++number) + ".mp3");
    }
    return QString::fromStdString(path);
}

} // namespace

class NavigationWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void StartShowsWorkingFolderInTheAddressBox();
    void DirectoryListShowsChainThenSubfolders();
    void EnterOnFolderOfOtherVolumeSwitchesEverything();
    void SameFolderTwiceIsAddedOnceAndReadOnce();
    void FolderWithoutMp3MovesDirectoryListAndAddressOnly();
    void TypedNonFolderDoesNothing();
    void OpeningFolderAlreadyShownDoesNotReReadIt();
    void UnreadableVolumeShowsErrorAndKeepsTable();
    void HelpMenuHandsOverExactRequests();
    void AboutBoxIsModalAndOwnedByWindow();
    void PlaybackPanelIsNeverVisible();
    void AddressBoxFillsBandBesideGoButton();

private:
    QComboBox& Address() { return *Find<QComboBox>(*m_window, "CbAddress"); }
    TListViewSort& Table() { return *Find<TListViewSort>(*m_window, "clsLVFile"); }
    // With its subfolders, which are listed off the GUI thread.
    TDirListBox& Dirs()
    {
        TDirListBox& dirs = *Find<TDirListBox>(*m_window, "ClsDirListBox");
        if (!QTest::qWaitFor([&dirs] { return !dirs.ListingSubfolders(); }, 5000)) {
            qWarning("the subfolders were not listed within 5 s");
        }
        return dirs;
    }
    TDriveComboBox& Drives() { return *Find<TDriveComboBox>(*m_window, "ClsDrvComBox"); }
    FolderNavigator& Navigator() { return *Find<FolderNavigator>(*m_window, "FolderNavigator"); }
    QStringList FileNames() { return Column(Table(), filetable::kFileName); }
    void TypeAndEnter(const QString& text);
    void ChooseFromHistory(const QString& entry);
    void TriggerAndWait(const char* action)
    {
        Action(*m_window, action).trigger();
        WaitForListing(*m_window);
    }
    int ListingsOf(const QString& folder) { return m_folders->Listings(folder); }
    int RowsRead() { return m_folders->RowsRead(); }

    std::unique_ptr<TempDir> m_dir;
    // Counts the folders listed and the rows read, to see what was read again.
    std::unique_ptr<TestFolders> m_folders;
    std::unique_ptr<TFormMain> m_window;
    QString m_startFolder;
    QString m_music;
    QString m_empty;
    QString m_backup; // the second volume
    QString m_rock;
    QStringList m_errors;
    QStringList m_pickerCalls;
    QString m_pickerAnswer;
    QList<QUrl> m_opened;
};

void NavigationWindowTest::init()
{
    m_startFolder = QDir::currentPath();
    m_dir = std::make_unique<TempDir>();
    m_music = MakeFolder(*m_dir, "home/music", {QStringLiteral("Alpha"), QStringLiteral("Bravo")});
    m_empty = MakeFolder(*m_dir, "home/music/empty", {});
    m_backup = MakeFolder(*m_dir, "backup", {});
    m_rock = MakeFolder(*m_dir, "backup/rock",
                        {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")});
    m_errors.clear();
    m_pickerCalls.clear();
    m_pickerAnswer.clear();
    m_opened.clear();

    m_folders = std::make_unique<TestFolders>();
    WindowHooks hooks;
    hooks.Folders = m_folders->Source();
    hooks.ErrorBox = [this](const QString& text, const QString& caption) {
        m_errors << caption + QStringLiteral(": ") + text;
    };
    hooks.FolderPicker = [this](const QString& title, const QString& start) {
        m_pickerCalls << title + QStringLiteral(" @ ") + start;
        return m_pickerAnswer;
    };
    hooks.OpenUrl = [this](const QUrl& url) {
        m_opened << url;
        return true;
    };
    m_window = std::make_unique<TFormMain>(std::move(hooks));
    Navigator().SetVolumes({{QStringLiteral("/"), QStringLiteral("system"), true},
                            {m_backup, QStringLiteral("Backup"), true}});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    ShowFolderAndWait(*m_window, m_music);
}

void NavigationWindowTest::cleanup()
{
    m_window.reset();
    m_folders.reset();
    QDir::setCurrent(m_startFolder);
    m_dir.reset();
}

void NavigationWindowTest::TypeAndEnter(const QString& text)
{
    Address().setEditText(text);
    QTest::keyClick(Address().lineEdit(), Qt::Key_Return);
    WaitForListing(*m_window);
}

void NavigationWindowTest::ChooseFromHistory(const QString& entry)
{
    const int index = Address().findText(entry);
    QVERIFY2(index >= 0, qPrintable(entry));
    Address().setCurrentIndex(index);
    emit Address().activated(index);
    WaitForListing(*m_window);
}

void NavigationWindowTest::StartShowsWorkingFolderInTheAddressBox()
{
    QCOMPARE(m_window->CurrentFolder(), m_music);
    QCOMPARE(FileNames(), (QStringList{QStringLiteral("1.mp3"), QStringLiteral("2.mp3")}));
    QCOMPARE(Table().Rows().Cell(0, filetable::kTitle), QStringLiteral("Alpha"));
    QCOMPARE(HistoryEntries(Address()), QStringList{m_music});
    QCOMPARE(Address().currentText(), m_music);
    QCOMPARE(Drives().Drive(), QStringLiteral("/"));
    QCOMPARE(Drives().currentText(), QStringLiteral("/ [SYSTEM]"));
    QCOMPARE(Dirs().Directory(), m_music);
    QCOMPARE(QDir::currentPath(), m_music);
    QCOMPARE(ListingsOf(m_music), 1);
}

void NavigationWindowTest::DirectoryListShowsChainThenSubfolders()
{
    const QStringList parts = m_music.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const int depth = static_cast<int>(parts.size());
    QCOMPARE(Dirs().count(), depth + 2); // root, the chain, "empty"
    QCOMPARE(Dirs().item(0)->text(), QStringLiteral("/"));
    for (int i = 0; i <= depth; ++i) {
        QCOMPARE(Dirs().item(i)->data(TDirListBox::LevelRole).toInt(), i);
        if (i > 0) {
            QCOMPARE(Dirs().item(i)->text(), parts.at(i - 1));
        }
    }
    QListWidgetItem* sub = Dirs().item(depth + 1);
    QCOMPARE(sub->text(), QStringLiteral("empty"));
    QCOMPARE(sub->data(TDirListBox::LevelRole).toInt(), depth + 1);
}

void NavigationWindowTest::EnterOnFolderOfOtherVolumeSwitchesEverything()
{
    TypeAndEnter(m_rock);
    QCOMPARE(Drives().Drive(), m_backup);
    QCOMPARE(Drives().currentText(), m_backup + QStringLiteral(" [BACKUP]"));
    QCOMPARE(Dirs().Directory(), m_rock);
    QCOMPARE(Dirs().item(0)->text(), m_backup);
    QCOMPARE(Dirs().item(1)->text(), QStringLiteral("rock"));
    QCOMPARE(FileNames(), (QStringList{QStringLiteral("1.mp3"), QStringLiteral("2.mp3"),
                                       QStringLiteral("3.mp3")}));
    QCOMPARE(Table().Rows().Cell(2, filetable::kTitle), QStringLiteral("Three"));
    QCOMPARE(m_window->CurrentFolder(), m_rock);
    QCOMPARE(HistoryEntries(Address()), (QStringList{m_rock, m_music}));
    QCOMPARE(Address().currentText(), m_rock);
    // One Enter is one Go: the folder is read once.
    QCOMPARE(ListingsOf(m_rock), 1);
    QVERIFY(m_errors.isEmpty());
}

void NavigationWindowTest::SameFolderTwiceIsAddedOnceAndReadOnce()
{
    TypeAndEnter(m_rock);
    TypeAndEnter(m_rock + QStringLiteral("/"));
    QTest::mouseClick(Find<QToolButton>(*m_window, "TbGoAddress"), Qt::LeftButton);
    QCOMPARE(HistoryEntries(Address()), (QStringList{m_rock, m_music}));
    QCOMPARE(ListingsOf(m_rock), 1);
}

void NavigationWindowTest::FolderWithoutMp3MovesDirectoryListAndAddressOnly()
{
    const int rowsRead = RowsRead();
    QListWidgetItem* empty = Dirs().findItems(QStringLiteral("empty"), Qt::MatchExactly).at(0);
    // What a real double click delivers: a click, then the double click.
    const QPoint point = Dirs().visualItemRect(empty).center();
    QTest::mouseClick(Dirs().viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(Dirs().viewport(), Qt::LeftButton, {}, point);
    WaitForListing(*m_window);
    QCOMPARE(ListingsOf(m_empty), 1);
    QCOMPARE(Dirs().Directory(), m_empty);
    QCOMPARE(Address().currentText(), m_music); // the folder the table lists
    QCOMPARE(m_window->CurrentFolder(), m_music);
    QCOMPARE(FileNames().size(), 2);
    QCOMPARE(HistoryEntries(Address()), QStringList{m_music});
    QCOMPARE(RowsRead(), rowsRead);

    // Typed, the folder becomes a history entry of its own; choosing it from
    // the history later puts the address back to the folder shown.
    TypeAndEnter(m_empty);
    QCOMPARE(HistoryEntries(Address()), (QStringList{m_empty, m_music}));
    QCOMPARE(m_window->CurrentFolder(), m_music);
    ChooseFromHistory(m_empty);
    QCOMPARE(Address().currentText(), m_music);
    QCOMPARE(m_window->CurrentFolder(), m_music);
    QCOMPARE(FileNames().size(), 2);
    QCOMPARE(RowsRead(), rowsRead);
}

void NavigationWindowTest::TypedNonFolderDoesNothing()
{
    const int rowsRead = RowsRead();
    const std::size_t listings = m_folders->FoldersListed();
    for (const QString& text : {m_music + QStringLiteral("/nothing"),
                                m_music + QStringLiteral("/1.mp3"), QStringLiteral("   ")}) {
        TypeAndEnter(text);
        QCOMPARE(Address().currentText(), text);
    }
    QCOMPARE(HistoryEntries(Address()), QStringList{m_music});
    QCOMPARE(Dirs().Directory(), m_music);
    QCOMPARE(RowsRead(), rowsRead);
    QCOMPARE(m_folders->FoldersListed(), listings);
    QVERIFY(m_errors.isEmpty());
}

void NavigationWindowTest::OpeningFolderAlreadyShownDoesNotReReadIt()
{
    const int rowsRead = RowsRead();
    m_pickerAnswer = m_music;
    TriggerAndWait("Open1");
    QCOMPARE(m_pickerCalls, QStringList{QStringLiteral("Select Directory @ ") + m_music});
    QCOMPARE(Address().currentText(), m_music);
    // Cancel runs Go again with the address text, the folder shown.
    m_pickerAnswer.clear();
    TriggerAndWait("Open1");
    TypeAndEnter(m_music);
    QCOMPARE(ListingsOf(m_music), 1);
    QCOMPARE(RowsRead(), rowsRead);
    QCOMPARE(HistoryEntries(Address()), QStringList{m_music});

    // Cancel with another folder in the address box goes there.
    Address().setEditText(m_rock);
    TriggerAndWait("Open1");
    QCOMPARE(m_window->CurrentFolder(), m_rock);
}

void NavigationWindowTest::UnreadableVolumeShowsErrorAndKeepsTable()
{
    const QString cd = MakeFolder(*m_dir, "cd", {QStringLiteral("Disc")});
    Navigator().SetVolumes({{QStringLiteral("/"), QStringLiteral("system"), true},
                            {m_backup, QStringLiteral("Backup"), true},
                            {cd, QStringLiteral("cd"), false}});
    Drives().setCurrentIndex(Drives().findText(cd + QStringLiteral(" [CD]")));
    WaitForListing(*m_window);
    QCOMPARE(m_errors, QStringList{QStringLiteral("Open Error: Could not read this drive !")});
    QCOMPARE(Drives().Drive(), QStringLiteral("/"));
    QCOMPARE(Dirs().Directory(), m_music);
    QCOMPARE(m_window->CurrentFolder(), m_music);
    QCOMPARE(FileNames().size(), 2);

    TypeAndEnter(cd);
    QCOMPARE(m_errors.size(), 2);
    QCOMPARE(Drives().Drive(), QStringLiteral("/"));
    QCOMPARE(Dirs().Directory(), m_music);
    QCOMPARE(ListingsOf(cd), 0);
}

void NavigationWindowTest::HelpMenuHandsOverExactRequests()
{
    QMenu* help = Find<QMenu>(*m_window, "Help1");
    QStringList items;
    for (const QAction* action : help->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    QCOMPARE(items, (QStringList{QStringLiteral("&Content"), QStringLiteral("Home&page"),
                                 QStringLiteral("-"), QStringLiteral("&Report a bug"),
                                 QStringLiteral("&View bugs"), QStringLiteral("-"),
                                 QStringLiteral("&About")}));

    Action(*m_window, "Content1").trigger();
    Action(*m_window, "Homepage1").trigger();
    Action(*m_window, "Reportabug1").trigger();
    Action(*m_window, "Viewbugs1").trigger();
    QCOMPARE(m_opened.size(), 4);
    QCOMPARE(m_opened.at(0).toLocalFile(),
             QCoreApplication::applicationDirPath() + QStringLiteral("/varnello.1.2.html"));
    QCOMPARE(m_opened.at(1).toString(), QString::fromLatin1(settings::kHomePage));
    QCOMPARE(m_opened.at(2).toString(),
             QStringLiteral("mailto:") + QString::fromLatin1(settings::kSupportMail) +
                 QStringLiteral("?subject=Report a bug -(Title)&body= Software name (Varnello): "
                                "%0A%0A OS (Windows 2000/XP/2003):%0A%0A Reporter (Your name or "
                                "email): %0A%0A Version: %0A%0A Severity "
                                "(High/Normal/Minor/Enhancement):  %0A%0A Description:"));
    QCOMPARE(m_opened.at(3).toString(), QString::fromLatin1(settings::kBugsPage));
}

void NavigationWindowTest::AboutBoxIsModalAndOwnedByWindow()
{
    QWidget* owner = nullptr;
    QString title;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            owner = box->parentWidget();
            title = box->windowTitle();
            box->accept();
        }
    });
    Action(*m_window, "About1").trigger();
    QCOMPARE(title, QStringLiteral("About"));
    QCOMPARE(owner, static_cast<QWidget*>(m_window.get()));
    QVERIFY(m_opened.isEmpty());
}

void NavigationWindowTest::PlaybackPanelIsNeverVisible()
{
    QWidget* panel = Find<QWidget>(*m_window, "ClsPnlLeftBottom");
    QVERIFY(!panel->isVisible());
    for (const char* toggle : {"TbToolBar", "TbDirectory", "tmiPropertiesView", "TbStatusbar"}) {
        Action(*m_window, toggle).trigger();
        Action(*m_window, toggle).trigger();
        QVERIFY2(!panel->isVisible(), toggle);
    }
    QTest::mouseClick(Find<QToolButton>(*m_window, "ClsSpdBtnCloseLeft"), Qt::LeftButton);
    Action(*m_window, "TbDirectory").trigger();
    QVERIFY(Find<QWidget>(*m_window, "ClsPnlLeft")->isVisible());
    for (const char* item : {"Open1", "Content1", "Homepage1", "Reportabug1", "Viewbugs1"}) {
        TriggerAndWait(item);
    }
    TypeAndEnter(m_rock);
    QVERIFY(!panel->isVisible());

    // Its close button, were it ever shown, closes the directory panel.
    Find<QToolButton>(*m_window, "spbtnPlayClose")->click();
    QVERIFY(!Find<QWidget>(*m_window, "ClsPnlLeft")->isVisible());
    QVERIFY(!Action(*m_window, "TbDirectory").isChecked());
    QVERIFY(!panel->isVisible());
}

void NavigationWindowTest::AddressBoxFillsBandBesideGoButton()
{
    auto* go = Find<QToolButton>(*m_window, "TbGoAddress");
    for (int width : {1007, 520}) {
        m_window->resize(width, m_window->height());
        QTRY_COMPARE(m_window->width(), width);
        QCoreApplication::processEvents();
        const QRect address = Address().geometry();
        QVERIFY(go->isVisible());
        QVERIFY(address.right() < go->geometry().left());
        QVERIFY2(go->geometry().left() - address.right() < 20,
                 qPrintable(QStringLiteral("gap %1").arg(go->geometry().left() - address.right())));
        QVERIFY2(address.width() > width / 2, qPrintable(QString::number(address.width())));
    }
}

QTEST_MAIN(NavigationWindowTest)
#include "NavigationWindowTest.moc"
