#pragma once
// What the commands that write files say about a file: why a path cannot be
// written at all, and the line for a failed save.

#include "StatusWord.h"

#include <string>

namespace varnello::tagtool {

// A clear reason for a path that cannot be a file to save (missing, a
// folder, not an .mp3 name), or empty.
std::string CheckPath(const std::string& path);

// "PATH: reason (status 0x0600)".
std::string FailureLine(const std::string& path, StatusWord statusWord);

} // namespace varnello::tagtool
