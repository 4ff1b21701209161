#pragma once
// The hidden file list behind the directory list: the MP3 files of one
// folder, as the file table lists them. It re-reads only when it is pointed
// at another folder, and reports a change exactly when the names of a read
// are in. Who lists the names decides whether they come at once or later.

#include <QListView>
#include <QStringListModel>
#include <functional>
#include <string>
#include <vector>

namespace varnello {

class TFileListBox : public QListView
{
    Q_OBJECT

public:
    // Starts listing the MP3 names of a folder given in the file system's
    // encoding; they come back through ShowNames, at once or later.
    using Lister = std::function<void(const std::string& folder)>;

    explicit TFileListBox(QWidget* parent = nullptr);

    // Replaces the module's listing on the calling thread
    // (FolderReader::ListMp3Names).
    void SetLister(Lister lister) { m_lister = std::move(lister); }
    // The names of a listed folder; names of a folder the list no longer
    // points at are dropped.
    void ShowNames(const std::string& folder, const std::vector<std::string>& names);

    // The folder whose names are listed; empty before the first one.
    QString Directory() const { return m_directory; }
    QStringList Names() const;
    int count() const { return m_model->rowCount(); }
    // The folder in the file system's encoding, as the module takes it.
    const std::string& Folder() const { return m_folder; }

    // Points the list at `folder`; re-reads and reports a change when that
    // is not the folder already listed.
    void SetDirectory(const QString& folder);
    // Re-reads the current folder and reports a change when it is read.
    void Update();

    // How often the list has read a folder, for checks that a folder was
    // not read twice.
    int ReadCount() const { return m_readCount; }

signals:
    void Change();

private:
    // The names as text, one string list shared with the model: a folder of
    // thousands of files costs no item objects.
    QStringListModel* m_model = nullptr;
    Lister m_lister;
    QString m_directory;
    std::string m_folder;
    int m_readCount = 0;
};

} // namespace varnello
