#include "FolderLoader.h"

#include <QMetaObject>
#include <chrono>
#include <system_error>
#include <utility>

namespace varnello {

namespace {

// After the first batch, rows go to the window after this much time or this
// many rows, whichever comes first: often enough to look live, seldom enough
// that the window's work stays small beside the reading. Every batch costs a
// repaint of the table (shaping the text of every visible cell), whatever
// its size; the row limit bounds the time one insertion takes.
constexpr auto kBatchInterval = std::chrono::milliseconds(100);
constexpr std::size_t kBatchRows = 10000;

} // namespace

FolderSource FolderSource::Module()
{
    FolderSource source;
    source.ListNames = [](const std::string& folder, bool subfolders, const std::stop_token& stop) {
        Listing listing;
        std::error_code error; // a folder that cannot be read lists no names
        listing.Names =
            subfolders ? FolderReader::ListMp3NamesRecursive(folder, error, listing.Skipped, stop)
                       : FolderReader::ListMp3Names(folder, error);
        listing.Stopped = stop.stop_requested();
        return listing;
    };
    source.ReadRows = [](const std::string& folder, const std::vector<std::string>& names,
                         const FolderReader::RowSink& sink) {
        FolderReader().ReadRows(folder, names, sink);
    };
    return source;
}

FolderLoader::FolderLoader(FolderSource source, QObject* parent)
    : QObject(parent), m_source(std::move(source))
{
    FolderSource module = FolderSource::Module();
    if (!m_source.ListNames) {
        m_source.ListNames = std::move(module.ListNames);
    }
    if (!m_source.ReadRows) {
        m_source.ReadRows = std::move(module.ReadRows);
    }
}

FolderLoader::~FolderLoader()
{
    Stop(m_listing);
    Stop(m_reading);
}

void FolderLoader::Stop(Job& job)
{
    job.Id = 0; // its deliveries still queued are dropped
    if (job.Worker.joinable()) {
        job.Worker.request_stop();
        job.Worker.join();
    }
    job.Early.clear();
    job.EarlyLast = false;
}

bool FolderLoader::Running() const
{
    return m_listing.Id != 0 || m_readingRows;
}

void FolderLoader::Cancel()
{
    if (m_listing.Id != 0) {
        m_stopNames.request_stop();
    }
    // A folder whose names are still being listed opens all the same: the
    // file list already points at it.
    Stop(m_reading);
    if (m_readingRows) {
        m_readingRows = false;
        emit Finished(true);
    }
}

void FolderLoader::Start(const std::string& folder)
{
    Stop(m_listing);
    const unsigned id = ++m_lastId;
    m_listing.Id = id;
    m_stopNames = std::stop_source();
    if (m_subfolders) {
        emit ListingSubfolders(folder);
    }
    // Runs on the worker; what it hands over is queued for the GUI thread,
    // where a delivery of a read since stopped or replaced is dropped.
    m_listing.Worker =
        std::jthread([this, id, folder, subfolders = m_subfolders, source = m_source,
                      cancel = m_stopNames.get_token()](const std::stop_token& stop) {
            FolderSource::Listing listing = source.ListNames(folder, subfolders, cancel);
            if (stop.stop_requested()) {
                return;
            }
            const std::vector<std::string>& names = listing.Names;
            const bool empty = names.empty();
            QMetaObject::invokeMethod(
                this, [this, id, folder, listing] { NamesArrived(id, folder, listing); },
                Qt::QueuedConnection);
            if (empty) {
                return;
            }
            using Clock = std::chrono::steady_clock;
            std::vector<FileRow> batch;
            bool first = true;
            auto sent = Clock::now();
            const auto deliver = [this, id](std::vector<FileRow> rows, bool last) {
                QMetaObject::invokeMethod(
                    this,
                    [this, id, rows = std::move(rows), last]() mutable {
                        RowsArrived(id, std::move(rows), last);
                    },
                    Qt::QueuedConnection);
            };
            source.ReadRows(folder, names, [&](std::vector<FileRow>&& rows) {
                if (stop.stop_requested()) {
                    return false;
                }
                if (batch.empty()) {
                    batch = std::move(rows);
                } else {
                    batch.insert(batch.end(), std::make_move_iterator(rows.begin()),
                                 std::make_move_iterator(rows.end()));
                }
                // The first rows go at once, so that the table fills before the
                // first repaint.
                if (first || batch.size() >= kBatchRows || Clock::now() - sent >= kBatchInterval) {
                    deliver(std::move(batch), false);
                    batch.clear();
                    first = false;
                    sent = Clock::now();
                }
                return true;
            });
            if (!stop.stop_requested()) {
                deliver(std::move(batch), true);
            }
        });
}

void FolderLoader::NamesArrived(unsigned id, const std::string& folder,
                                const FolderSource::Listing& listing)
{
    const std::vector<std::string>& names = listing.Names;
    if (id != m_listing.Id) {
        return;
    }
    // The window may ask a question before it takes the new folder (an edit
    // of the old one to save); rows that come meanwhile wait in Early.
    emit NamesListed(folder, names);
    if (id != m_listing.Id) {
        return; // started again or cancelled meanwhile
    }
    if (names.empty()) {
        // The worker has ended; the read of the table's folder goes on.
        Stop(m_listing);
        return;
    }
    Stop(m_reading);
    m_reading.Worker = std::move(m_listing.Worker);
    m_reading.Id = id;
    m_listing.Id = 0;
    m_readingRows = true;
    m_skipped = listing.Skipped;
    m_listingStopped = listing.Stopped;
    std::vector<FileRow> early = std::move(m_listing.Early);
    const bool last = m_listing.EarlyLast;
    m_listing.Early.clear();
    m_listing.EarlyLast = false;
    if (!early.empty()) {
        emit RowsRead(early);
    }
    if (last) {
        m_readingRows = false;
        emit Finished(false);
    }
}

void FolderLoader::RowsArrived(unsigned id, std::vector<FileRow> rows, bool last)
{
    if (id == m_listing.Id) {
        m_listing.Early.insert(m_listing.Early.end(), std::make_move_iterator(rows.begin()),
                               std::make_move_iterator(rows.end()));
        m_listing.EarlyLast = last;
        return;
    }
    if (id != m_reading.Id) {
        return;
    }
    if (!rows.empty()) {
        emit RowsRead(rows);
    }
    if (last) {
        m_readingRows = false;
        emit Finished(false);
    }
}

} // namespace varnello
