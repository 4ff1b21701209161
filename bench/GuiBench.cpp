// Window benchmark: listing a folder of realistic MP3 files in the offscreen
// main window, against the folder reader's listing of the same folder alone:
// the time until the first rows are in the table, the longest stall of the
// event loop while the rest is read (a 2 ms timer records how late its ticks
// come), the total time; and sorting the filled table by a column. With
// --cold the files' pages are evicted from the page cache before each run,
// and the window's listing is compared with a single-threaded read of the
// same bytes, also cold. With --filter it types into the filter box over a
// table of N rows made in memory.
//
//   varnello-guibench [--files N] [--rounds R] [--dir FOLDER] [--cold | --cover | --filter]
//
// The folder is the listing benchmark's (generated once, then reused).

#include "Corpus.h"
#include "FileTable.h"
#include "FolderReader.h"
#include "Mp3Builder.h"
#include "PageCache.h"
#include "TCoverView.h"
#include "TFormMain.h"
#include "TListViewSort.h"
#include "TPatternDialog.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Options
{
    std::size_t Files = 10000;
    int Rounds = 3;
    std::string Folder;
    bool Cold = false;
    bool Cover = false;
    bool Filter = false;
    bool FromName = false;
};

constexpr const char* kUsage =
    "Usage: varnello-guibench [--files N] [--rounds R] [--dir FOLDER] [--cold] [QT-OPTIONS]\n"
    "\n"
    "Rebuilds the file table of the offscreen main window from a folder of N\n"
    "realistic MP3 files (default 10000) and sorts it by a few columns, R times\n"
    "(default 3), against the folder reader's listing alone. The folder is the\n"
    "listing benchmark's (generated once, then reused); FOLDER must be missing,\n"
    "empty or made by a benchmark. Nothing is removed.\n"
    "\n"
    "--cold evicts the files' pages from the page cache before every run and\n"
    "compares the window's listing with a single-threaded read of the same\n"
    "bytes (header, tag body, last 128 bytes of each file).\n"
    "\n"
    "--cover selects, R times each (default 3, at least 5 with --cover), a\n"
    "file with a 1 MiB JPEG cover and one with a 1 MiB PNG cover, with a file\n"
    "without a cover in between, and measures how long the cover takes to\n"
    "appear on the Content page (target under 0.050 s).\n"
    "\n"
    "--filter fills the table with N rows made in memory and types a few\n"
    "filters into the filter box a key at a time, R times each, sorted and\n"
    "unsorted; each key is timed until the table has painted (target under\n"
    "0.030 s for 10000 rows).\n";

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
        } else if (arg == "--cold") {
            options.Cold = true;
        } else if (arg == "--cover") {
            options.Cover = true;
        } else if (arg == "--from-name") {
            options.FromName = true;
        } else if (arg == "--filter") {
            options.Filter = true;
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
    double FirstRows = 0; // until the table has painted its first rows
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
    // The first rows on screen: the first insertion after the table was
    // emptied, painted at once.
    bool emptied = false;
    const QMetaObject::Connection reset =
        QObject::connect(&table.Rows(), &QAbstractItemModel::modelReset, [&] { emptied = true; });
    const QMetaObject::Connection inserted =
        QObject::connect(&table.Rows(), &QAbstractItemModel::rowsInserted, [&] {
            if (emptied && times.FirstRows == 0) {
                table.viewport()->repaint();
                times.FirstRows = SecondsOf(timer);
            }
        });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.IsListing()) {
            loop.quit();
        }
    });
    timer.start();
    window.ReadFileList(folder);
    sinceTick.start();
    ticker.start(2);
    poll.start(1);
    loop.exec();
    Settle();
    times.Total = SecondsOf(timer);
    QObject::disconnect(reset);
    QObject::disconnect(inserted);
    return times;
}

// Cold runs: each round evicts the pages, reads the bytes alone, evicts
// again and lists the folder in the window.
int RunCold(varnello::TFormMain& window, varnello::TListViewSort& table, const std::string& folder,
            const QString& qtFolder, int rounds)
{
    const std::vector<std::string> names = varnello::FolderReader::ListMp3Names(folder);
    std::vector<double> alone;
    std::vector<double> total;
    std::vector<double> first;
    std::vector<double> stall;
    for (int round = 0; round < rounds; ++round) {
        varnello::bench::EvictFolder(folder, names);
        QElapsedTimer timer;
        timer.start();
        volatile std::size_t sink = varnello::bench::ReadFloor(folder, names);
        (void)sink;
        alone.push_back(SecondsOf(timer));

        varnello::bench::EvictFolder(folder, names);
        const ListingTimes times = ListInWindow(window, table, qtFolder);
        total.push_back(times.Total);
        first.push_back(times.FirstRows);
        stall.push_back(times.LongestStall);
        std::printf("  round %d: bytes alone %.3f s, window %.3f s (%.2fx), first rows %.3f s, "
                    "longest stall %.3f s\n",
                    round + 1, alone.back(), total.back(), total.back() / alone.back(),
                    first.back(), stall.back());
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const int tableRows = table.Rows().RowCount();
    std::printf("Files: %zu, %d rows in the table (median of %d rounds, cold page cache)\n",
                names.size(), tableRows, rounds);
    std::printf("  bytes alone, 1 thread %8.3f s\n", median(alone));
    std::printf("  window total          %8.3f s  %.2fx the bytes alone (target 0.5x or less)\n",
                median(total), median(total) / median(alone));
    std::printf("  first rows shown      %8.3f s\n", median(first));
    std::printf("  longest stall         %8.3f s\n", median(stall));
    return static_cast<std::size_t>(tableRows) == names.size() ? 0 : 1;
}

// A noisy picture encoded as `format`, grown until its bytes reach about
// `size`: noise keeps the encoder from shrinking it, so the decoder has the
// work of a real photograph of that size.
QByteArray PictureOfAbout(const char* format, qsizetype size)
{
    for (int side = 256;; side += side / 4) {
        QImage image(side, side, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < side; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < side; ++x) {
                const int noise = static_cast<int>(random.bounded(64));
                line[x] = qRgb((x + noise) % 256, (y + noise) % 256, (x + y) % 256);
            }
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        writer.setQuality(90);
        writer.write(image);
        if (bytes.size() >= size) {
            return bytes;
        }
    }
}

void WriteWithCover(const QString& path, const char* mime, const QByteArray& picture)
{
    using namespace varnello::testsupport;
    Id3v2Builder tag;
    tag.Version(3).TextFrame("TIT2", "With a cover");
    if (!picture.isEmpty()) {
        const Bytes image(picture.begin(), picture.end());
        tag.Frame("APIC", Apic(mime, 3, "", image));
    }
    Mp3Builder().Tag(tag.Padding(1024).Build()).Audio(20).WriteTo(path.toStdString());
}

// Selecting a row until its cover is on screen, painted.
int RunCover(int rounds)
{
    QTemporaryDir dir;
    WriteWithCover(dir.filePath(QStringLiteral("1 jpeg.mp3")), "image/jpeg",
                   PictureOfAbout("jpeg", 1 << 20));
    WriteWithCover(dir.filePath(QStringLiteral("2 none.mp3")), "", {});
    WriteWithCover(dir.filePath(QStringLiteral("3 png.mp3")), "image/png",
                   PictureOfAbout("png", 1 << 20));
    varnello::TFormMain window;
    window.show();
    Settle();
    window.ShowFolder(dir.path());
    while (window.IsListing()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    auto* table = window.findChild<varnello::TListViewSort*>(QStringLiteral("clsLVFile"));
    auto* cover = window.findChild<varnello::TCoverView*>(QStringLiteral("CoverView"));
    const auto show = [&](int row) {
        QElapsedTimer timer;
        timer.start();
        table->SelectRows({row});
        while (cover->IsReading()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        cover->repaint();
        return SecondsOf(timer);
    };
    std::vector<double> jpeg;
    std::vector<double> png;
    for (int round = 0; round < std::max(rounds, 5); ++round) {
        jpeg.push_back(show(0));
        show(1);
        png.push_back(show(2));
        show(1);
    }
    std::sort(jpeg.begin(), jpeg.end());
    std::sort(png.begin(), png.end());
    std::printf("Cover shown after selecting its row (%zu rounds; target under 0.050 s)\n",
                jpeg.size());
    std::printf("  1 MiB JPEG  median %.3f s, worst %.3f s\n", jpeg[jpeg.size() / 2], jpeg.back());
    std::printf("  1 MiB PNG   median %.3f s, worst %.3f s\n", png[png.size() / 2], png.back());
    bool shown = true;
    for (const int row : {0, 2}) {
        show(row);
        std::printf("  row %d: %s\n", row, qPrintable(cover->Caption()));
        shown = shown && cover->HasThumbnail();
    }
    return shown ? 0 : 1;
}

// Rows as a large collection has them: a few hundred artists, albums of
// twelve tracks, some comments.
std::vector<varnello::FileRow> CollectionRows(std::size_t count)
{
    std::vector<varnello::FileRow> rows(count);
    for (std::size_t i = 0; i < count; ++i) {
        varnello::FileRow& row = rows[i];
        const std::size_t album = i / 12;
        const std::string artist = "Artist " + std::to_string(album % 400);
        row.No = static_cast<int>(i);
        row.TagKind = varnello::tagkind::kId3v2;
        row.FileName = artist + " - Album " + std::to_string(album) + " - " +
                       std::to_string(i % 12 + 1) + ".mp3";
        row.Fields.Title = "Song number " + std::to_string(i) + " of the collection";
        row.Fields.Artist = artist;
        row.Fields.Album = "Album " + std::to_string(album);
        row.Fields.Year = std::to_string(1960 + album % 60);
        row.Fields.Genre = i % 3 == 0 ? "(17)" : "Jazz";
        row.Fields.Comment = i % 5 == 0 ? "Remastered from the original tapes" : "";
        row.Fields.Track = std::to_string(i % 12 + 1);
    }
    return rows;
}

// Each key typed into the filter box, timed until the table has painted.
int RunFilter(std::size_t files, int rounds)
{
    varnello::TFormMain window;
    window.show();
    Settle();
    auto* table = window.findChild<varnello::TListViewSort*>(QStringLiteral("clsLVFile"));
    auto* box = window.findChild<QLineEdit*>(QStringLiteral("FilterBox"));
    varnello::filetable::Rows(*table).AppendRows(CollectionRows(files));
    Settle();
    const QStringList typed{QStringLiteral("remastered"), QStringLiteral("artist:artist 12"),
                            QStringLiteral("song number 9")};
    std::vector<double> keys;
    int shown = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const bool sorted : {false, true}) {
            if (sorted) {
                table->SortByColumn(varnello::filetable::kTitle);
            }
            for (const QString& text : typed) {
                for (qsizetype length = 1; length <= text.size(); ++length) {
                    QElapsedTimer timer;
                    timer.start();
                    box->setText(text.left(length));
                    table->viewport()->repaint();
                    Settle();
                    keys.push_back(SecondsOf(timer));
                }
                shown = table->ShownRowCount();
                box->clear();
                Settle();
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    std::printf("Filter box over %zu rows: %zu keys typed (target under 0.030 s a key)\n", files,
                keys.size());
    std::printf("  a key, median   %8.4f s\n", keys[keys.size() / 2]);
    std::printf("  a key, slowest  %8.4f s\n", keys.back());
    std::printf("  rows shown by the last filter: %d\n", shown);
    return 0;
}

// The tags-from-names preview of `count` rows, until it is painted.
int RunFromName(std::size_t count, int rounds)
{
    std::vector<varnello::FileRow> rows(count);
    for (std::size_t i = 0; i < count; ++i) {
        rows[i].No = static_cast<int>(i);
        rows[i].FileName = std::to_string(i + 1) + " - Artist " + std::to_string(i % 37) +
                           " - A title of song " + std::to_string(i) + ".mp3";
    }
    std::vector<double> times;
    for (int round = 0; round < std::max(rounds, 5); ++round) {
        varnello::TPatternDialog dialog(varnello::TPatternDialog::Kind::kTagsFromNames);
        dialog.findChild<QComboBox*>(QStringLiteral("cbPattern"))
            ->setEditText(QStringLiteral("%track% - %artist% - %title%"));
        dialog.show();
        Settle();
        QElapsedTimer timer;
        timer.start();
        dialog.SetRows({}, rows);
        dialog.repaint();
        times.push_back(SecondsOf(timer));
    }
    std::sort(times.begin(), times.end());
    std::printf("Tags from file names: preview of %zu files, %zu rounds (target under 0.100 s)\n",
                count, times.size());
    std::printf("  median %.3f s, worst %.3f s\n", times[times.size() / 2], times.back());
    return 0;
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
    if (options.Cover) {
        return RunCover(options.Rounds);
    }
    if (options.FromName) {
        const bool filesGiven = std::any_of(argv + 1, argv + argc, [](const char* arg) {
            return std::strcmp(arg, "--files") == 0;
        });
        return RunFromName(filesGiven ? options.Files : 1000, options.Rounds);
    }
    if (options.Filter) {
        return RunFilter(options.Files, options.Rounds);
    }
    const std::string folder =
        varnello::testsupport::PrepareBenchmarkCorpus(options.Folder, options.Files);
    if (folder.empty()) {
        return 1;
    }
    varnello::TFormMain window;
    window.show();
    Settle();
    auto* table = window.findChild<varnello::TListViewSort*>(QStringLiteral("clsLVFile"));
    const QString qtFolder = QFile::decodeName(QByteArray::fromStdString(folder));
    if (options.Cold) {
        return RunCold(window, *table, folder, qtFolder, options.Rounds);
    }
    varnello::FolderReader().ReadFolder(folder); // warm the page cache

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
