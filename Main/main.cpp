// Varnello's start: the application, its one main window on the working
// folder, and the event loop.

#include "Platform.h"
#include "TFormMain.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: varnello [QT-OPTIONS]\n"
    "\n"
    "Opens the Varnello window on the working folder: the MP3 files of the folder\n"
    "with their ID3 tags, to view and edit. Qt's own options (-platform, -style,\n"
    "-display, -geometry, -reverse ...) work as in any Qt program.\n"
    "The command-line tool varnello-tag lists, shows and sets tags without a window.\n"
    "\n"
    "  -h, --help   show this help and exit\n";

// Asked before any window or display exists, so that the help works without
// a screen and touches nothing. Only options before a "--" count.
bool AsksForHelp(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            return false;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
            std::strcmp(argv[i], "-help") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (AsksForHelp(argc, argv)) {
        std::fputs(QCoreApplication::translate("main", kUsage).toLocal8Bit().constData(), stdout);
        return 0;
    }
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
