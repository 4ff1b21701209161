#pragma once
// The hidden file list behind the directory list: the MP3 files of one
// folder, as the file table lists them. It re-reads only when it is pointed
// at another folder, and reports a change exactly when it has re-read.

#include <QListWidget>

namespace varnello {

class TFileListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit TFileListBox(QWidget* parent = nullptr);

    // The folder whose names are listed; empty before the first one.
    QString Directory() const { return m_directory; }
    QStringList Names() const;

    // Points the list at `folder`; re-reads and reports a change when that
    // is not the folder already listed.
    void SetDirectory(const QString& folder);
    // Re-reads the current folder and reports a change.
    void Update();

    // How often the list has read a folder, for checks that a folder was
    // not read twice.
    int ReadCount() const { return m_readCount; }

signals:
    void Change();

private:
    QString m_directory;
    int m_readCount = 0;
};

} // namespace varnello
