#pragma once
// The directory list of the directory panel: the chain of folders from the
// volume's root down to the current folder, each one level further indented,
// then the subfolders of the current folder. A double-click or Enter on an
// entry makes it the current folder. Its folder is also the process's working
// folder. The subfolders are listed off the GUI thread, so a large or slow
// folder never holds the window; they join the list when they are known.

#include "Volume.h"

#include <QHash>
#include <QListWidget>

namespace varnello {

class TDirListBox : public QListWidget
{
    Q_OBJECT

public:
    // Item data: the entry's full path and its indentation level.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

    explicit TDirListBox(QWidget* parent = nullptr);

    void SetVolumes(VolumeList volumes);
    const VolumeList& Volumes() const { return m_volumes; }

    // The current folder, absolute and clean; empty before the first one.
    QString Directory() const { return m_directory; }
    // Root of the volume holding the current folder.
    QString Drive() const;

    // Takes the start folder without reporting a change.
    void StartAt(const QString& folder);
    // Makes `folder` current; reports a change when it differs from the
    // current one.
    void SetDirectory(const QString& folder);
    // Moves to the last folder visited on the volume `root` (its root at
    // first). False, with nothing changed, when the volume cannot be read.
    bool SetDrive(const QString& root);

    // The folder last visited on the volume `root`.
    QString RememberedFolder(const QString& root) const;

    // The current folder's subfolders are still being listed.
    bool ListingSubfolders() const { return m_subfoldersPending; }

signals:
    void Change();
    // The current folder's subfolders are in the list.
    void SubfoldersListed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Enter(const QString& folder);
    void BuildList();
    void AddSubfolders(unsigned listing, const QStringList& names);
    void AddEntry(const QString& text, const QString& path, int level, bool open);
    bool VolumeIsReadable(const QString& root) const;
    void OpenItem(QListWidgetItem* item);

    VolumeList m_volumes;
    QString m_directory;
    QHash<QString, QString> m_lastFolderOfVolume;
    unsigned m_listing = 0; // the newest listing of subfolders; older ones are dropped
    int m_subfolderLevel = 0;
    bool m_subfoldersPending = false;
};

} // namespace varnello
