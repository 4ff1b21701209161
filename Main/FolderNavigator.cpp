#include "FolderNavigator.h"

#include "AddressHistory.h"
#include "TDirListBox.h"
#include "TDriveComboBox.h"
#include "TFileListBox.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

namespace varnello {

FolderNavigator::FolderNavigator(const Controls& controls, QWidget* window)
    : QObject(window), m_controls(controls), m_window(window)
{
    setObjectName(QStringLiteral("FolderNavigator"));
    m_errorBox = [this](const QString& text, const QString& caption) {
        QMessageBox::critical(m_window, caption, text);
    };
    m_folderPicker = [this](const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(m_window, title, start, QFileDialog::ShowDirsOnly);
    };
    ConnectControls();
}

void FolderNavigator::ConnectControls()
{
    connect(m_controls.Drives, &TDriveComboBox::Change, this, &FolderNavigator::ClsDrvComBoxChange);
    connect(m_controls.Dirs, &TDirListBox::Change, this, &FolderNavigator::ClsDirListBoxChange);
    connect(m_controls.Address, &QComboBox::activated, this, &FolderNavigator::CbAddressClick);
    if (m_controls.Go != nullptr) {
        connect(m_controls.Go, &QAbstractButton::clicked, this, &FolderNavigator::TbGoAddressClick);
    }
    // History entries are added by the navigator and the table alone: the
    // box must neither insert typed text nor complete it from the history.
    m_controls.Address->setEditable(true);
    m_controls.Address->setInsertPolicy(QComboBox::NoInsert);
    m_controls.Address->setCompleter(nullptr);
    // Keys and focus reach the box itself first; the line edit inside gets
    // them from the box without passing event filters.
    m_controls.Address->installEventFilter(this);
    m_controls.Address->lineEdit()->installEventFilter(this);
}

void FolderNavigator::SetVolumes(VolumeList volumes)
{
    m_controls.Drives->SetVolumes(volumes, m_controls.Dirs->Directory());
    m_controls.Dirs->SetVolumes(std::move(volumes));
}

void FolderNavigator::Start(const QString& workingFolder)
{
    const QString folder = CleanFolder(workingFolder);
    m_controls.Dirs->StartAt(folder);
    m_controls.Drives->ShowDriveOf(folder);
    m_controls.Files->SetDirectory(m_controls.Dirs->Directory());
    ShowCurrentFolder();
}

bool FolderNavigator::Started() const
{
    return !m_controls.Dirs->Directory().isEmpty();
}

bool FolderNavigator::IsExistingFolder(const QString& path) const
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool FolderNavigator::SelectDrive(const QString& path)
{
    const QString folder = CleanFolder(path);
    if (!m_controls.Drives->SetDriveOf(folder)) {
        ShowDriveError();
        return false;
    }
    // The drive box's own change handler may have failed and put the box
    // back: then the path's volume is out of reach.
    const int wanted = VolumeIndexOf(m_controls.Drives->Volumes(), folder);
    if (m_controls.Drives->currentIndex() != wanted) {
        return false;
    }
    if (m_controls.Dirs->Drive() == m_controls.Drives->Drive()) {
        return true;
    }
    if (!m_controls.Dirs->SetDrive(m_controls.Drives->Drive())) {
        m_controls.Drives->ShowDriveOf(m_controls.Dirs->Directory());
        ShowDriveError();
        return false;
    }
    return true;
}

bool FolderNavigator::SelectFolder(const QString& path)
{
    m_controls.Dirs->SetDirectory(path);
    m_controls.Files->SetDirectory(m_controls.Dirs->Directory());
    return true;
}

bool FolderNavigator::GoToFolder(const QString& path)
{
    if (!SelectDrive(path)) {
        return false;
    }
    return SelectFolder(path);
}

void FolderNavigator::ClsDrvComBoxChange()
{
    const QString drive = m_controls.Drives->Drive();
    if (m_controls.Dirs->Drive() == drive) {
        return;
    }
    if (!m_controls.Dirs->SetDrive(drive)) {
        m_controls.Drives->ShowDriveOf(m_controls.Dirs->Directory());
        ShowDriveError();
    }
}

void FolderNavigator::ClsDirListBoxChange()
{
    const QString folder = m_controls.Dirs->Directory();
    // Opening a volume mounted inside another one moves to that volume.
    m_controls.Drives->ShowDriveOf(folder);
    m_controls.Files->SetDirectory(folder);
    // The box names the folder the table lists, which is not this one when
    // it holds no MP3 files.
    ShowCurrentFolder();
}

void FolderNavigator::TbGoAddressClick()
{
    const QString text = m_controls.Address->currentText();
    if (!IsExistingFolder(text)) {
        return;
    }
    // "/music/", "/music/." and "/music" are one folder and one history entry.
    const QString folder = CleanFolder(text);
    AddToHistory(*m_controls.Address, folder);
    GoToFolder(folder);
    ShowCurrentFolder();
}

void FolderNavigator::CbAddressClick()
{
    // The box also reports an activation when it loses focus with a text
    // that matches a history entry; only the user's pick navigates.
    if (m_leavingFocus) {
        return;
    }
    if (m_controls.Address->currentText() != CurrentFolder()) {
        TbGoAddressClick();
    }
    ShowCurrentFolder();
}

void FolderNavigator::ShowCurrentFolder()
{
    m_controls.Address->setEditText(CurrentFolder());
}

void FolderNavigator::Open1Click()
{
    const QString start = CurrentFolder();
    const QString chosen =
        m_folderPicker(QCoreApplication::translate("FolderNavigator", kPickerTitle),
                       IsExistingFolder(start) ? start : QString());
    if (!chosen.isEmpty()) {
        m_controls.Address->setEditText(chosen);
    }
    TbGoAddressClick();
}

bool FolderNavigator::eventFilter(QObject* watched, QEvent* event)
{
    QComboBox* address = m_controls.Address;
    if (watched != address && watched != address->lineEdit()) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            TbGoAddressClick();
            return true;
        }
        if (key == Qt::Key_Escape && !address->view()->isVisible()) {
            ShowCurrentFolder(); // Esc drops what was typed
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && watched == address) {
        // Delivered here under a guard, so that the box's own matching of
        // the typed text against the history cannot switch the folder.
        m_leavingFocus = true;
        static_cast<QObject*>(address)->event(event);
        m_leavingFocus = false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            ShowCurrentFolder(); // text typed but never entered is dropped
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void FolderNavigator::ShowDriveError()
{
    m_errorBox(QCoreApplication::translate("FolderNavigator", kDriveErrorText),
               QCoreApplication::translate("FolderNavigator", kDriveErrorCaption));
}

QString FolderNavigator::CurrentFolder() const
{
    return m_getFolder ? m_getFolder() : QString();
}

} // namespace varnello
