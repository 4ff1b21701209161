// Loads the input, sets the title and saves the tag into the same file, with
// the version, unsynchronisation, compression, CRC, padding mode and a second
// hard link (which makes the save move the audio inside the file) picked by
// the input's last byte. A save either succeeds, and the file then loads
// again with every frame's content and the audio behind the tag unchanged,
// or fails with a status and leaves the file byte for byte as it was; and it
// fails only where the same save without the new title would have failed too.
// With bit 0x40 of that byte the tag is removed instead: the file then holds
// exactly the bytes that followed the old tag, or is left as it was.

#include "FrameFlags.h"
#include "FuzzSupport.h"
#include "SaveToFile.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <unistd.h>

namespace varnello::fuzz {
namespace {

std::string StatusText(StatusWord word)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", unsigned{word.Value()});
    return text;
}

struct FrameContent
{
    std::string Id;
    Bytes Data;
    bool operator==(const FrameContent&) const = default;
};

// Every frame's data with its compression and unsynchronisation undone where
// that works; empty frames are left out, as a save removes them.
std::vector<FrameContent> Contents(TFrameIndex frames)
{
    std::vector<FrameContent> contents;
    for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
        frames.DeunsyncFrame(i);
        frames.DecompressFrame(i);
        if (frames.DataSize(i) != 0) {
            contents.push_back({frames.ID(i), frames.Record(i).Data});
        }
    }
    return contents;
}

std::string Describe(const std::vector<FrameContent>& contents)
{
    std::string text;
    for (const FrameContent& frame : contents) {
        text += "\n  " + frame.Id + " " + testsupport::Hex(frame.Data, 24);
    }
    return text;
}

// The save's settings from one byte of the input.
std::uint8_t ApplyOptions(Tid3v2tag& tag, std::uint8_t options)
{
    if ((options & 0x02) != 0) {
        tag.SetUnsynchronisation(true);
    }
    if ((options & 0x04) != 0 && tag.Frames.Count() > 0) {
        const std::uint8_t format = tag.Frames.GetFlags(1, 2);
        tag.Frames.SetFlags(1, 2, static_cast<std::uint8_t>(format ^ frameflags::kCompression));
    }
    if ((options & 0x08) != 0) {
        tag.SetCrcPresent(true);
    }
    if ((options & 0x10) != 0) {
        tag.PaddingMode = 2;
    }
    return (options & 0x01) != 0 ? 4 : 255;
}

void CheckSaved(const std::string& path, const Bytes& before,
                const std::vector<FrameContent>& frames)
{
    const Bytes after = testsupport::ReadFile(path);
    const std::uint64_t oldTag = OldTagRegion(before);
    const std::uint64_t newTag = WrittenTagRegion(after);
    Require(oldTag <= before.size() && newTag <= after.size(), "tag regions past the end");
    Require(std::equal(before.begin() + static_cast<std::ptrdiff_t>(oldTag), before.end(),
                       after.begin() + static_cast<std::ptrdiff_t>(newTag), after.end()),
            "the audio behind the tag changed");
    Tid3v2tag again;
    const StatusWord reloaded = again.LoadFromFile(path, 0);
    Require(status::IsSuccess(reloaded), "the saved tag loads with " + StatusText(reloaded));
    const std::vector<FrameContent> read = Contents(again.Frames);
    Require(read == frames,
            "frames before the save:" + Describe(frames) + "\nafter:" + Describe(read));
}

void CheckRemoval(const std::string& path, const Bytes& before)
{
    const StatusWord removed = RemoveTagFromFile(path, 0);
    RequireOnlyInput();
    const Bytes after = testsupport::ReadFile(path);
    if (!status::IsSuccess(removed)) {
        Require(after == before, "the failed removal " + StatusText(removed) + " changed the file");
        return;
    }
    const std::uint64_t oldTag = OldTagRegion(before);
    Require(std::equal(before.begin() + static_cast<std::ptrdiff_t>(oldTag), before.end(),
                       after.begin(), after.end()),
            "the removal left other bytes than those behind the tag");
}

} // namespace
} // namespace varnello::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnello;
    const std::string path = fuzz::WriteInput(data, size);
    Tid3v2tag tag;
    if (!status::IsSuccess(tag.LoadFromFile(path, 0))) {
        return 0;
    }
    const std::uint8_t options = size > 0 ? data[size - 1] : 0;
    if ((options & 0x40) != 0) {
        fuzz::CheckRemoval(path, fuzz::Bytes(data, data + size));
        return 0;
    }
    const Tid3v2tag untouched = tag;
    tag.SetTextFrame("TIT2", "x");
    const std::uint8_t version = fuzz::ApplyOptions(tag, options);
    const std::vector<fuzz::FrameContent> frames = fuzz::Contents(tag.Frames);
    const std::string link = fuzz::Folder().File("link.mp3");
    const bool linked = (options & 0x20) != 0 && ::link(path.c_str(), link.c_str()) == 0;
    const StatusWord saved = tag.SaveToFile(path, version, 255, 0);
    if (linked) {
        fuzz::Require(testsupport::ReadFile(link) == testsupport::ReadFile(path),
                      "the save replaced a file with two links");
        ::unlink(link.c_str());
    }
    fuzz::RequireOnlyInput();
    const fuzz::Bytes before(data, data + size);
    if (status::IsSuccess(saved)) {
        fuzz::CheckSaved(path, before, frames);
    } else {
        fuzz::Require(testsupport::ReadFile(path) == before,
                      "the failed save " + fuzz::StatusText(saved) + " changed the file");
        Tid3v2tag without = untouched;
        const StatusWord plain =
            without.SaveToFile(path, fuzz::ApplyOptions(without, options), 255, 0);
        fuzz::Require(!status::IsSuccess(plain), "the save fails with " + fuzz::StatusText(saved) +
                                                     " only because the title was set");
    }
    return 0;
}
