#pragma once
// Reads a folder for the window on a worker thread: first the MP3 names, then
// the rows, with the module's pool of readers (FolderReader::ReadRows), handed
// to the window in table order: the first batch at once, then in batches.
// A folder without MP3 files replaces nothing: the read it would have
// replaced goes on. A folder with MP3 files replaces the read under way,
// which then delivers nothing more; so does Cancel. Nothing is shared with the window but
// the names and the finished rows.

#include "FileRow.h"
#include "FolderReader.h"

#include <QObject>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace varnello {

// Where the window's names and rows come from: the module, unless tests put
// in folders of their own, or slow down or count the reads. Both are called
// on the loader's worker thread.
struct FolderSource
{
    // A folder's MP3 names, with those of its subfolders as relative paths
    // ("sub/a.mp3") when `subfolders` is set, and the subfolders that could
    // not be read.
    struct Listing
    {
        std::vector<std::string> Names;
        std::vector<FolderReader::SkippedFolder> Skipped;
        bool Stopped = false; // Cancel ended it early: the names found so far
    };
    // A lister that takes long (the subfolders of a large tree) stops when
    // `stop` asks.
    using NameLister = std::function<Listing(const std::string& folder, bool subfolders,
                                             const std::stop_token& stop)>;
    // Reads the rows of `names` (numbered from 0 in that order) into `sink`,
    // in order, until it returns false.
    using RowReader =
        std::function<void(const std::string& folder, const std::vector<std::string>& names,
                           const FolderReader::RowSink& sink)>;

    NameLister ListNames;
    RowReader ReadRows;

    // FolderReader's listing and its pool of readers.
    static FolderSource Module();
};

class FolderLoader : public QObject
{
    Q_OBJECT

public:
    // Empty members of `source` are the module's.
    explicit FolderLoader(FolderSource source, QObject* parent = nullptr);
    ~FolderLoader() override;

    // Lists `folder`, with its subfolders when they are asked for, and
    // reads its rows.
    void Start(const std::string& folder);
    // Stops the read of rows under way; rows not yet delivered are dropped.
    // A listing of subfolders under way stops at the next folder, and the
    // names found so far are read.
    void Cancel();
    // A read is under way: its names or its rows are still to come.
    bool Running() const;
    // Reads started from now on list the subfolders too.
    void SetSubfolders(bool subfolders) { m_subfolders = subfolders; }
    // The subfolders the listing of the table's rows could not read.
    const std::vector<FolderReader::SkippedFolder>& SkippedFolders() const { return m_skipped; }
    // The listing of the table's rows was stopped before it was complete.
    bool ListingStopped() const { return m_listingStopped; }

signals:
    // A listing of a folder and its subfolders started; it may take long.
    void ListingSubfolders(const std::string& folder);
    // A started folder's names; rows follow only when there are any.
    void NamesListed(const std::string& folder, const std::vector<std::string>& names);
    // The next rows in table order; a receiver may take them.
    void RowsRead(std::vector<FileRow>& rows);
    // The rows' read ended, after its last batch, on its own or by Cancel.
    void Finished(bool cancelled);

private:
    struct Job
    {
        std::jthread Worker;
        unsigned Id = 0;
        // Rows that came while the window was still taking the names in.
        std::vector<FileRow> Early;
        bool EarlyLast = false;
    };
    static void Stop(Job& job);
    void NamesArrived(unsigned id, const std::string& folder, const FolderSource::Listing& listing);
    void RowsArrived(unsigned id, std::vector<FileRow> rows, bool last);

    FolderSource m_source;
    unsigned m_lastId = 0;
    Job m_listing; // a started read whose names are not in yet
    Job m_reading; // the read whose rows go to the table
    bool m_readingRows = false;
    bool m_subfolders = false;
    std::vector<FolderReader::SkippedFolder> m_skipped;
    bool m_listingStopped = false;
    // Stops the listing of names under way (Cancel), not its replacement.
    std::stop_source m_stopNames;
};

} // namespace varnello
