#include "FolderLoader.h"

#include <QMetaObject>
#include <chrono>
#include <memory>

namespace varnello {

namespace {

// A batch goes to the window after this much time or this many rows,
// whichever comes first: often enough to look live, seldom enough that
// inserting rows does not keep the event loop busy.
constexpr auto kBatchInterval = std::chrono::milliseconds(40);
constexpr std::size_t kBatchRows = 2000;

} // namespace

FolderLoader::FolderLoader(RowReader reader, QObject* parent)
    : QObject(parent), m_reader(std::move(reader))
{
}

FolderLoader::~FolderLoader()
{
    Stop();
}

void FolderLoader::Stop()
{
    ++m_generation;
    if (m_worker.joinable()) {
        m_worker.request_stop();
        m_worker.join();
    }
}

void FolderLoader::Cancel()
{
    if (!m_running) {
        return;
    }
    Stop();
    m_running = false;
    emit Finished(true);
}

void FolderLoader::Start(std::string folder, std::vector<std::string> names, std::size_t first)
{
    Stop();
    m_running = true;
    const unsigned generation = m_generation;
    // Runs on the GUI thread: a batch of a read that was since cancelled or
    // replaced is dropped.
    auto deliver = [this, generation](std::shared_ptr<std::vector<FileRow>> rows, bool last) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, rows, last] {
                if (generation != m_generation) {
                    return;
                }
                if (!rows->empty()) {
                    emit RowsRead(*rows);
                }
                if (last) {
                    m_running = false;
                    emit Finished(false);
                }
            },
            Qt::QueuedConnection);
    };
    m_worker =
        std::jthread([reader = m_reader, folder = std::move(folder), names = std::move(names),
                      first, deliver](const std::stop_token& stop) {
            using Clock = std::chrono::steady_clock;
            auto batch = std::make_shared<std::vector<FileRow>>();
            auto sent = Clock::now();
            for (std::size_t i = first; i < names.size(); ++i) {
                if (stop.stop_requested()) {
                    return;
                }
                batch->push_back(reader(folder, names[i], static_cast<int>(i)));
                if (batch->size() >= kBatchRows || Clock::now() - sent >= kBatchInterval) {
                    deliver(std::move(batch), false);
                    batch = std::make_shared<std::vector<FileRow>>();
                    sent = Clock::now();
                }
            }
            deliver(std::move(batch), true);
        });
}

} // namespace varnello
