// varnello-tag recover: rolls back saves that were interrupted (a crash, a
// kill, a power loss) while they changed a file in place.

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "Platform.h"
#include "SaveJournal.h"

namespace varnello::tagtool {

namespace {

constexpr const char* kRecoverUsage =
    "Usage: varnello-tag recover [DIR|FILE]\n"
    "\n"
    "A save that changes a file in place keeps the file's old bytes in a journal\n"
    "until it is complete. A save that was interrupted is rolled back from its\n"
    "journal, so that the file is as it was before that save; Varnello does this\n"
    "by itself whenever it opens the folder or the file. This command does it now\n"
    "for DIR (default: the working folder) or one FILE, and names every file it\n"
    "restored. Saves still running are left alone.\n"
    "\n"
    "Exit status 0 when nothing was left to restore or everything was restored,\n"
    "1 when a file could not be restored, 2 for a wrong command line.\n";

} // namespace

int RunRecover(const std::vector<std::string>& args)
{
    CommandLine line("recover", kRecoverUsage);
    if (const std::optional<int> exit = line.Parse(args)) {
        return *exit;
    }
    if (line.Operands().size() > 1) {
        return UsageError("recover", "give at most one folder or file");
    }
    const std::string where = line.Operands().empty() ? "." : line.Operands().front();
    platform::FileInfo info;
    if (platform::QueryPath(where, platform::Follow::Links, info)) {
        PrintError(where + ": no such file or folder");
        return exitcode::kFailure;
    }
    const std::vector<RecoveredSave> found =
        info.Directory ? RecoverFolder(where) : RecoverFile(where);
    bool failed = false;
    for (const RecoveredSave& save : found) {
        const std::string name = save.Path.empty() ? where : save.Path;
        if (save.Restored) {
            WriteOut(name + ": restored: " + save.Note + "\n");
        } else {
            PrintError(name + ": " + save.Note);
            failed = failed || save.Note.find("could not be restored") != std::string::npos;
        }
    }
    if (found.empty()) {
        WriteOut("Nothing to recover in " + where + "\n");
    }
    return failed ? exitcode::kFailure : exitcode::kOk;
}

} // namespace varnello::tagtool
