// The directory panel's controls on their own: volumes, the directory list,
// the hidden file list and the address history.

#include "AddressHistory.h"
#include "Mp3Builder.h"
#include "TDirListBox.h"
#include "TDriveComboBox.h"
#include "TFileListBox.h"
#include "Volume.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

using namespace varnello;
using varnello::testsupport::TempDir;

namespace {

QString Q(const std::string& path)
{
    return QString::fromStdString(path);
}

QString MakeFolder(const TempDir& dir, const char* relative)
{
    const std::string path = dir.File(relative);
    std::filesystem::create_directories(path);
    return Q(path);
}

void MakeFile(const QString& path)
{
    varnello::testsupport::Mp3Builder().Audio(1).WriteTo(path.toStdString());
}

struct Entry
{
    QString Text;
    int Level;
};

QList<Entry> Entries(const TDirListBox& list)
{
    QList<Entry> entries;
    for (int i = 0; i < list.count(); ++i) {
        entries.append({list.item(i)->text(), list.item(i)->data(TDirListBox::LevelRole).toInt()});
    }
    return entries;
}

// The subfolders are listed off the GUI thread and join the list later.
bool SubfoldersListed(const TDirListBox& list)
{
    return QTest::qWaitFor([&list] { return !list.ListingSubfolders(); }, 5000);
}

QString Describe(const QList<Entry>& entries)
{
    QStringList parts;
    for (const Entry& entry : entries) {
        parts.append(QStringLiteral("%1@%2").arg(entry.Text).arg(entry.Level));
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

class NavigationWidgetsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_startFolder = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_startFolder); }

    void VolumeOfPathIsLongestRootOnWholeComponents();
    void VolumeCaptionIsRootAndUpperCaseName();
    void DirListShowsChainIndentedThenSubfolders();
    void DirListOpensEntryByDoubleClickAndEnter();
    void DirListShowsOnlyTheSubfoldersOfTheFolderShownLast();
    void DirListReportsOnlyRealChangesAndSetsWorkingFolder();
    void EachVolumeRemembersItsLastFolder();
    void UnreadableVolumeIsRefused();
    void FileListListsMp3NamesSortedWithoutCase();
    void FileListReReadsOnlyAnotherFolder();
    void DriveBoxReportsChangesButNotQuietMoves();
    void HistoryKeepsMostRecentFirstWithoutCaseDuplicates();

private:
    QString m_startFolder;
};

void NavigationWidgetsTest::VolumeOfPathIsLongestRootOnWholeComponents()
{
    const VolumeList volumes{{QStringLiteral("/"), {}, true},
                             {QStringLiteral("/media/usb"), QStringLiteral("stick"), true},
                             {QStringLiteral("/media"), {}, true}};
    QCOMPARE(VolumeIndexOf(volumes, QStringLiteral("/media/usb/music")), 1);
    QCOMPARE(VolumeIndexOf(volumes, QStringLiteral("/media/usb")), 1);
    QCOMPARE(VolumeIndexOf(volumes, QStringLiteral("/media/usbx")), 2);
    QCOMPARE(VolumeIndexOf(volumes, QStringLiteral("/home")), 0);
    QCOMPARE(VolumeIndexOf(volumes, QStringLiteral("/")), 0);
    const VolumeList noRoot{{QStringLiteral("/media/usb"), {}, true}};
    QCOMPARE(VolumeIndexOf(noRoot, QStringLiteral("/home")), -1);
    QCOMPARE(CleanFolder(QStringLiteral("/a/./b/")), QStringLiteral("/a/b"));
}

void NavigationWidgetsTest::VolumeCaptionIsRootAndUpperCaseName()
{
    QCOMPARE(VolumeCaption({QStringLiteral("/media/usb"), QStringLiteral("Stick"), true}),
             QStringLiteral("/media/usb [STICK]"));
    QCOMPARE(VolumeCaption({QStringLiteral("/"), {}, true}), QStringLiteral("/"));
}

void NavigationWidgetsTest::DirListShowsChainIndentedThenSubfolders()
{
    TempDir dir;
    const QString root = Q(dir.Path());
    const QString current = MakeFolder(dir, "music/rock");
    MakeFolder(dir, "music/rock/beta");
    MakeFolder(dir, "music/rock/Alpha");
    MakeFolder(dir, "music/rock/.hidden");
    MakeFile(current + QStringLiteral("/song.mp3"));

    TDirListBox list;
    list.SetVolumes({{root, QStringLiteral("music"), true}});
    list.StartAt(current);
    QVERIFY(SubfoldersListed(list));

    const QList<Entry> entries = Entries(list);
    const QString got = Describe(entries);
    const QString expected = QStringLiteral("%1@0, music@1, rock@2, Alpha@3, beta@3").arg(root);
    QVERIFY2(got == expected, qPrintable(QStringLiteral("entries: ") + got));
    QCOMPARE(list.item(2)->data(TDirListBox::PathRole).toString(), current);
    QCOMPARE(list.item(3)->data(TDirListBox::PathRole).toString(),
             current + QStringLiteral("/Alpha"));
    QCOMPARE(list.currentRow(), 2);
    QCOMPARE(list.Drive(), root);
}

void NavigationWidgetsTest::DirListOpensEntryByDoubleClickAndEnter()
{
    TempDir dir;
    const QString root = Q(dir.Path());
    const QString current = MakeFolder(dir, "a/b");
    MakeFolder(dir, "a/b/c");
    TDirListBox list;
    list.SetVolumes({{root, {}, true}});
    list.StartAt(current);
    QSignalSpy changes(&list, &TDirListBox::Change);

    emit list.itemDoubleClicked(list.item(1)); // "a"
    QCOMPARE(list.Directory(), root + QStringLiteral("/a"));
    QCOMPARE(changes.count(), 1);

    // Now: root, a, then the subfolder b.
    QVERIFY(SubfoldersListed(list));
    list.setCurrentRow(2);
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.Directory(), current);
    QCOMPARE(changes.count(), 2);
}

void NavigationWidgetsTest::DirListShowsOnlyTheSubfoldersOfTheFolderShownLast()
{
    TempDir dir;
    const QString root = Q(dir.Path());
    const QString a = MakeFolder(dir, "a");
    MakeFolder(dir, "a/from-a");
    const QString b = MakeFolder(dir, "b");
    MakeFolder(dir, "b/from-b");
    TDirListBox list;
    list.SetVolumes({{root, {}, true}});
    list.StartAt(a);
    list.SetDirectory(b); // before the subfolders of a have come
    QVERIFY(SubfoldersListed(list));
    QTest::qWait(50); // the listing of a may answer after that of b
    QCOMPARE(Describe(Entries(list)), QStringLiteral("%1@0, b@1, from-b@2").arg(root));
}

void NavigationWidgetsTest::DirListReportsOnlyRealChangesAndSetsWorkingFolder()
{
    TempDir dir;
    const QString root = Q(dir.Path());
    const QString a = MakeFolder(dir, "a");
    TDirListBox list;
    list.SetVolumes({{root, {}, true}});
    QSignalSpy changes(&list, &TDirListBox::Change);
    list.StartAt(root);
    QCOMPARE(changes.count(), 0);

    list.SetDirectory(a + QStringLiteral("/"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(QDir::currentPath(), a);
    list.SetDirectory(a);
    QCOMPARE(changes.count(), 1);
    // A folder that is gone is not entered.
    list.SetDirectory(root + QStringLiteral("/missing"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(list.Directory(), a);
}

void NavigationWidgetsTest::EachVolumeRemembersItsLastFolder()
{
    TempDir dir;
    const QString one = MakeFolder(dir, "one");
    const QString two = MakeFolder(dir, "two");
    const QString oneX = MakeFolder(dir, "one/x");
    const QString twoY = MakeFolder(dir, "two/y/z");
    TDirListBox list;
    list.SetVolumes({{one, {}, true}, {two, {}, true}});
    list.StartAt(oneX);

    QVERIFY(list.SetDrive(two));
    QCOMPARE(list.Directory(), two);
    list.SetDirectory(twoY);
    QVERIFY(list.SetDrive(one));
    QCOMPARE(list.Directory(), oneX);
    // A remembered folder that has gone falls back to the nearest one above.
    std::filesystem::remove(twoY.toStdString());
    QVERIFY(list.SetDrive(two));
    QCOMPARE(list.Directory(), two + QStringLiteral("/y"));
}

void NavigationWidgetsTest::UnreadableVolumeIsRefused()
{
    TempDir dir;
    const QString one = MakeFolder(dir, "one");
    const QString cd = MakeFolder(dir, "cd");
    TDirListBox list;
    list.SetVolumes({{one, {}, true}, {cd, QStringLiteral("cd"), false}});
    list.StartAt(one);
    QSignalSpy changes(&list, &TDirListBox::Change);
    QVERIFY(!list.SetDrive(cd));
    QVERIFY(!list.SetDrive(QStringLiteral("/no/such/volume")));
    QCOMPARE(list.Directory(), one);
    QCOMPARE(changes.count(), 0);
}

void NavigationWidgetsTest::FileListListsMp3NamesSortedWithoutCase()
{
    TempDir dir;
    const QString folder = Q(dir.Path());
    MakeFile(folder + QStringLiteral("/b.mp3"));
    MakeFile(folder + QStringLiteral("/A.mp3"));
    MakeFile(folder + QStringLiteral("/c.MP3"));
    MakeFile(folder + QStringLiteral("/.hidden.mp3"));
    MakeFile(folder + QStringLiteral("/notes.txt"));
    MakeFolder(dir, "folder.mp3");

    TFileListBox files;
    files.SetDirectory(folder);
    QCOMPARE(files.Names(), (QStringList{QStringLiteral("A.mp3"), QStringLiteral("b.mp3"),
                                         QStringLiteral("c.MP3")}));
    QVERIFY(files.isHidden());
}

void NavigationWidgetsTest::FileListReReadsOnlyAnotherFolder()
{
    TempDir dir;
    const QString first = MakeFolder(dir, "first");
    const QString second = MakeFolder(dir, "second");
    MakeFile(first + QStringLiteral("/one.mp3"));
    TFileListBox files;
    QSignalSpy changes(&files, &TFileListBox::Change);

    files.SetDirectory(first);
    QCOMPARE(changes.count(), 1);
    files.SetDirectory(first + QStringLiteral("/"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(files.ReadCount(), 1);
    // An empty folder is read, and reported, like any other.
    files.SetDirectory(second);
    QCOMPARE(changes.count(), 2);
    QCOMPARE(files.count(), 0);
}

void NavigationWidgetsTest::DriveBoxReportsChangesButNotQuietMoves()
{
    TempDir dir;
    const QString one = MakeFolder(dir, "one");
    const QString two = MakeFolder(dir, "two");
    TDriveComboBox drives;
    drives.SetVolumes({{one, QStringLiteral("First"), true}, {two, {}, true}},
                      one + QStringLiteral("/x"));
    QCOMPARE(drives.Drive(), one);
    QCOMPARE(drives.itemText(0), one + QStringLiteral(" [FIRST]"));
    QSignalSpy changes(&drives, &TDriveComboBox::Change);

    QVERIFY(drives.SetDriveOf(two + QStringLiteral("/deep/folder")));
    QCOMPARE(drives.Drive(), two);
    QCOMPARE(changes.count(), 1);
    QVERIFY(drives.SetDriveOf(two));
    QCOMPARE(changes.count(), 1);
    drives.ShowDriveOf(one);
    QCOMPARE(drives.Drive(), one);
    QCOMPARE(changes.count(), 1);
    QVERIFY(!drives.SetDriveOf(QStringLiteral("/elsewhere")));
}

void NavigationWidgetsTest::HistoryKeepsMostRecentFirstWithoutCaseDuplicates()
{
    QComboBox address;
    address.setEditable(true);
    address.setEditText(QStringLiteral("typed text"));
    AddToHistory(address, QStringLiteral("/music/a"));
    AddToHistory(address, QStringLiteral("/music/b"));
    AddToHistory(address, QStringLiteral("/MUSIC/A"));
    AddToHistory(address, QString());
    QCOMPARE(HistoryEntries(address),
             (QStringList{QStringLiteral("/music/b"), QStringLiteral("/music/a")}));
    QVERIFY(HistoryContains(address, QStringLiteral("/Music/B")));
    QCOMPARE(address.currentText(), QStringLiteral("typed text"));
}

QTEST_MAIN(NavigationWidgetsTest)
#include "NavigationWidgetsTest.moc"
