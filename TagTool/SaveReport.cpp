#include "SaveReport.h"

#include "Console.h"
#include "FolderReader.h"
#include "SaveJournal.h"

#include <filesystem>

namespace varnello::tagtool {

namespace {

char Hex(unsigned digit)
{
    return "0123456789ABCDEF"[digit & 0xF];
}

} // namespace

std::string FailureLine(const std::string& path, StatusWord statusWord)
{
    std::string hex = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        hex += Hex(statusWord.Value() >> shift);
    }
    return path + ": " + StatusMessage(statusWord.ErrorCode()) + " (status " + hex + ")";
}

std::string CheckPath(const std::string& path)
{
    std::error_code error;
    const auto type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::not_found) {
        return path + ": no such file";
    }
    if (type == std::filesystem::file_type::directory) {
        return path + ": is a folder, not a file";
    }
    if (!IsMp3FileName(path)) {
        return path + ": not an MP3 file (the name does not end in .mp3); not saved";
    }
    return {};
}

bool PrepareFileForReading(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        PrintError(path + (std::filesystem::exists(path, error) ? ": not a regular file"
                                                                : ": no such file"));
        return false;
    }
    RecoverFile(path);
    return true;
}

} // namespace varnello::tagtool
