// varnello-tag from-name and rename: tags from file names and file names
// from tags, with the name patterns of the window.

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "FolderReader.h"
#include "NameTagger.h"
#include "Platform.h"
#include "ProgressLine.h"
#include "Renamer.h"
#include "SaveReport.h"
#include "TagFieldTable.h"
#include "Utf8.h"

#include <cstdio>
#include <map>
#include <optional>

namespace varnello::tagtool {

namespace {

constexpr const char* kPlaceholderHelp =
    "Placeholders: %track%, %title%, %artist%, %album%, %year%, %disc%,\n"
    "%albumartist% and %ignore% (any text); other text in PATTERN is literal.\n";

constexpr const char* kFromNameUsage =
    "Usage: varnello-tag from-name --pattern PATTERN [--dry-run] FILE...\n"
    "\n"
    "Writes the fields that PATTERN names, with the values read from each\n"
    "FILE's name (without \".mp3\"), into its tags as 'set' writes them: other\n"
    "fields and frames are kept. For example --pattern '%track% - %artist% -\n"
    "%title%' reads \"01 - ABBA - Waterloo.mp3\" as track 01, artist ABBA and\n"
    "title Waterloo. Placeholders need literal text between them; each takes at\n"
    "least one character, loses surrounding spaces, and the last one takes the\n"
    "rest of the name. A track or disc must be a number (optionally \"/total\").\n"
    "\n"
    "  --pattern PATTERN  the pattern of the file names\n"
    "  --dry-run          only print, for each FILE, the values it would write\n"
    "  --help             show this help\n"
    "\n"
    "A FILE whose name does not match the pattern is reported (\"does not\n"
    "match\") and skipped; that alone is no failure. A FILE can also be given\n"
    "as --hex-path HEX, the hex digits of its name.\n"
    "\n"
    "Exit status 0 when every matching file was saved, 1 when any failed or\n"
    "was no MP3 file, 2 for a wrong command line or pattern.\n";

constexpr const char* kRenameUsage =
    "Usage: varnello-tag rename --pattern PATTERN [--dry-run] FILE...\n"
    "\n"
    "Renames each FILE, in its own folder, to the name PATTERN makes from its\n"
    "tags, keeping the \".mp3\" ending as it is written. For example --pattern\n"
    "'%track:2% - %title%' names a file with track 3/12 and title Waterloo\n"
    "\"03 - Waterloo.mp3\": %track:N% pads the number with zeros to N digits,\n"
    "and a total is left out. \"/\" and control characters in the values become\n"
    "\"_\", and trailing dots and spaces are dropped.\n"
    "\n"
    "  --pattern PATTERN  the pattern of the new names\n"
    "  --dry-run          only print what would be renamed\n"
    "  --help             show this help\n"
    "\n"
    "Prints \"OLD -> NEW\" for each file renamed; a file whose name is already\n"
    "right is left alone silently. An existing file is never replaced: a new\n"
    "name that another file has, or that two FILEs would get, is reported and\n"
    "the file keeps its name, and so is a name that cannot be made (a field\n"
    "the pattern names is empty). A FILE can also be given as --hex-path HEX.\n"
    "\n"
    "Exit status 0 when every FILE has its new name, 1 when any was not\n"
    "renamed, 2 for a wrong command line or pattern.\n";

// The command line and its parsed --pattern, or the exit status of a wrong
// command line.
struct PatternCommand
{
    PatternCommand(const char* command, const std::string& help) : Arguments(command, help)
    {
        Arguments.AddSwitch("dry-run");
        Arguments.AddValue("pattern");
    }

    CommandLine Arguments;
    NamePattern Pattern;
    int Exit = -1; // set when the command ends here
};

void ReadCommandLine(PatternCommand& line, const std::vector<std::string>& args, NamePatternUse use)
{
    const CommandLine& parsed = line.Arguments;
    if (const std::optional<int> exit = line.Arguments.Parse(args)) {
        line.Exit = *exit;
    } else if (!parsed.Value("pattern")) {
        line.Exit = parsed.Fail("give the --pattern");
    } else if (parsed.Operands().empty()) {
        line.Exit = parsed.Fail("give at least one FILE");
    } else {
        ParsedNamePattern pattern = ParseNamePattern(*parsed.Value("pattern"), use);
        if (!pattern.Error.empty()) {
            line.Exit = parsed.Fail("--pattern: " + pattern.Error);
        }
        line.Pattern = std::move(pattern.Pattern);
    }
}

// "Track "01", Artist "ABBA"": the values a match gives, in table order.
std::string ValuesText(const NameTags& tags)
{
    std::string text;
    for (const TagFieldInfo& field : kAllTagFields) {
        if (tags.Mask.Has(field.Mask)) {
            text += text.empty() ? "" : ", ";
            text += std::string(field.Label) + " \"" + tags.Values.*field.Member + "\"";
        }
    }
    return text;
}

} // namespace

int RunFromName(const std::vector<std::string>& args)
{
    PatternCommand line("from-name", std::string(kFromNameUsage) + "\n" + kPlaceholderHelp);
    ReadCommandLine(line, args, NamePatternUse::kMatch);
    if (line.Exit >= 0) {
        return line.Exit;
    }
    const std::vector<std::string>& paths = line.Arguments.Operands();
    const bool dryRun = line.Arguments.Has("dry-run");
    const FolderReader reader;
    TagSaver saver;
    FolderFlushes flushes;
    saver.DeferFolderFlushes(&flushes);
    ProgressLine progress("Saving", stderr);
    bool anyFailed = false;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (const std::string reason = CheckPath(path); !reason.empty()) {
            progress.Finish();
            PrintError(reason);
            anyFailed = true;
            continue;
        }
        // The row as the table shows it, so that a file without an ID3v2
        // tag keeps its other fields as set keeps them.
        std::vector<FileRow> row{reader.ReadRow("", path, static_cast<int>(i))};
        const std::vector<NameTags> plan = PlanTagsFromNames(line.Pattern, row);
        if (dryRun) {
            WriteOut(EscapedText(path) + ": " +
                     (plan[0].Matched ? ValuesText(plan[0]) : "does not match") + "\n");
            continue;
        }
        if (!plan[0].Matched) {
            progress.Finish();
            PrintError(path + ": does not match the pattern; skipped");
        }
        for (const SaveFailure& failure : ApplyTagsFromNames(saver, "", plan, row)) {
            progress.Finish();
            PrintError(FailureLine(path, failure.Status));
            anyFailed = true;
        }
        progress.Update(i + 1, paths.size());
    }
    return anyFailed ? exitcode::kFailure : exitcode::kOk;
}

int RunRename(const std::vector<std::string>& args)
{
    PatternCommand line("rename", std::string(kRenameUsage) + "\n" + kPlaceholderHelp);
    ReadCommandLine(line, args, NamePatternUse::kFormat);
    if (line.Exit >= 0) {
        return line.Exit;
    }
    const bool dryRun = line.Arguments.Has("dry-run");
    // The files by folder, in the order given: collisions are within a folder.
    std::map<std::string, std::vector<FileRow>> folders;
    const FolderReader reader;
    bool anyFailed = false;
    for (const std::string& path : line.Arguments.Operands()) {
        if (const std::string reason = CheckPath(path); !reason.empty()) {
            PrintError(reason);
            anyFailed = true;
            continue;
        }
        const std::string folder = platform::FolderOf(path);
        std::vector<FileRow>& rows = folders[folder];
        rows.push_back(
            reader.ReadRow(folder, platform::NameOf(path), static_cast<int>(rows.size())));
    }
    for (const auto& [folder, rows] : folders) {
        const RenamePlan plan = PlanRenames(folder, rows, line.Pattern);
        for (const PlannedRename& item : plan.Items) {
            const std::string old = platform::JoinPath(folder, item.OldName);
            if (item.Check == RenameCheck::kRename && dryRun) {
                WriteOut(EscapedText(old) + " -> " +
                         EscapedText(platform::JoinPath(folder, item.NewName)) + "\n");
            } else if (item.Check == RenameCheck::kCollision ||
                       item.Check == RenameCheck::kRefused) {
                PrintError(old + ": not renamed: " + item.Reason +
                           (item.NewName.empty() ? "" : " (" + item.NewName + ")"));
                anyFailed = true;
            }
        }
        if (dryRun) {
            continue;
        }
        for (const RenameOutcome& outcome : ApplyRenames(plan)) {
            const std::string old = platform::JoinPath(folder, outcome.OldName);
            if (outcome.Renamed) {
                WriteOut(EscapedText(old) + " -> " +
                         EscapedText(platform::JoinPath(folder, outcome.NewName)) + "\n");
            } else {
                PrintError(old + ": not renamed to " + outcome.NewName + ": " + outcome.Reason);
                anyFailed = true;
            }
        }
    }
    return anyFailed ? exitcode::kFailure : exitcode::kOk;
}

} // namespace varnello::tagtool
