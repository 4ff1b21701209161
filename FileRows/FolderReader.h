#pragma once
// Reads a folder into file-table rows: the regular, non-hidden files whose
// name matches *.mp3 without regard to case, sorted without regard to case,
// each with its TagKind and six cells (ID3v2 values when that tag loaded,
// otherwise the ID3v1 values).

#include "FileRow.h"

#include <cstddef>
#include <functional>
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

    // Reads one file's tags into a row numbered `no`.
    FileRow ReadRow(const std::string& folder, const std::string& fileName, int no) const;

    // Called after each file with (done, total); returning false stops early.
    using Progress = std::function<bool(std::size_t done, std::size_t total)>;
    std::vector<FileRow> ReadFolder(const std::string& folder, const Progress& progress = {}) const;
};

} // namespace varnello
