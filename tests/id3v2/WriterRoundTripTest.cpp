// Tags built in memory are saved, loaded again from disk and compared frame
// by frame; the audio and the ID3v1 trailer behind the tag must not change.

#include "FrameFlags.h"
#include "WriterTestSupport.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace varnello;
using namespace varnello::writertest;
using testsupport::Hex;
using testsupport::Id3v2Builder;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// The frames of every round trip: text, a comment, binary data full of
// unsynchronisation triggers (one at the very end), and a large block.
struct PlainFrame
{
    const char* Id;
    Bytes Data;
    std::uint8_t Status;
};

std::vector<PlainFrame> SampleFrames()
{
    using namespace frameflags;
    return {
        {"TIT2", testsupport::Latin1Text("Title \xFF\xE9t\xE9"), 0},
        {"TPE1", testsupport::Latin1Text("Artist"), kReadOnly},
        {"COMM", testsupport::Latin1Comment("eng", "", "A comment"), 0},
        {"PRIV", {0xFF, 0x00, 0xFF, 0xE0, 0xFF, 0xFF, 0xE0, 0x41, 0xFF, 0x00, 0x00, 0xFF}, 0},
        {"TXXX", testsupport::Latin1Text("x"), kTagAlterPreservation | kFileAlterPreservation},
        {"APIC", Pattern(40000, 7), 0},
    };
}

Bytes Trailer()
{
    testsupport::Id3v1Fields fields;
    fields.Title = "Trailer title";
    fields.Genre = 17;
    return testsupport::Id3v1Block(fields);
}

// Undoes unsynchronisation over a whole run, the rule readers apply.
Bytes Deunsync(const Bytes& in)
{
    Bytes out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const bool inserted = in[i] == 0x00 && i > 0 && in[i - 1] == 0xFF && i + 1 < in.size() &&
                              (in[i + 1] == 0x00 || in[i + 1] >= 0xE0);
        if (!inserted) {
            out.push_back(in[i]);
        }
    }
    return out;
}

// The frame data of a loaded frame in plain form, however it is stored.
Bytes PlainData(TFrameIndex& frames, std::uint32_t i)
{
    if (frames.StoredUnsynchronisation(i)) {
        frames.DeunsyncFrame(i);
    }
    if (frames.StoredCompression(i)) {
        frames.DecompressFrame(i);
    }
    return frames.Record(i).Data;
}

// The CRC the extended header must hold, worked out from the file's bytes:
// version 3 over the frames without unsynchronisation, version 4 over
// frames and padding.
std::uint32_t CrcFromFile(const Bytes& file, const Tid3v2tag& saved)
{
    Bytes body = Slice(file, 10, saved.TagSize);
    if (saved.MajorVersion == 3) {
        if (saved.Unsynchronisation()) {
            body = Deunsync(body);
        }
        const Bytes frames = Slice(body, 14, body.size() - 14 - saved.PaddingSize);
        return testsupport::Crc32(frames);
    }
    return testsupport::Crc32(Slice(body, 12));
}

using Combination = std::tuple<int, bool, bool, bool>; // version, unsync, compression, CRC

class WriterRoundTrip : public testing::TestWithParam<Combination>
{
};

std::string CombinationName(const testing::TestParamInfo<Combination>& info)
{
    const auto& [version, unsync, compress, crc] = info.param;
    return "V" + std::to_string(version) + (unsync ? "Unsync" : "") +
           (compress ? "Compressed" : "") + (crc ? "Crc" : "") + "Tag";
}

} // namespace

TEST_P(WriterRoundTrip, SavedTagLoadsBackFrameByFrame)
{
    using namespace frameflags;
    const auto [version, unsync, compress, crc] = GetParam();
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    Bytes behind = Pattern(30000, 11);
    testsupport::Append(behind, Trailer());
    Bytes original = Id3v2Builder().TextFrame("TIT2", "Old").Padding(40).Build();
    testsupport::Append(original, behind);
    WriteFile(path, original);

    Tid3v2tag tag;
    tag.SetCrcPresent(crc);
    const std::vector<PlainFrame> frames = SampleFrames();
    const std::uint8_t requested =
        (compress ? kCompression : 0) | (unsync ? kUnsynchronisation : 0);
    for (const PlainFrame& frame : frames) {
        const std::uint32_t i = AddFrame(tag, frame.Id, frame.Data, 0, requested);
        tag.Frames.SetFlags(i, 1, frame.Status);
    }
    ASSERT_EQ(Save(tag, path, static_cast<std::uint8_t>(version)), status::kOk);

    Tid3v2tag loaded;
    ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk);
    EXPECT_EQ(loaded.MajorVersion, version);
    EXPECT_EQ(loaded.Unsynchronisation(), unsync);
    EXPECT_EQ(loaded.CrcPresent(), crc);
    EXPECT_EQ(loaded.TagSize, tag.TagSize);
    EXPECT_EQ(loaded.CRC32, tag.CRC32);
    ASSERT_EQ(loaded.Frames.Count(), frames.size());
    for (std::uint32_t i = 1; i <= loaded.Frames.Count(); ++i) {
        const PlainFrame& frame = frames[i - 1];
        EXPECT_EQ(loaded.Frames.ID(i), frame.Id);
        EXPECT_EQ(loaded.Frames.StoredCompression(i), compress) << frame.Id;
        EXPECT_EQ(loaded.Frames.GetStoredFlags(i, 1), frame.Status) << frame.Id;
        if (version == 4) {
            EXPECT_EQ(loaded.Frames.StoredUnsynchronisation(i), unsync) << frame.Id;
        }
        const Bytes data = PlainData(loaded.Frames, i);
        EXPECT_EQ(data, frame.Data)
            << frame.Id << ": " << Hex(data) << " instead of " << Hex(frame.Data);
    }

    const Bytes file = ReadFile(path);
    EXPECT_EQ(Slice(file, tag.TagSize + 10), behind) << "audio or ID3v1 trailer changed";
    if (crc) {
        EXPECT_EQ(tag.CRC32, CrcFromFile(file, tag));
    }
}

INSTANTIATE_TEST_SUITE_P(AllFlags, WriterRoundTrip,
                         testing::Combine(testing::Values(3, 4), testing::Bool(), testing::Bool(),
                                          testing::Bool()),
                         CombinationName);

TEST(WriterVersionChange, Version3SavedAsVersion4AndBackKeepsEveryFrame)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    Bytes behind = Pattern(5000, 12);
    testsupport::Append(behind, Trailer());
    const Bytes comment = testsupport::Latin1Comment("deu", "Beschreibung", "Text");
    Bytes original = Id3v2Builder()
                         .TextFrame("TIT2", "Title")
                         .Frame("TPE1", testsupport::Latin1Text("Artist"), 0x80)
                         .CompressedFrameV3("COMM", comment)
                         .Frame("GRP1", {0xFF, 0xE0, 0x00, 0x01}, 0x40, 0x20, {0x33})
                         .Frame("PRIV", Pattern(3000, 13))
                         .Unsync()
                         .Padding(100)
                         .Build();
    testsupport::Append(original, behind);
    WriteFile(path, original);

    auto contents = [](Tid3v2tag& tag) {
        std::vector<std::tuple<std::string, Bytes, int, int, int>> out;
        for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
            out.emplace_back(tag.Frames.ID(i), PlainData(tag.Frames, i), tag.Frames.GetFlags(i, 1),
                             tag.Frames.Grouping(i) ? 1 : 0, tag.Frames.GetGroupID(i));
        }
        return out;
    };
    Tid3v2tag first;
    ASSERT_EQ(first.LoadFromFile(path, 0), status::kOk);
    ASSERT_EQ(first.Frames.Count(), 5u);
    ASSERT_EQ(first.SaveToFile("=", 4, 255, -1), status::kOk);
    Tid3v2tag asVersion4;
    ASSERT_EQ(asVersion4.LoadFromFile(path, 0), status::kOk);
    EXPECT_EQ(asVersion4.MajorVersion, 4);
    ASSERT_EQ(asVersion4.SaveToFile("=", 3, 255, -1), status::kOk);
    Tid3v2tag back;
    ASSERT_EQ(back.LoadFromFile(path, 0), status::kOk);
    EXPECT_EQ(back.MajorVersion, 3);

    Tid3v2tag reference;
    ASSERT_EQ(reference.LoadFromFile(path, 0), status::kOk);
    Tid3v2tag fromOriginal;
    const std::string originalPath = dir.File("original.mp3");
    WriteFile(originalPath, original);
    ASSERT_EQ(fromOriginal.LoadFromFile(originalPath, 0), status::kOk);
    const auto expected = contents(fromOriginal);
    EXPECT_EQ(contents(asVersion4), expected);
    EXPECT_EQ(contents(back), expected);
    EXPECT_EQ(Slice(ReadFile(path), back.TagSize + 10), behind);
}
