// Loads the input as a file and reads everything a listing or the tool reads
// from it: the text frames, the year, the comment, and every frame's data
// decompressed and de-unsynchronised. The same bytes behind a prefix, loaded
// at that offset, must give the same tag: the reader's buffers sit
// differently then.

#include "FuzzSupport.h"
#include "Tid3v2tag.h"

namespace varnello::fuzz {
namespace {

bool SameRecord(const FrameRecord& a, const FrameRecord& b)
{
    return a.ID == b.ID && a.Data == b.Data && a.StoredFlags == b.StoredFlags &&
           a.Flags == b.Flags && a.DataLength == b.DataLength && a.GroupID == b.GroupID &&
           a.EncryptionMethod == b.EncryptionMethod && a.DataOffset == b.DataOffset &&
           a.HeaderSize == b.HeaderSize;
}

void CompareShifted(const std::uint8_t* data, std::size_t size, StatusWord status,
                    const Tid3v2tag& tag)
{
    const std::size_t shift = 1 + (size * 2654435761u) % 8192;
    Bytes shifted(shift, 0xA5);
    shifted.insert(shifted.end(), data, data + size);
    const std::string path = Folder().File("shifted.mp3");
    testsupport::WriteFile(path, shifted);
    Tid3v2tag other;
    const StatusWord otherStatus = other.LoadFromFile(path, static_cast<std::int64_t>(shift));
    Require(otherStatus == status, "the load at offset " + std::to_string(shift) + " gives " +
                                       std::to_string(otherStatus.Value()) + ", at 0 " +
                                       std::to_string(status.Value()));
    Require(other.TagSize == tag.TagSize && other.PaddingSize == tag.PaddingSize &&
                other.ExtHeaderSize == tag.ExtHeaderSize && other.CRC32 == tag.CRC32 &&
                other.Flags == tag.Flags && other.ExtFlags == tag.ExtFlags,
            "header values differ at offset " + std::to_string(shift));
    Require(other.Frames.Count() == tag.Frames.Count(),
            "frame counts differ at offset " + std::to_string(shift));
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        Require(SameRecord(other.Frames.Record(i), tag.Frames.Record(i)),
                "frame " + std::to_string(i) + " differs at offset " + std::to_string(shift));
    }
}

void ReadFields(Tid3v2tag& tag)
{
    std::string text;
    for (const char* id : {"TIT2", "TPE1", "TALB", "TCON"}) {
        tag.GetTextFrame(id, text);
    }
    tag.GetYear(text);
    COMM comment;
    tag.GetComment(comment, "", "None");
}

void TransformFrames(Tid3v2tag& tag)
{
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        const std::string id = tag.Frames.ID(i);
        tag.Frames.DecompressFrame(i);
        tag.Frames.DeunsyncFrame(i);
        // Text frames of any ID, read again from their prepared data.
        std::string text;
        if (id[0] == 'T') {
            tag.GetTextFrame(id, text);
        }
    }
}

} // namespace
} // namespace varnello::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnello;
    const std::string path = fuzz::WriteInput(data, size);
    Tid3v2tag tag;
    const StatusWord loaded = tag.LoadFromFile(path, 0);
    fuzz::CompareShifted(data, size, loaded, tag);
    if (loaded == status::kNoTag || loaded == status::kMajorVersion) {
        fuzz::Require(tag.Frames.Count() == 0, "frames without an accepted header");
    }
    if (status::IsSuccess(loaded)) {
        // A save checks the bytes from here to the tag's end for audio.
        fuzz::Require(tag.FramesEnd >= 10 && tag.FramesEnd <= std::uint64_t{tag.TagSize} + 10,
                      "the frames end at " + std::to_string(tag.FramesEnd) + " in a tag of " +
                          std::to_string(tag.TagSize + 10) + " bytes");
    }
    fuzz::ReadFields(tag);
    fuzz::TransformFrames(tag);
    return 0;
}
