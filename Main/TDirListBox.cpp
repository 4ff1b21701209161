#include "TDirListBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QThreadPool>
#include <utility>

namespace varnello {

namespace {

constexpr int kIndentPixels = 12;

// Shifts each entry right by its level.
class IndentDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + Level(index) * kIndentPixels);
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += Level(index) * kIndentPixels;
        return size;
    }

private:
    static int Level(const QModelIndex& index)
    {
        return index.data(TDirListBox::LevelRole).toInt();
    }
};

} // namespace

TDirListBox::TDirListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QListWidget::itemDoubleClicked, this, &TDirListBox::OpenItem);
}

void TDirListBox::SetVolumes(VolumeList volumes)
{
    m_volumes = std::move(volumes);
    if (!m_directory.isEmpty()) {
        BuildList();
    }
}

QString TDirListBox::Drive() const
{
    const int index = VolumeIndexOf(m_volumes, m_directory);
    return index >= 0 ? m_volumes[static_cast<std::size_t>(index)].Root : QString();
}

void TDirListBox::StartAt(const QString& folder)
{
    Enter(CleanFolder(folder));
}

void TDirListBox::SetDirectory(const QString& folder)
{
    const QString clean = CleanFolder(folder);
    if (clean.isEmpty() || clean == m_directory) {
        return;
    }
    if (!QFileInfo(clean).isDir()) {
        // An entry whose folder has gone since the list was built: show the
        // list as it is now instead.
        BuildList();
        return;
    }
    Enter(clean);
    emit Change();
}

bool TDirListBox::SetDrive(const QString& root)
{
    if (!VolumeIsReadable(root)) {
        return false;
    }
    // The remembered folder may have gone since; fall back to the nearest
    // folder above it that still exists.
    QString folder = RememberedFolder(root);
    while (folder != root && PathIsOnRoot(folder, root) && !QFileInfo(folder).isDir()) {
        folder = CleanFolder(folder + QStringLiteral("/.."));
    }
    if (!PathIsOnRoot(folder, root)) {
        folder = root;
    }
    SetDirectory(folder);
    return true;
}

QString TDirListBox::RememberedFolder(const QString& root) const
{
    return m_lastFolderOfVolume.value(root, root);
}

void TDirListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OpenItem(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void TDirListBox::Enter(const QString& folder)
{
    m_directory = folder;
    const QString drive = Drive();
    if (!drive.isEmpty()) {
        m_lastFolderOfVolume.insert(drive, folder);
    }
    QDir::setCurrent(folder);
    BuildList();
}

void TDirListBox::BuildList()
{
    clear();
    QString root = Drive();
    if (root.isEmpty()) {
        root = QStringLiteral("/");
    }
    AddEntry(root, root, 0, true);
    // The folders between the root and the current folder, one level each.
    const QString below = m_directory.mid(root.size());
    const QStringList parts = below.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = root;
    int level = 0;
    for (const QString& part : parts) {
        path = path.endsWith(QLatin1Char('/')) ? path + part : path + QLatin1Char('/') + part;
        AddEntry(part, path, ++level, true);
    }
    setCurrentRow(count() - 1);
    m_subfolderLevel = level + 1;
    m_subfoldersPending = true;
    const unsigned listing = ++m_listing;
    // On a pool thread: a folder of many files, a cold disk or a slow share
    // takes its time there. The answer comes back through the application
    // object, which outlives every list; a list gone meanwhile takes none.
    QThreadPool::globalInstance()->start(
        [folder = m_directory, listing, list = QPointer<TDirListBox>(this)] {
            const QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                             QDir::Name | QDir::IgnoreCase);
            QCoreApplication* application = QCoreApplication::instance();
            if (application == nullptr) {
                return; // the program is ending
            }
            QMetaObject::invokeMethod(
                application,
                [list, listing, names] {
                    if (list != nullptr) {
                        list->AddSubfolders(listing, names);
                    }
                },
                Qt::QueuedConnection);
        });
}

void TDirListBox::AddSubfolders(unsigned listing, const QStringList& names)
{
    if (listing != m_listing) {
        return; // of a folder shown before
    }
    const QDir dir(m_directory);
    for (const QString& name : names) {
        AddEntry(name, dir.filePath(name), m_subfolderLevel, false);
    }
    m_subfoldersPending = false;
    emit SubfoldersListed();
}

void TDirListBox::AddEntry(const QString& text, const QString& path, int level, bool open)
{
    auto* item = new QListWidgetItem(text, this);
    item->setData(PathRole, path);
    item->setData(LevelRole, level);
    item->setIcon(style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon));
}

bool TDirListBox::VolumeIsReadable(const QString& root) const
{
    for (const Volume& volume : m_volumes) {
        if (volume.Root == root) {
            return volume.Ready && QFileInfo(root).isDir() && QDir(root).isReadable();
        }
    }
    return false;
}

void TDirListBox::OpenItem(QListWidgetItem* item)
{
    if (item != nullptr) {
        SetDirectory(item->data(PathRole).toString());
    }
}

} // namespace varnello
