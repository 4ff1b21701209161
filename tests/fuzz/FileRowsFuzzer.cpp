// Reads the input as the only file of a folder into a table row, then saves
// an edited title and comment as the tag editor does for one file, or, for
// every other input, with a track number too as varnello-tag does (keeping
// the modification time when the third byte is odd, which a successful save
// must then leave as it was). The file
// must load again after a successful save with its audio unchanged; a failed
// or refused save leaves it byte for byte as it was. Every other input's
// texts are cleaned to what a tag can keep, so that most saves get past the
// module's check of the values. A save that changed the file is recorded for
// undo: the undo must give back the input byte for byte, and its redo the
// saved file.

#include "FolderReader.h"
#include "FuzzSupport.h"
#include "Platform.h"
#include "TagSaver.h"
#include "TextCodec.h"
#include "Tid3v2tag.h"
#include "UndoHistory.h"

#include <algorithm>

namespace varnello::fuzz {
namespace {

std::string Text(const std::uint8_t* data, std::size_t size, std::size_t from)
{
    if (from >= size) {
        return {};
    }
    return {reinterpret_cast<const char*>(data) + from, std::min<std::size_t>(40, size - from)};
}

// The bytes between the tag region and a trailing ID3v1 block.
Bytes Audio(const Bytes& file, std::uint64_t tagEnd, bool id3v1)
{
    const std::size_t end = id3v1 && file.size() >= 128 ? file.size() - 128 : file.size();
    if (tagEnd >= end) {
        return {};
    }
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(tagEnd),
                 file.begin() + static_cast<std::ptrdiff_t>(end));
}

void CheckSaved(const std::string& path, const Bytes& before, bool id3v1, bool track)
{
    const Bytes after = testsupport::ReadFile(path);
    const std::uint64_t oldTag = OldTagRegion(before);
    // A tag that reaches into the ID3v1 block leaves no audio to compare.
    if (!id3v1 || oldTag + 128 <= before.size()) {
        Require(Audio(before, oldTag, id3v1) == Audio(after, WrittenTagRegion(after), id3v1),
                "the audio behind the tag changed");
    }
    Tid3v2tag again;
    Require(status::IsSuccess(again.LoadFromFile(path, 0)), "the saved tag does not load");
    if (id3v1 && before.size() >= 128 && after.size() >= 128) {
        // Only the title (3..32), the comment (97..124) and, with the track,
        // its bytes 125 and 126 are written.
        const auto block = [](const Bytes& file) { return file.end() - 128; };
        const auto same = [&](std::ptrdiff_t from, std::ptrdiff_t to) {
            return std::equal(block(before) + from, block(before) + to, block(after) + from);
        };
        Require(same(0, 3) && same(33, 97) && (track || same(125, 127)) && same(127, 128),
                "an unwritten ID3v1 byte changed");
    }
}

void CheckUndo(const std::string& path, const Bytes& before, UndoStep step, bool keepTime)
{
    const Bytes saved = testsupport::ReadFile(path);
    Require(!step.TooLarge && step.Unrecorded.empty(), "a small save was not recorded");
    if (step.Tags.empty()) {
        Require(saved == before, "a save that changed the file was not recorded");
        return;
    }
    const RevertResult undone = RevertStep(step, keepTime);
    Require(undone.Failures.empty(), "the undo of an unchanged file failed");
    Require(testsupport::ReadFile(path) == before, "undo did not give back the old file");
    const RevertResult redone = RevertStep(undone.Reverse, keepTime);
    Require(redone.Failures.empty(), "the redo of an unchanged file failed");
    Require(testsupport::ReadFile(path) == saved, "redo did not give back the saved file");
}

} // namespace
} // namespace varnello::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnello;
    const std::string path = fuzz::WriteInput(data, size);
    const std::string& folder = fuzz::Folder().Path();
    const FileRow row = FolderReader().ReadRow(folder, fuzz::kFileName, 0);
    const int kind = static_cast<int>(row.TagKind);
    fuzz::Require(kind >= 0 && kind <= 3, "TagKind out of range");

    TagFields edited = row.Fields;
    edited.Title = "t" + fuzz::Text(data, size, 0);
    edited.Comment = "c\r\n" + fuzz::Text(data, size, 20);
    if (size > 0 && data[0] % 2 == 0) {
        edited.Title = Latin1ToUtf8(StorableFieldText(edited.Title, false));
        edited.Comment = Latin1ToUtf8(StorableFieldText(edited.Comment, true));
    }
    const bool track = size > 1 && data[1] % 2 == 1;
    bool keepTime = false;
    platform::FileInfo written;
    fuzz::Require(!platform::QueryPath(path, platform::Follow::Links, written),
                  "the input file is not there");
    std::vector<SaveFailure> failures;
    UndoRecorder recorder;
    TagSaver saver;
    saver.RecordUndo(&recorder);
    if (track) {
        // Digits and slashes only, so that many numbers pass the check.
        for (const char c : fuzz::Text(data, size, 60)) {
            if ((c >= '0' && c <= '9') || c == '/') {
                edited.Track.push_back(c);
            }
        }
        FileRow copy = row;
        std::vector<FileRow*> rows{&copy};
        keepTime = size > 2 && data[2] % 2 == 1;
        saver.KeepModificationTimes(keepTime);
        failures = saver.SaveMultiple(folder, rows, edited,
                                      fieldmask::kTitle | fieldmask::kComment | fieldmask::kTrack);
    } else {
        failures = saver.SaveSingle(folder, row, edited).Failures;
    }
    fuzz::RequireOnlyInput();

    const fuzz::Bytes before(data, data + size);
    const bool id3v1 = Has(row.TagKind, tagkind::kId3v1);
    if (failures.empty()) {
        fuzz::CheckSaved(path, before, id3v1, track);
        platform::FileInfo saved;
        fuzz::Require(!platform::QueryPath(path, platform::Follow::Links, saved) &&
                          (!keepTime || saved.ModifiedNanoseconds == written.ModifiedNanoseconds),
                      "the kept modification time changed");
        fuzz::CheckUndo(path, before, recorder.Take("save"), keepTime);
    } else {
        fuzz::Require(testsupport::ReadFile(path) == before, "a failed save changed the file");
        fuzz::Require(failures.size() == 1, "a failed save is not listed");
    }
    return 0;
}
