// varnello-tag: lists, shows and sets the tags of MP3 files from the command
// line, with the same rules as the Varnello window.

#include "Commands.h"
#include "Console.h"
#include "Platform.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: varnello-tag COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "Lists, shows and sets the ID3 tags of MP3 files.\n"
    "\n"
    "Commands:\n"
    "  list [--json|--csv] [--recursive] [DIR]\n"
    "                          one row per MP3 file of DIR (default: the working folder)\n"
    "  set [FIELDS] FILE...    write the given fields into every FILE\n"
    "  show [--json] FILE      every detail of a file's ID3v2 and ID3v1 tags\n"
    "  cover FILE OUT          write the cover picture of FILE to OUT\n"
    "  recover [DIR|FILE]      roll back saves that were interrupted\n"
    "  from-name --pattern P FILE...\n"
    "                          write the fields read from each FILE's name\n"
    "  rename --pattern P FILE...\n"
    "                          rename each FILE from its tags, replacing no file\n"
    "\n"
    "A FILE or DIR whose name is not valid UTF-8 can be given as --hex-path HEX,\n"
    "the hex digits of its bytes (\"fileNameHex\" of 'list --json').\n"
    "Error lines escape control characters and invalid UTF-8 in names (\\n, \\xFF).\n"
    "\n"
    "Run 'varnello-tag COMMAND --help' for the options of a command.\n"
    "Exit status: 0 success, 1 a file or folder failed, 2 wrong command line.\n";

int Dispatch(const std::vector<std::string>& args)
{
    using namespace varnello::tagtool;
    if (args.empty()) {
        return UsageError("", "no command given");
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        WriteOut(kUsage);
        return exitcode::kOk;
    }
    if (command == "list") {
        return RunList(rest);
    }
    if (command == "set") {
        return RunSet(rest);
    }
    if (command == "show") {
        return RunShow(rest);
    }
    if (command == "cover") {
        return RunCover(rest);
    }
    if (command == "recover") {
        return RunRecover(rest);
    }
    if (command == "from-name") {
        return RunFromName(rest);
    }
    if (command == "rename") {
        return RunRename(rest);
    }
    return UsageError("", "unknown command '" + command + "'");
}

} // namespace

int main(int argc, char** argv)
{
    using namespace varnello::tagtool;
    // A file size limit then fails a save with a status instead of killing
    // the process halfway.
    varnello::platform::KeepRunningAtFileSizeLimit();
    varnello::platform::SetUpStandardStreams();
    try {
        std::vector<std::string> arguments = varnello::platform::ProgramArguments(argc, argv);
        if (!arguments.empty()) {
            arguments.erase(arguments.begin()); // the program's own name
        }
        const int status = Dispatch(arguments);
        // A full disk or a closed pipe must not pass for a complete listing.
        if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
            PrintError("cannot write the output");
            return exitcode::kFailure;
        }
        return status;
    } catch (const std::bad_alloc&) {
        PrintError("out of memory");
    } catch (const std::exception& error) {
        PrintError(std::string("unexpected error: ") + error.what());
    }
    return exitcode::kFailure;
}
