#include "MainMenus.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace varnello {

MainMenus::MainMenus(QMainWindow& window) : m_window(window)
{
    m_window.menuBar()->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = AddMenu("File1", QCoreApplication::translate("MainMenus", "&File"));
    Open1 = AddItem(file, "Open1", QCoreApplication::translate("MainMenus", "&Open"));
    ExportAction =
        AddItem(file, "ExportAction", QCoreApplication::translate("MainMenus", "&Export..."));
    Exit1 = AddItem(file, "Exit1", QCoreApplication::translate("MainMenus", "E&xit"));

    QMenu* edit = AddMenu("EditMenu", QCoreApplication::translate("MainMenus", "&Edit"));
    UndoAction = AddItem(edit, "UndoAction", QCoreApplication::translate("MainMenus", "&Undo"));
    UndoAction->setShortcut(QKeySequence::Undo);
    RedoAction = AddItem(edit, "RedoAction", QCoreApplication::translate("MainMenus", "&Redo"));
    // The desktop's own keys, and Ctrl+Y wherever that is not one of them.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y))) {
        redoKeys.append(QKeySequence(Qt::CTRL | Qt::Key_Y));
    }
    RedoAction->setShortcuts(redoKeys);
    UndoAction->setEnabled(false);
    RedoAction->setEnabled(false);

    QMenu* command = AddMenu("Command1", QCoreApplication::translate("MainMenus", "&Command"));
    ModifyAction =
        AddItem(command, "ModifyAction", QCoreApplication::translate("MainMenus", "&Modify"));
    ModifyAction->setEnabled(false);
    command->addSeparator();
    NumberTracksAction = AddItem(command, "NumberTracksAction",
                                 QCoreApplication::translate("MainMenus", "&Number tracks"));
    NumberTracksTotalAction =
        AddItem(command, "NumberTracksTotalAction",
                QCoreApplication::translate("MainMenus", "Number tracks as n/&total"));
    TagsFromNamesAction =
        AddItem(command, "TagsFromNamesAction",
                QCoreApplication::translate("MainMenus", "Tags from file n&ames..."));
    RenameFilesAction =
        AddItem(command, "RenameFilesAction",
                QCoreApplication::translate("MainMenus", "&Rename files from tags..."));
    for (QAction* action :
         {NumberTracksAction, NumberTracksTotalAction, TagsFromNamesAction, RenameFilesAction}) {
        action->setEnabled(false);
    }
    command->addSeparator();
    KeepTimesAction =
        AddItem(command, "KeepTimesAction",
                QCoreApplication::translate("MainMenus", "&Keep modification times"), true);
    KeepTimesAction->setChecked(false);

    QMenu* view = AddMenu("View1", QCoreApplication::translate("MainMenus", "&View"));
    TbToolBar =
        AddItem(view, "TbToolBar", QCoreApplication::translate("MainMenus", "&Toolbar"), true);
    TbDirectory =
        AddItem(view, "TbDirectory", QCoreApplication::translate("MainMenus", "&Directory"), true);
    tmiPropertiesView = AddItem(view, "tmiPropertiesView",
                                QCoreApplication::translate("MainMenus", "&Properties View"), true);
    TbStatusbar =
        AddItem(view, "TbStatusbar", QCoreApplication::translate("MainMenus", "&Statusbar"), true);
    view->addSeparator();
    GenreNamesAction =
        AddItem(view, "GenreNamesAction",
                QCoreApplication::translate("MainMenus", "Genre names for references"), true);
    GenreNamesAction->setChecked(false);
    SubfoldersAction =
        AddItem(view, "SubfoldersAction",
                QCoreApplication::translate("MainMenus", "Include &subfolders"), true);
    SubfoldersAction->setChecked(false);
    FilterAction =
        AddItem(view, "FilterAction", QCoreApplication::translate("MainMenus", "&Filter"));
    FilterAction->setShortcut(QKeySequence::Find);

    QMenu* help = AddMenu("Help1", QCoreApplication::translate("MainMenus", "&Help"));
    Content1 = AddItem(help, "Content1", QCoreApplication::translate("MainMenus", "&Content"));
    Homepage1 = AddItem(help, "Homepage1", QCoreApplication::translate("MainMenus", "Home&page"));
    help->addSeparator();
    Reportabug1 =
        AddItem(help, "Reportabug1", QCoreApplication::translate("MainMenus", "&Report a bug"));
    Viewbugs1 = AddItem(help, "Viewbugs1", QCoreApplication::translate("MainMenus", "&View bugs"));
    help->addSeparator();
    About1 = AddItem(help, "About1", QCoreApplication::translate("MainMenus", "&About"));

    PopMenuLVFile = new QMenu(&m_window);
    PopMenuLVFile->setObjectName(QStringLiteral("PopMenuLVFile"));
    menuModifyMp3Info = AddItem(PopMenuLVFile, "menuModifyMp3Info",
                                QCoreApplication::translate("MainMenus", "&Modify"));
    menuModifyMp3Info->setVisible(false);
}

QMenu* MainMenus::AddMenu(const char* objectName, const QString& title)
{
    QMenu* menu = m_window.menuBar()->addMenu(title);
    menu->setObjectName(QString::fromLatin1(objectName));
    return menu;
}

QAction* MainMenus::AddItem(QMenu* menu, const char* objectName, const QString& text,
                            bool checkable)
{
    auto* action = new QAction(text, &m_window);
    action->setObjectName(QString::fromLatin1(objectName));
    if (checkable) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    menu->addAction(action);
    return action;
}

} // namespace varnello
