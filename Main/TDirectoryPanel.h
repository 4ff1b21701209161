#pragma once
// The directory panel on the left of the main window: the "Directory" strip
// with its close button, the drive box, the directory list and the hidden file
// list, and below them the hidden playback panel with its own strip. The
// panel only builds and holds them; the folder navigator couples them.

#include <QFrame>

class QSplitter;
class QToolButton;

namespace varnello {

class TDirListBox;
class TDriveComboBox;
class TFileListBox;
class THeaderStrip;
class TPlaybackPanel;

class TDirectoryPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TDirectoryPanel(QWidget* parent = nullptr);

    TDriveComboBox* Drives() const { return ClsDrvComBox; }
    TDirListBox* Directories() const { return ClsDirListBox; }
    TFileListBox* FileList() const { return clsFileListBox; }
    TPlaybackPanel* PlaybackPanel() const { return ClsPnlLeftBottom; }

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
    TDriveComboBox* ClsDrvComBox = nullptr;
    TDirListBox* ClsDirListBox = nullptr;
    TFileListBox* clsFileListBox = nullptr;
    TPlaybackPanel* ClsPnlLeftBottom = nullptr;
};

} // namespace varnello
