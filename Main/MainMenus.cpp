#include "MainMenus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace varnello {

MainMenus::MainMenus(QMainWindow& window) : m_window(window)
{
    m_window.menuBar()->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = AddMenu("File1", QStringLiteral("&File"));
    Open1 = AddItem(file, "Open1", QStringLiteral("&Open"));
    Exit1 = AddItem(file, "Exit1", QStringLiteral("E&xit"));

    QMenu* command = AddMenu("Command1", QStringLiteral("&Command"));
    ModifyAction = AddItem(command, "ModifyAction", QStringLiteral("&Modify"));
    ModifyAction->setEnabled(false);

    QMenu* view = AddMenu("View1", QStringLiteral("&View"));
    TbToolBar = AddItem(view, "TbToolBar", QStringLiteral("&Toolbar"), true);
    TbDirectory = AddItem(view, "TbDirectory", QStringLiteral("&Directory"), true);
    tmiPropertiesView =
        AddItem(view, "tmiPropertiesView", QStringLiteral("&Properties View"), true);
    TbStatusbar = AddItem(view, "TbStatusbar", QStringLiteral("&Statusbar"), true);

    QMenu* help = AddMenu("Help1", QStringLiteral("&Help"));
    Content1 = AddItem(help, "Content1", QStringLiteral("&Content"));
    Homepage1 = AddItem(help, "Homepage1", QStringLiteral("Home&page"));
    help->addSeparator();
    Reportabug1 = AddItem(help, "Reportabug1", QStringLiteral("&Report a bug"));
    Viewbugs1 = AddItem(help, "Viewbugs1", QStringLiteral("&View bugs"));
    help->addSeparator();
    About1 = AddItem(help, "About1", QStringLiteral("&About"));

    PopMenuLVFile = new QMenu(&m_window);
    PopMenuLVFile->setObjectName(QStringLiteral("PopMenuLVFile"));
    menuModifyMp3Info = AddItem(PopMenuLVFile, "menuModifyMp3Info", QStringLiteral("&Modify"));
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
