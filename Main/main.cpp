// Varnello's start: the application, its one main window on the working
// folder, and the event loop.

#include "TFormMain.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnello"));
    QApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));

    varnello::TFormMain window;
    window.show();
    window.ShowFolder(QDir::currentPath());
    return QApplication::exec();
}
