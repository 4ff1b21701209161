#include "SaveReport.h"

#include "Console.h"
#include "FolderReader.h"
#include "Platform.h"
#include "SaveJournal.h"

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
    platform::FileInfo info;
    const std::error_code error = platform::QueryPath(path, platform::Follow::Links, info);
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
        return path + ": no such file";
    }
    if (!error && info.Directory) {
        return path + ": is a folder, not a file";
    }
    if (!IsMp3FileName(path)) {
        return path + ": not an MP3 file (the name does not end in .mp3); not saved";
    }
    return {};
}

bool PrepareFileForReading(const std::string& path)
{
    platform::FileInfo info;
    const std::error_code error = platform::QueryPath(path, platform::Follow::Links, info);
    if (error || !info.Regular) {
        PrintError(path + (!error ? ": not a regular file" : ": no such file"));
        return false;
    }
    RecoverFile(path);
    return true;
}

} // namespace varnello::tagtool
