// varnello-tag set: the multi-file save of the tag editor, with the given
// fields ticked.

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "Cover.h"
#include "FolderReader.h"
#include "ProgressLine.h"
#include "SaveReport.h"
#include "StatusWord.h"
#include "TagFieldTable.h"
#include "TagSaver.h"

#include <array>
#include <cstdio>
#include <optional>

namespace varnello::tagtool {

namespace {

constexpr const char* kSetUsage =
    "Usage: varnello-tag set [--title T] [--artist A] [--album L] [--year Y]\n"
    "                        [--genre G] [--comment C] [--track N[/TOTAL]]\n"
    "                        [--disc N[/TOTAL]] [--album-artist A]\n"
    "                        [--cover PICTURE | --remove-cover]\n"
    "                        [--replace-unreadable] [--keep-mtime] FILE...\n"
    "\n"
    "Writes the given fields into the ID3v2 tag of every FILE, and into its ID3v1\n"
    "tag when it has one (none is created). Fields not given keep each file's own\n"
    "value; all other frames of a tag (pictures ...) are kept. An empty value\n"
    "removes the field. The genre is written to ID3v1 as the number of the genre\n"
    "name or number given. The track and the disc are a number from 1 to 9999,\n"
    "optionally with \"/\" and the total (\"3\", \"3/12\"); the track number goes\n"
    "into an ID3v1 tag too when it is at most 255, which leaves that tag's\n"
    "comment 28 characters. Only files whose name ends in .mp3 are written.\n"
    "Values may not hold control characters (the comment may hold line breaks).\n"
    "A FILE can also be given as --hex-path HEX, the hex digits of its name.\n"
    "\n"
    "--cover PICTURE makes the JPEG or PNG file PICTURE (at most 16 MiB) the\n"
    "front cover: it replaces the picture of the first front cover, or is added\n"
    "as one. --remove-cover removes the cover picture: the first front cover,\n"
    "else the first picture. Other pictures are kept, and ID3v1 is not touched.\n"
    "A PICTURE that is not a whole JPEG or PNG picture is a wrong command line:\n"
    "no file is written. The cover goes into each file in the same save as the\n"
    "fields.\n"
    "\n"
    "A file whose ID3v2 tag is there but cannot be read is not saved, so nothing\n"
    "in it is lost. --replace-unreadable replaces such a tag by a new one that\n"
    "keeps every frame that could be read; the rest of the old tag is dropped.\n"
    "\n"
    "--keep-mtime gives each saved file back the modification time it had\n"
    "before the save, for players that sort by it.\n"
    "\n"
    "Each file that fails is named on stderr with the reason. Exit status 0 when\n"
    "every file was saved, 1 when any failed, 2 for a wrong command line.\n";

} // namespace

int RunSet(const std::vector<std::string>& args)
{
    CommandLine line("set", kSetUsage);
    for (const TagFieldInfo& option : kAllTagFields) {
        line.AddValue(option.Option);
    }
    line.AddValue("cover");
    for (const char* name : {"replace-unreadable", "remove-cover", "keep-mtime"}) {
        line.AddSwitch(name);
    }
    if (const std::optional<int> exit = line.Parse(args)) {
        return *exit;
    }
    TagFields edited;
    FieldMask mask;
    for (const TagFieldInfo& option : kAllTagFields) {
        if (const auto value = line.Value(option.Option)) {
            // A number the save would refuse for every file is a wrong
            // command line; other text is refused file by file.
            if (IsNumberPairField(option) && !IsValidNumberPair(*value)) {
                return UsageError("set", std::string("--") + option.Option +
                                             ": give a number from 1 to 9999, optionally "
                                             "with /total");
            }
            edited.*option.Member = *value;
            mask |= option.Mask;
        }
    }
    const std::optional<std::string> coverFile = line.Value("cover");
    if (coverFile && line.Has("remove-cover")) {
        return UsageError("set", "give --cover or --remove-cover, not both");
    }
    if (mask.Empty() && !coverFile && !line.Has("remove-cover")) {
        return UsageError("set", "give at least one field to set (--title, --artist, ...)");
    }
    if (line.Operands().empty()) {
        return UsageError("set", "give at least one FILE");
    }

    CoverEdit cover;
    if (line.Has("remove-cover")) {
        cover.Action = CoverAction::kRemove;
    }
    if (coverFile) {
        PictureFile picture = ReadPictureFile(*coverFile);
        if (!picture.Refusal.empty()) {
            return UsageError("set", "--cover " + *coverFile + ": " + picture.Refusal);
        }
        cover = {CoverAction::kSet, std::move(picture.Bytes)};
    }

    const FolderReader reader;
    TagSaver saver;
    saver.SetReplaceUnreadable(line.Has("replace-unreadable"));
    saver.KeepModificationTimes(line.Has("keep-mtime"));
    // Every file is whole after each save; the new names are flushed to
    // disk together when the run ends.
    FolderFlushes flushes;
    saver.DeferFolderFlushes(&flushes);
    ProgressLine progress("Saving", stderr);
    bool anyFailed = false;
    for (std::size_t i = 0; i < line.Operands().size(); ++i) {
        const std::string& path = line.Operands()[i];
        if (const std::string reason = CheckPath(path); !reason.empty()) {
            progress.Finish();
            PrintError(reason);
            anyFailed = true;
            continue;
        }
        // The file's row as the table would show it: a file without a
        // loadable ID3v2 tag gets the fields that are not given from it.
        FileRow row = reader.ReadRow("", path, static_cast<int>(i));
        std::vector<FileRow*> one{&row};
        for (const SaveFailure& failure : saver.SaveMultiple("", one, edited, mask, cover)) {
            progress.Finish();
            PrintError(FailureLine(path, failure.Status));
            anyFailed = true;
        }
        progress.Update(i + 1, line.Operands().size());
    }
    return anyFailed ? exitcode::kFailure : exitcode::kOk;
}

} // namespace varnello::tagtool
