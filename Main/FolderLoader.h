#pragma once
// Reads the rows of a folder on a worker thread and hands them to the window
// in batches, in table order. One read at a time: starting another or
// cancelling drops whatever the previous one had not delivered yet. The
// worker has its own engine objects (each row is read by a fresh reader), so
// nothing is shared with the window but the finished rows.

#include "FileRow.h"

#include <QObject>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace varnello {

class FolderLoader : public QObject
{
    Q_OBJECT

public:
    // Reads one row; called on the worker thread.
    using RowReader =
        std::function<FileRow(const std::string& folder, const std::string& fileName, int no)>;

    explicit FolderLoader(RowReader reader, QObject* parent = nullptr);
    ~FolderLoader() override;

    // Reads names[first..] of `folder` with their positions as numbers.
    void Start(std::string folder, std::vector<std::string> names, std::size_t first);
    // Stops the read under way; rows not yet delivered are dropped.
    void Cancel();
    bool Running() const { return m_running; }

signals:
    void RowsRead(const std::vector<FileRow>& rows);
    // The read ended, after its last batch, on its own or by Cancel.
    void Finished(bool cancelled);

private:
    void Stop();

    RowReader m_reader;
    std::jthread m_worker;
    unsigned m_generation = 0; // of the read whose batches are still wanted
    bool m_running = false;
};

} // namespace varnello
