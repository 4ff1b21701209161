#pragma once
// The main window's menu bar and the file table's popup menu. Items that the
// window does not use do not exist; handlers are connected by the window.

class QAction;
class QMainWindow;
class QMenu;
class QString;

namespace varnello {

class MainMenus
{
public:
    // Builds the menu bar of `window`; the actions are children of it.
    explicit MainMenus(QMainWindow& window);

    QAction* Open1 = nullptr;
    QAction* ExportAction = nullptr; // File > Export...: the table as shown, as CSV
    QAction* Exit1 = nullptr;
    QAction* UndoAction = nullptr; // Edit > Undo: takes back the last save or rename
    QAction* RedoAction = nullptr;
    QAction* ModifyAction = nullptr;
    // 1..n, or "1/n".."n/n", into the Track field of the selected files.
    QAction* NumberTracksAction = nullptr;
    QAction* NumberTracksTotalAction = nullptr;
    QAction* TagsFromNamesAction = nullptr;
    QAction* RenameFilesAction = nullptr;
    QAction* KeepTimesAction = nullptr;
    QAction* TbToolBar = nullptr;
    QAction* TbDirectory = nullptr;
    QAction* tmiPropertiesView = nullptr;
    QAction* TbStatusbar = nullptr;
    QAction* GenreNamesAction = nullptr; // unchecked until the settings say otherwise
    QAction* FilterAction = nullptr;     // Ctrl+F: to the filter box
    // The table lists the MP3 files of the subfolders too; unchecked until
    // the settings say otherwise.
    QAction* SubfoldersAction = nullptr;
    QAction* Content1 = nullptr;
    QAction* Homepage1 = nullptr;
    QAction* Reportabug1 = nullptr;
    QAction* Viewbugs1 = nullptr;
    QAction* About1 = nullptr;

    QMenu* PopMenuLVFile = nullptr;
    QAction* menuModifyMp3Info = nullptr;

private:
    QMenu* AddMenu(const char* objectName, const QString& title);
    QAction* AddItem(QMenu* menu, const char* objectName, const QString& text,
                     bool checkable = false);

    QMainWindow& m_window;
};

} // namespace varnello
