#pragma once
// Couples the drive box, the directory list, the hidden file list and the
// address box with its history and go button. The controls know nothing of
// each other; every link between them is made here. The folder whose files
// the table shows (CurrentFolder) stays with the window, which the navigator
// reads through a small function.

#include "Volume.h"

#include <QObject>
#include <QString>
#include <functional>

class QAbstractButton;
class QComboBox;
class QWidget;

namespace varnello {

class TDirListBox;
class TDriveComboBox;
class TFileListBox;

class FolderNavigator : public QObject
{
    Q_OBJECT

public:
    struct Controls
    {
        TDriveComboBox* Drives = nullptr;
        TDirListBox* Dirs = nullptr;
        TFileListBox* Files = nullptr;
        QComboBox* Address = nullptr;
        QAbstractButton* Go = nullptr;
    };

    using FolderGetter = std::function<QString()>;
    // Seams that tests answer in advance: the error box and the folder
    // picker (which returns an empty text for Cancel).
    using ErrorBox = std::function<void(const QString& text, const QString& caption)>;
    using FolderPicker = std::function<QString(const QString& title, const QString& start)>;

    static constexpr const char* kDriveErrorText = "Could not read this drive !";
    static constexpr const char* kDriveErrorCaption = "Open Error";
    static constexpr const char* kPickerTitle = "Select Directory";

    FolderNavigator(const Controls& controls, QWidget* window);

    // The folder the table lists; its owner sets it when it rebuilds the
    // table from the file list's names.
    void SetCurrentFolderGetter(FolderGetter get) { m_getFolder = std::move(get); }
    void SetErrorBox(ErrorBox box) { m_errorBox = std::move(box); }
    void SetFolderPicker(FolderPicker picker) { m_folderPicker = std::move(picker); }

    // Replaces the volumes the drive box lists, keeping the current folder.
    void SetVolumes(VolumeList volumes);
    // All controls take the working folder; the file list reads it, which
    // fills the table when it holds MP3 files. The address box then shows
    // the folder the table lists (empty while it lists none).
    void Start(const QString& workingFolder);
    bool Started() const;

    bool IsExistingFolder(const QString& path) const;
    bool SelectDrive(const QString& path);
    bool SelectFolder(const QString& path);
    bool GoToFolder(const QString& path);

    void ClsDrvComBoxChange();
    void ClsDirListBoxChange();
    void TbGoAddressClick();
    void CbAddressClick();
    void Open1Click();
    // The address box shows the folder the table lists; called again by the
    // table's owner when that folder has changed.
    void ShowCurrentFolder();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectControls();
    void ShowDriveError();
    QString CurrentFolder() const;

    Controls m_controls;
    QWidget* m_window = nullptr;
    FolderGetter m_getFolder;
    ErrorBox m_errorBox;
    FolderPicker m_folderPicker;
    bool m_leavingFocus = false; // the address box is handling its focus loss
};

} // namespace varnello
