#pragma once
// What the commands say about a file: why a path cannot be written at all,
// the line for a failed save, and whether a file can be read whole.

#include "StatusWord.h"

#include <string>

namespace varnello::tagtool {

// A clear reason for a path that cannot be a file to save (missing, a
// folder, not an .mp3 name), or empty.
std::string CheckPath(const std::string& path);

// For the commands that read one file (show, cover): true when `path` is a
// regular file, once a save of it that was interrupted has been rolled back
// so that what is read is a whole file; otherwise prints why and gives false.
bool PrepareFileForReading(const std::string& path);

// "PATH: reason (status 0x0600)".
std::string FailureLine(const std::string& path, StatusWord statusWord);

} // namespace varnello::tagtool
