#include "FolderNavigator.h"
#include "HelpMenu.h"
#include "TDirListBox.h"
#include "TDirectoryPanel.h"
#include "TDriveComboBox.h"
#include "TFileListBox.h"
#include "TFormMain.h"
#include "Ui.h"

#include <QComboBox>
#include <QToolButton>

// The main window's folder navigation and Help menu: the window hands its
// controls to the folder navigator and the help menu, which do the work.

namespace varnello {

void TFormMain::CreateNavigation()
{
    TFileListBox* files = ClsPnlLeft->FileList();
    // The listing stays replaceable through the window, for tests.
    files->SetLister([this](const std::string& folder) { return ListFolderNames(folder); });
    m_navigator = new FolderNavigator(
        {ClsPnlLeft->Drives(), ClsPnlLeft->Directories(), files, CbAddress, TbGoAddress}, this);
    m_navigator->SetCurrentFolderAccess(
        [this] { return CurrentFolder(); },
        [this](const QString& folder) { SetCurrentFolder(ui::PathFromQt(folder)); });
    m_navigator->SetVolumes(MountedVolumes());
    m_help = new HelpMenu(this);
}

void TFormMain::ShowFolder(const QString& folder)
{
    if (!m_navigator->Started()) {
        m_navigator->Start(folder);
        return;
    }
    m_navigator->GoToFolder(folder);
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

void TFormMain::Open1Click()
{
    m_navigator->Open1Click();
}

void TFormMain::TbGoAddressClick()
{
    m_navigator->TbGoAddressClick();
}

void TFormMain::Content1Click()
{
    m_help->Content1Click();
}

void TFormMain::Homepage1Click()
{
    m_help->Homepage1Click();
}

void TFormMain::Reportabug1Click()
{
    m_help->Reportabug1Click();
}

void TFormMain::Viewbugs1Click()
{
    m_help->Viewbugs1Click();
}

void TFormMain::About1Click()
{
    m_help->About1Click();
}

} // namespace varnello
