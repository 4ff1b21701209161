// varnello-tag cover: writes the picture a viewer shows as a file's cover
// into a file of its own.

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "Cover.h"
#include "SaveReport.h"
#include "WholeFile.h"

namespace varnello::tagtool {

namespace {

constexpr const char* kCoverUsage =
    "Usage: varnello-tag cover FILE OUT\n"
    "\n"
    "Writes the cover picture of FILE's ID3v2 tag (the first front cover, else\n"
    "the first picture) to OUT, as it is stored (JPEG, PNG ...). OUT is written\n"
    "whole or not at all: through a temporary file in its folder, which then\n"
    "replaces it. An OUT that is a symbolic link or not a regular file is\n"
    "refused.\n"
    "\n"
    "  --hex-path HEX  a FILE or OUT given as the hex digits of its name\n"
    "  --help          show this help\n"
    "\n"
    "Exit status 0 when the picture was written, 1 when FILE has no picture or\n"
    "a file could not be read or written, 2 for a wrong command line.\n";

} // namespace

int RunCover(const std::vector<std::string>& args)
{
    CommandLine line("cover", kCoverUsage);
    if (const std::optional<int> exit = line.Parse(args)) {
        return *exit;
    }
    if (line.Operands().size() != 2) {
        return UsageError("cover", "give a FILE and the OUT file to write its cover to");
    }
    const std::string& path = line.Operands()[0];
    const std::string& out = line.Operands()[1];
    if (!PrepareFileForReading(path)) {
        return exitcode::kFailure;
    }
    const CoverRead read = ReadCover(path);
    if (!status::IsSuccess(read.Status) && read.Status.Error() != status::kNoTag) {
        PrintError(path + ": " + StatusMessage(read.Status.ErrorCode()));
        return exitcode::kFailure;
    }
    if (!read.Cover) {
        PrintError(path + ": has no picture");
        return exitcode::kFailure;
    }
    if (read.Cover->Data.empty() && read.Cover->Size > 0) {
        PrintError(path + ": the picture is larger than 16 MiB; not written");
        return exitcode::kFailure;
    }
    if (const std::string reason = WriteFileWhole(out, read.Cover->Data); !reason.empty()) {
        PrintError(out + ": " + reason);
        return exitcode::kFailure;
    }
    return exitcode::kOk;
}

} // namespace varnello::tagtool
