#pragma once
// Output of the tool: results on stdout, errors on stderr as one line each,
// prefixed with the program's name.

#include <string>
#include <string_view>

namespace varnello::tagtool {

namespace exitcode {
inline constexpr int kOk = 0;
inline constexpr int kFailure = 1; // a file or folder could not be read or saved
inline constexpr int kUsage = 2;   // the command line was wrong
} // namespace exitcode

inline constexpr std::string_view kProgramName = "varnello-tag";

void WriteOut(std::string_view text);
// The message goes out as exactly one line: control characters and invalid
// UTF-8 in it (from a file name) are escaped, see EscapedText.
void PrintError(std::string_view message);

// Prints the error and a hint to use --help; returns exitcode::kUsage.
int UsageError(std::string_view command, std::string_view message);

} // namespace varnello::tagtool
