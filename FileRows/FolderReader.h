#pragma once
// Reads a folder into file-table rows: the regular, non-hidden files whose
// name matches *.mp3 without regard to case, sorted without regard to case,
// each with its TagKind and six cells (ID3v2 values when that tag loaded,
// otherwise the ID3v1 values).

#include "FileRow.h"

#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace varnello {

// The name ends in ".mp3" in any case: the files the table lists and the
// only files a save writes.
bool IsMp3FileName(std::string_view name);

class FolderReader
{
public:
    // Names only, in table order. Empty when the folder cannot be read.
    static std::vector<std::string> ListMp3Names(const std::string& folder);
    // The same, telling why a folder could not be read (missing, not a
    // folder, no permission); `error` is cleared on success.
    static std::vector<std::string> ListMp3Names(const std::string& folder, std::error_code& error);

    // A subfolder that a recursive listing could not read, by its path
    // relative to the listed folder ("sub/locked").
    struct SkippedFolder
    {
        std::string Path;
        std::error_code Error;
    };
    // The MP3 files of the folder and of all its subfolders, as paths
    // relative to it ("sub/a.mp3"): the folder's own names first, then each
    // subfolder's in turn, each in table order. Hidden folders are left out;
    // a linked folder is listed, but no folder twice, so a link back up
    // makes no loop. `error` tells why the folder itself could not be read;
    // subfolders that cannot be read are skipped and named in `skipped`.
    // A stop request ends the listing before the next folder: the names
    // listed so far are returned.
    static std::vector<std::string> ListMp3NamesRecursive(const std::string& folder,
                                                          std::error_code& error,
                                                          std::vector<SkippedFolder>& skipped,
                                                          const std::stop_token& stop = {});

    // Reads one file's tags into a row numbered `no`.
    FileRow ReadRow(const std::string& folder, const std::string& fileName, int no) const;

    // Called after each file with (done, total); returning false stops early.
    using Progress = std::function<bool(std::size_t done, std::size_t total)>;
    std::vector<FileRow> ReadFolder(const std::string& folder, const Progress& progress = {}) const;

    // Reads the rows of the named files of the folder with up to `readers`
    // files read at once, each reader with engine objects of its own, and
    // hands them to `sink` in the names' order, in batches, on the calling
    // thread. On a cold disk or a network share the reads then wait
    // together instead of one after another. Rows are numbered from 0 in
    // that order. A sink that returns false stops the reading: the files
    // being read are finished, no others are started.
    using RowSink = std::function<bool(std::vector<FileRow>&& batch)>;
    void ReadRows(const std::string& folder, const std::vector<std::string>& names,
                  const RowSink& sink, unsigned readers = kDefaultReaders) const;

    // Enough readers to keep a disk's queue busy; on a warm cache they
    // share the processor's cores.
    static constexpr unsigned kDefaultReaders = 8;
    // Rows per batch handed to a sink.
    static constexpr std::size_t kBatchSize = 128;
};

} // namespace varnello
