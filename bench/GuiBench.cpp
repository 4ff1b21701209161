// Window benchmark: listing a folder of realistic MP3 files in the offscreen
// main window, against the folder reader's listing of the same folder alone:
// the time until the first rows are in the table, the longest stall of the
// event loop while the rest is read (a 2 ms timer records how late its ticks
// come), the total time; and sorting the filled table by a column.
//
//   varnello-guibench [--files N] [--rounds R] [--dir FOLDER]
//
// The folder is the listing benchmark's (generated once, then reused).

#include "Corpus.h"
#include "FileTable.h"
#include "FolderReader.h"
#include "TFormMain.h"
#include "TListViewSort.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options
{
    std::size_t Files = 10000;
    int Rounds = 3;
    std::string Folder;
};

constexpr const char* kUsage =
    "Usage: varnello-guibench [--files N] [--rounds R] [--dir FOLDER] [QT-OPTIONS]\n"
    "\n"
    "Rebuilds the file table of the offscreen main window from a folder of N\n"
    "realistic MP3 files (default 10000) and sorts it by a few columns, R times\n"
    "(default 3), against the folder reader's listing alone. The folder is the\n"
    "listing benchmark's (generated once, then reused); FOLDER must be missing,\n"
    "empty or made by a benchmark. Nothing is removed.\n";

// Before the application exists, so that the help needs no display.
bool AsksForHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return true;
        }
    }
    return false;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--files" && hasValue) {
            options.Files = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--rounds" && hasValue) {
            options.Rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--dir" && hasValue) {
            options.Folder = argv[++i];
        } else {
            std::fputs(kUsage, stderr);
            return false;
        }
    }
    return options.Files > 0;
}

double SecondsOf(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Runs until the window has laid out and painted what the last step changed.
void Settle()
{
    QCoreApplication::processEvents();
}

struct ListingTimes
{
    double FirstRows = 0; // until the table shows rows
    double LongestStall = 0;
    double Total = 0;
};

// Lists the folder in the window and runs the event loop until the read is
// done, with a timer whose late ticks measure how long the loop was stalled.
ListingTimes ListInWindow(varnello::TFormMain& window, varnello::TListViewSort& table,
                          const QString& folder)
{
    ListingTimes times;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        times.LongestStall = std::max(times.LongestStall, SecondsOf(sinceTick));
        sinceTick.restart();
    });
    QElapsedTimer timer;
    timer.start();
    window.ReadFileList(folder);
    table.viewport()->repaint(); // the first rows on screen
    times.FirstRows = SecondsOf(timer);
    sinceTick.start();
    ticker.start(2);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.IsListing()) {
            loop.quit();
        }
    });
    poll.start(1);
    loop.exec();
    Settle();
    times.Total = SecondsOf(timer);
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    if (AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return 2;
    }
    const std::string folder =
        varnello::testsupport::PrepareBenchmarkCorpus(options.Folder, options.Files);
    if (folder.empty()) {
        return 1;
    }
    varnello::FolderReader().ReadFolder(folder); // warm the page cache

    varnello::TFormMain window;
    window.show();
    Settle();
    auto* table = window.findChild<varnello::TListViewSort*>(QStringLiteral("clsLVFile"));
    const QString qtFolder = QFile::decodeName(QByteArray::fromStdString(folder));

    double listBest = 1e9;
    ListingTimes best{1e9, 1e9, 1e9};
    double stallWorst = 0;
    double sortWorst = 0;
    double sortBest = 1e9;
    std::size_t rows = 0;
    const int sortColumns[] = {varnello::filetable::kTitle, varnello::filetable::kNo,
                               varnello::filetable::kComment, varnello::filetable::kTitle};
    for (int round = 0; round < options.Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        rows = varnello::FolderReader().ReadFolder(folder).size();
        listBest = std::min(listBest, SecondsOf(timer));

        const ListingTimes times = ListInWindow(window, *table, qtFolder);
        best.FirstRows = std::min(best.FirstRows, times.FirstRows);
        best.LongestStall = std::min(best.LongestStall, times.LongestStall);
        best.Total = std::min(best.Total, times.Total);
        stallWorst = std::max(stallWorst, times.LongestStall);

        for (int column : sortColumns) {
            timer.restart();
            table->SortByColumn(column);
            Settle();
            const double seconds = SecondsOf(timer);
            sortWorst = std::max(sortWorst, seconds);
            sortBest = std::min(sortBest, seconds);
        }
    }

    const int tableRows = table->Rows().RowCount();
    std::printf("Files: %zu listed, %d rows in the table (best of %d rounds, warm page cache)\n",
                rows, tableRows, options.Rounds);
    std::printf("  listing alone      %8.3f s\n", listBest);
    std::printf("  first rows shown   %8.3f s  (target under 0.100 s)\n", best.FirstRows);
    std::printf("  longest stall      %8.3f s best, %.3f s worst (target under 0.050 s)\n",
                best.LongestStall, stallWorst);
    std::printf("  window total       %8.3f s  %.2fx the listing (target 1.15x or less)\n",
                best.Total, best.Total / listBest);
    std::printf("  sort by a column   %8.3f s best, %.3f s worst (target under 0.2 s)\n", sortBest,
                sortWorst);
    return static_cast<std::size_t>(tableRows) == rows ? 0 : 1;
}
