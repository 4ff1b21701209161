// Varnello's start: the application, its one main window on the working
// folder, and the event loop.

#include "Platform.h"
#include "TFormMain.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

int main(int argc, char* argv[])
{
    // A file size limit fails a save with a status instead of ending Varnello.
    varnello::platform::KeepRunningAtFileSizeLimit();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnello"));
    QApplication::setApplicationVersion(QStringLiteral(VARNELLO_VERSION));

    varnello::TFormMain window;
    window.show();
    // The working folder is read once the event loop runs: the window is on
    // screen during a long listing, and closing it then ends the program.
    QTimer::singleShot(0, &window, [&window] { window.ShowFolder(QDir::currentPath()); });
    return QApplication::exec();
}
