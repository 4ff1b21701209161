#pragma once
// The directory panel on the left of the main window: the "Directory" strip
// with its close button, the drive box, the directory list and the hidden file
// list, and below them the hidden playback panel with its own strip.
//
// The drive box and the directory list only show the current folder's chain
// for now; choosing folders with them belongs to the folder navigation.

#include <QFrame>

class QComboBox;
class QListWidget;
class QSplitter;
class QToolButton;

namespace varnello {

class TFileList;
class THeaderStrip;

class TDirectoryPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TDirectoryPanel(QWidget* parent = nullptr);

    TFileList* FileList() const { return clsFileListBox; }
    // Shows the folder's volume in the drive box and the chain of folders
    // from its root down to it in the directory list.
    void ShowFolderChain(const QString& folder);

signals:
    // The close button of either strip was clicked.
    void CloseClicked();

private:
    void CreateDirectoryPart();
    void CreatePlaybackPanel();

    QSplitter* SplitterLeftTopBottom = nullptr;
    QWidget* ClsPnlLeftTop = nullptr;
    THeaderStrip* ClsPnlLeftToptop = nullptr;
    QToolButton* ClsSpdBtnCloseLeft = nullptr;
    QWidget* ClsPnlLeftTopBottom = nullptr;
    QComboBox* ClsDrvComBox = nullptr;
    QListWidget* ClsDirListBox = nullptr;
    TFileList* clsFileListBox = nullptr;
    QFrame* ClsPnlLeftBottom = nullptr;
    THeaderStrip* PnlLeftBottomPlay = nullptr;
    QToolButton* spbtnPlayClose = nullptr;
};

} // namespace varnello
