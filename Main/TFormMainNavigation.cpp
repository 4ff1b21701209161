#include "FolderNavigator.h"
#include "HelpMenu.h"
#include "TDirListBox.h"
#include "TDirectoryPanel.h"
#include "TDriveComboBox.h"
#include "TFileListBox.h"
#include "TFormMain.h"
#include "Ui.h"

#include <QComboBox>
#include <QStringList>
#include <QToolButton>

// The main window's folder navigation and Help menu: the window hands its
// controls to the folder navigator and the help menu, which do the work.

namespace varnello {

void TFormMain::CreateNavigation()
{
    TFileListBox* files = ClsPnlLeft->FileList();
    // The names are listed, and the rows read, by the folder loader's worker.
    m_loader = new FolderLoader(m_hooks.Folders, this);
    files->SetLister([this](const std::string& folder) { m_loader->Start(folder); });
    m_navigator = new FolderNavigator(
        {ClsPnlLeft->Drives(), ClsPnlLeft->Directories(), files, CbAddress, TbGoAddress}, this);
    m_navigator->SetCurrentFolderGetter([this] { return CurrentFolder(); });
    if (m_hooks.ErrorBox) {
        m_navigator->SetErrorBox(m_hooks.ErrorBox);
    }
    if (m_hooks.FolderPicker) {
        m_navigator->SetFolderPicker(m_hooks.FolderPicker);
    }
    m_navigator->SetVolumes(MountedVolumes());
    m_help = new HelpMenu(this);
    if (m_hooks.OpenUrl) {
        m_help->SetCheckedUrlOpener(m_hooks.OpenUrl);
    }
}

void TFormMain::ShowFolder(const QString& folder)
{
    if (!m_navigator->Started()) {
        m_navigator->Start(folder);
        return;
    }
    m_navigator->GoToFolder(folder);
}

void TFormMain::SubfoldersClick(bool checked)
{
    m_loader->SetSubfolders(checked);
    TFileListBox* files = ClsPnlLeft->FileList();
    if (!files->Directory().isEmpty()) {
        files->Update();
    }
}

QString TFormMain::SkippedFoldersText(const std::vector<FolderReader::SkippedFolder>& skipped)
{
    // A few names are enough to go and look; the count tells the rest.
    constexpr std::size_t kNamed = 3;
    QStringList names;
    for (std::size_t i = 0; i < skipped.size() && i < kNamed; ++i) {
        names << ui::PathToQt(skipped[i].Path);
    }
    if (skipped.size() > kNamed) {
        names << QString(QChar(0x2026));
    }
    const QString list = names.join(QStringLiteral(", "));
    if (skipped.size() == 1) {
        return tr("1 subfolder could not be read: %1").arg(list);
    }
    return tr("%1 subfolders could not be read: %2").arg(skipped.size()).arg(list);
}

void TFormMain::ReadFileList(const QString& folder)
{
    TFileListBox* files = ClsPnlLeft->FileList();
    if (CleanFolder(folder) == files->Directory()) {
        files->Update();
    } else {
        files->SetDirectory(folder);
    }
}

} // namespace varnello
