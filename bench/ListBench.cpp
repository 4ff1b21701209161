// Listing benchmark: reads a folder of realistic MP3 files into table rows
// and compares the time with the physical floor measured in the same run: a
// loop that per file opens it, reads the 10-byte header and the tag body,
// reads the last 128 bytes and closes it. Also reports how much the peak
// memory grows while listing, beside the memory the rows themselves hold.
//
// With --cold the files' pages are dropped from the page cache before each
// run, and the pooled listing is compared with that read done by one thread,
// file after file: the reads of a listing wait for the disk together, those
// of one thread one after another.
//
// With --recursive the same files are also linked into 100 subfolders of a
// second folder, and the recursive listing of that folder is compared with
// the listing of the one folder.

#include "Corpus.h"
#include "FolderReader.h"
#include "PageCache.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    std::size_t Files = 10000;
    int Rounds = 5;
    std::string Folder; // empty: a new folder under the temporary folder
    bool Keep = false;
    bool Cold = false;
    bool Recursive = false;
    std::vector<unsigned> Readers{varnello::FolderReader::kDefaultReaders};
};

constexpr const char* kUsage =
    "Usage: varnello-listbench [--files N] [--rounds R] [--dir FOLDER] [--keep]\n"
    "                          [--cold [--readers N,M,...]] [--recursive]\n"
    "\n"
    "Lists a folder of N realistic MP3 files (default 10000) into table rows, R times\n"
    "(default 5), against a bare read of the same bytes, and reports the peak memory.\n"
    "The files are generated into FOLDER (default: a folder under the temporary\n"
    "folder) unless an earlier run left them there. FOLDER must be missing, empty or\n"
    "made by a benchmark; it is kept. The default folder is removed at the end\n"
    "unless --keep is given.\n"
    "\n"
    "--cold drops the files' pages from the page cache before each run and compares\n"
    "the pooled listing, with each number of readers given (default 8), with one\n"
    "thread reading the same bytes file after file, cold and then warm; the median\n"
    "of R rounds counts.\n"
    "\n"
    "--recursive (or --subfolders) links the same files into 100 subfolders of\n"
    "FOLDER.subfolders and compares listing them recursively (names and rows)\n"
    "with listing the one folder, taking turns; the best of R rounds counts. The\n"
    "subfolders are removed with the folder.\n";

enum class Parsed
{
    kRun,
    kHelp,
    kWrong
};

Parsed ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            return Parsed::kHelp;
        }
        if (arg == "--files" && hasValue) {
            options.Files = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--rounds" && hasValue) {
            options.Rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--dir" && hasValue) {
            options.Folder = argv[++i];
            options.Keep = true;
        } else if (arg == "--keep") {
            options.Keep = true;
        } else if (arg == "--recursive" || arg == "--subfolders") {
            options.Recursive = true;
        } else if (arg == "--cold") {
            options.Cold = true;
        } else if (arg == "--readers" && hasValue) {
            options.Readers.clear();
            std::istringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');) {
                options.Readers.push_back(
                    static_cast<unsigned>(std::max(1L, std::strtol(item.c_str(), nullptr, 10))));
            }
        } else {
            std::fputs(kUsage, stderr);
            return Parsed::kWrong;
        }
    }
    return options.Files > 0 && !options.Readers.empty() ? Parsed::kRun : Parsed::kWrong;
}

// Reads a "Name:   1234 kB" line of /proc/self/status, in KiB.
long StatusKiB(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::atol(line.c_str() + prefix.size());
        }
    }
    return -1;
}

// Lets VmHWM start again from the current size (Linux 4.0 and later).
bool ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

std::size_t RowBytes(const std::vector<varnello::FileRow>& rows)
{
    const auto text = [](const std::string& s) {
        return s.capacity() > 15 ? s.capacity() + 1 : std::size_t{0};
    };
    std::size_t bytes = rows.capacity() * sizeof(varnello::FileRow);
    for (const auto& row : rows) {
        const auto& f = row.Fields;
        bytes += text(row.FileName) + text(f.Title) + text(f.Artist) + text(f.Album) +
                 text(f.Year) + text(f.Genre) + text(f.Comment);
    }
    return bytes;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// CPU time of this process, every reader thread included (user and system):
// unlike the wall clock it does not count the time other programs of a
// shared machine take.
double CpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Timing
{
    double Wall = 1e9;
    double Cpu = 1e9;
};

template <typename Work> void Measure(Timing& best, const Work& work)
{
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    work();
    best.Cpu = std::min(best.Cpu, CpuSeconds() - cpuStart);
    best.Wall = std::min(best.Wall, Seconds(Clock::now() - start));
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Cold and warm wall times of the single-threaded read and of the pooled
// listing with each number of readers. In each round every measurement
// runs once cold (right after the folder's pages were dropped) and once
// warm (right after that), the order turning from round to round so that
// none always follows the same other.
int RunCold(const std::string& folder, const std::vector<std::string>& names,
            const Options& options)
{
    const std::size_t kinds = 1 + options.Readers.size();
    std::vector<std::vector<double>> cold(kinds);
    std::vector<std::vector<double>> warm(kinds);
    std::size_t rowCount = 0;
    double evicting = 0;
    const auto run = [&](std::size_t kind) {
        const auto start = Clock::now();
        if (kind == 0) {
            volatile std::size_t sink = varnello::bench::ReadFloor(folder, names);
            (void)sink;
        } else {
            std::size_t rows = 0;
            varnello::FolderReader().ReadRows(
                folder, names,
                [&](std::vector<varnello::FileRow>&& batch) {
                    rows += batch.size();
                    return true;
                },
                options.Readers[kind - 1]);
            rowCount = rows;
        }
        return Seconds(Clock::now() - start);
    };
    for (int round = 0; round < options.Rounds; ++round) {
        for (std::size_t i = 0; i < kinds; ++i) {
            const std::size_t kind = (i + static_cast<std::size_t>(round)) % kinds;
            const auto start = Clock::now();
            if (!varnello::bench::EvictFolder(folder, names)) {
                std::fputs("Could not drop every file's pages from the page cache.\n", stderr);
                return 1;
            }
            evicting += Seconds(Clock::now() - start);
            cold[kind].push_back(run(kind));
            warm[kind].push_back(run(kind));
        }
    }
    std::printf("Files listed: %zu (median of %d rounds; cold: the files' pages dropped "
                "before each run)\n",
                rowCount, options.Rounds);
    std::printf("                          cold        warm   cold/warm\n");
    const double floorCold = Median(cold[0]);
    for (std::size_t kind = 0; kind < kinds; ++kind) {
        const double c = Median(cold[kind]);
        const double w = Median(warm[kind]);
        if (kind == 0) {
            std::printf("  read, 1 thread      %7.3f s   %7.3f s   %6.1fx\n", c, w, c / w);
        } else {
            std::printf("  listing, %2u readers  %7.3f s   %7.3f s   %6.1fx   cold: %.2fx the "
                        "read (target 0.5x or less)\n",
                        options.Readers[kind - 1], c, w, c / w, c / floorCold);
        }
    }
    std::printf("Dropping the pages took %.2f s per run.\n",
                evicting / static_cast<double>(kinds * static_cast<std::size_t>(options.Rounds)));
    return 0;
}

constexpr std::size_t kSubfolders = 100;
constexpr const char* kTreeMarker = ".varnello-benchmark-tree";

// The corpus's files, hard-linked into kSubfolders subfolders of a folder
// beside it (reused when a kept run left it); empty when it cannot be made.
std::string LinkIntoSubfolders(const std::string& folder, const std::vector<std::string>& names)
{
    namespace fs = std::filesystem;
    const std::string tree = folder + ".subfolders";
    std::error_code error;
    if (fs::exists(tree) && !fs::exists(fs::path(tree) / kTreeMarker)) {
        std::fprintf(stderr, "%s exists and was not made by this benchmark.\n", tree.c_str());
        return {};
    }
    fs::create_directories(tree, error);
    std::ofstream(fs::path(tree) / kTreeMarker).put('\n');
    for (std::size_t i = 0; i < names.size() && !error; ++i) {
        char sub[16];
        std::snprintf(sub, sizeof sub, "sub-%03zu", i % kSubfolders);
        const fs::path target = fs::path(tree) / sub / names[i];
        fs::create_directories(target.parent_path(), error);
        if (!error && !fs::exists(target)) {
            fs::create_hard_link(fs::path(folder) / names[i], target, error);
        }
    }
    if (error) {
        std::fprintf(stderr, "Cannot link the files into %s: %s\n", tree.c_str(),
                     error.message().c_str());
        return {};
    }
    return tree;
}

// Lists a folder as the tool does, names first and then the rows; the
// number of rows.
std::size_t ListFolder(const std::string& folder, bool recursive)
{
    std::error_code error;
    std::vector<varnello::FolderReader::SkippedFolder> skipped;
    const std::vector<std::string> names =
        recursive ? varnello::FolderReader::ListMp3NamesRecursive(folder, error, skipped)
                  : varnello::FolderReader::ListMp3Names(folder, error);
    std::size_t rows = 0;
    varnello::FolderReader().ReadRows(folder, names, [&](std::vector<varnello::FileRow>&& batch) {
        rows += batch.size();
        return true;
    });
    return rows;
}

int RunRecursive(const std::string& folder, const std::vector<std::string>& names,
                 const Options& options)
{
    const std::string tree = LinkIntoSubfolders(folder, names);
    if (tree.empty()) {
        return 1;
    }
    ListFolder(folder, false); // the same files: one warm page cache for both
    Timing flat;
    Timing recursive;
    std::size_t flatRows = 0;
    std::size_t treeRows = 0;
    for (int round = 0; round < options.Rounds; ++round) {
        const bool treeFirst = round % 2 == 1;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == treeFirst) {
                Measure(recursive, [&] { treeRows = ListFolder(tree, true); });
            } else {
                Measure(flat, [&] { flatRows = ListFolder(folder, false); });
            }
        }
    }
    std::printf("Files listed: %zu in one folder, %zu in %zu subfolders (best of %d rounds, "
                "warm page cache)\n",
                flatRows, treeRows, kSubfolders, options.Rounds);
    std::printf("                 wall time   CPU time\n");
    std::printf("  one folder     %7.3f s   %7.3f s\n", flat.Wall, flat.Cpu);
    std::printf("  subfolders     %7.3f s   %7.3f s\n", recursive.Wall, recursive.Cpu);
    std::printf("  subfolders / one folder: %.2fx wall, %.2fx CPU (target 1.2x or less)\n",
                recursive.Wall / flat.Wall, recursive.Cpu / flat.Cpu);
    if (!options.Keep) {
        std::error_code ignored;
        std::filesystem::remove_all(tree, ignored);
    }
    return flatRows == treeRows ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    switch (ParseOptions(argc, argv, options)) {
    case Parsed::kHelp:
        std::fputs(kUsage, stdout);
        return 0;
    case Parsed::kWrong:
        return 2;
    case Parsed::kRun:
        break;
    }
    const std::string folder =
        varnello::testsupport::PrepareBenchmarkCorpus(options.Folder, options.Files);
    if (folder.empty()) {
        return 1;
    }
    const std::vector<std::string> names = varnello::FolderReader::ListMp3Names(folder);
    if (options.Cold || options.Recursive) {
        const int result =
            options.Cold ? RunCold(folder, names, options) : RunRecursive(folder, names, options);
        if (!options.Keep) {
            varnello::testsupport::RemoveBenchmarkCorpus(folder);
        }
        return result;
    }
    varnello::bench::ReadFloor(folder, names); // warm the page cache: both loops read from memory

    Timing floor;
    Timing listing;
    std::size_t rowCount = 0;
    long peakGrowth = 0;
    std::size_t rowBytes = 0;
    for (int round = 0; round < options.Rounds; ++round) {
        Measure(floor, [&] {
            volatile std::size_t sink = varnello::bench::ReadFloor(folder, names);
            (void)sink;
        });
        const bool peakReset = ResetPeak();
        const long before = StatusKiB("VmRSS");
        std::vector<varnello::FileRow> rows;
        Measure(listing, [&] { rows = varnello::FolderReader().ReadFolder(folder); });
        rowCount = rows.size();
        if (peakReset) {
            peakGrowth = std::max(peakGrowth, StatusKiB("VmHWM") - before);
        }
        rowBytes = RowBytes(rows);
    }

    const double files = static_cast<double>(rowCount);
    std::printf("Files listed: %zu (best of %d rounds, warm page cache)\n", rowCount,
                options.Rounds);
    std::printf("           wall time               CPU time (user + system)\n");
    std::printf("  floor    %7.3f s %9.0f files/s   %7.3f s %9.0f files/s\n", floor.Wall,
                files / floor.Wall, floor.Cpu, files / floor.Cpu);
    std::printf("  listing  %7.3f s %9.0f files/s   %7.3f s %9.0f files/s\n", listing.Wall,
                files / listing.Wall, listing.Cpu, files / listing.Cpu);
    std::printf("  listing / floor: %.2fx wall, %.2fx CPU (target 1.5x or less)\n",
                listing.Wall / floor.Wall, listing.Cpu / floor.Cpu);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("Memory: peak grew by %.1f MiB while listing; the rows hold %.1f MiB; "
                "max RSS of the run %.1f MiB (generation included)\n",
                static_cast<double>(peakGrowth) / 1024.0, static_cast<double>(rowBytes) / (1 << 20),
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    if (!options.Keep) {
        varnello::testsupport::RemoveBenchmarkCorpus(folder);
    }
    return 0;
}
