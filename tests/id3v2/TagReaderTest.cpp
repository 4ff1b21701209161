#include "FrameFlags.h"
#include "ReaderFixture.h"

using namespace varnello;
using namespace varnello::readertest;
using testsupport::AppendBE32;
using testsupport::AppendSyncsafe32;
using testsupport::Id3v2Builder;
using testsupport::ToBytes;

namespace {

// The header of a tag that lies about nothing but the given bytes.
Bytes Header(std::uint8_t major, std::uint8_t revision, std::uint8_t flags, std::uint32_t size)
{
    Bytes out = ToBytes("ID3");
    out.push_back(major);
    out.push_back(revision);
    out.push_back(flags);
    AppendSyncsafe32(out, size);
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Status words of the whole load, case by case.

namespace {

struct StatusCase
{
    const char* Name;
    Bytes File;
    StatusWord Expected;
    std::uint32_t FramesAfter;
};

void PrintTo(const StatusCase& c, std::ostream* out)
{
    *out << c.Name;
}

class ReaderStatus : public ReaderTest, public testing::WithParamInterface<StatusCase>
{
};

} // namespace

TEST_P(ReaderStatus, GivesTheExpectedStatusWord)
{
    const StatusCase& c = GetParam();
    const StatusWord got = LoadFile(c.File);
    EXPECT_EQ(got, c.Expected) << "got " << StatusHex(got) << ", want " << StatusHex(c.Expected)
                               << "\nfile: " << Hex(c.File);
    EXPECT_EQ(m_tag.Frames.Count(), c.FramesAfter);
}

namespace {

Bytes WithAudio(const Bytes& tag)
{
    return testsupport::Mp3Builder().Tag(tag).Audio(1).Build();
}

Bytes Title()
{
    return testsupport::Latin1Text("Title");
}

std::vector<StatusCase> StatusCases()
{
    Bytes nine = ToBytes("ID3");
    nine.insert(nine.end(), {3, 0, 0, 0, 0, 0});
    Bytes badSize = Header(3, 0, 0, 0);
    badSize[7] = 0x80;
    Bytes oneTooLong = Id3v2Builder().TextFrame("TIT2", "x").Build();
    oneTooLong[9] = static_cast<std::uint8_t>(oneTooLong[9] + 1);
    Bytes exact = Id3v2Builder().TextFrame("TIT2", "x").Build();
    Bytes sixOfAHeader = Id3v2Builder().TextFrame("TIT2", "x").Raw(ToBytes("TPE1\0\0")).Build();

    Bytes shortCrc{0, 0, 0, 10, 1, 0x20, 4, 1, 2, 3};
    Bytes tooSmallExt{0, 0, 0, 5, 1, 0, 0, 0};
    Bytes noFlagBytes{0, 0, 0, 6, 0, 0};

    return {
        {"NineBytes", nine, status::kNoTag, 0},
        {"NotId3", WithAudio(ToBytes("TAG0123456789")), status::kNoTag, 0},
        {"SizeByteAbove7F", WithAudio(badSize), status::kNoTag, 0},
        {"VersionFF", WithAudio(Header(0xFF, 0, 0, 0)), status::kNoTag, 0},
        {"RevisionFF", WithAudio(Header(3, 0xFF, 0, 0)), status::kNoTag, 0},
        {"EmptyTagV22", WithAudio(Header(2, 0, 0, 0)), status::kOk, 0},
        {"CompressedV22", WithAudio(Header(2, 0, 0x40, 0)), status::kMajorVersion, 0},
        {"Version5", WithAudio(Header(5, 0, 0, 0)), status::kMajorVersion, 0},
        {"RevisionAccepted", WithAudio(Id3v2Builder().Version(3, 1).TextFrame("TIT2", "x").Build()),
         status::kWarnRevision, 1},
        {"SizeOnePastEnd", oneTooLong, status::kBadTagSize, 0},
        {"SizeExactlyTheFile", exact, status::kOk, 1},
        {"EmptyTag", WithAudio(Header(3, 0, 0, 0)), status::kOk, 0},
        {"EmptyTagV4", WithAudio(Header(4, 0, 0, 0)), status::kOk, 0},
        {"UndefinedFlagsV3",
         WithAudio(Id3v2Builder().HeaderFlags(0x01).TextFrame("TIT2", "x").Build()),
         status::kWarnHeaderFlags, 1},
        {"FooterFlagIsUndefinedInV3", WithAudio(Id3v2Builder().HeaderFlags(0x10).Build()),
         status::kWarnHeaderFlags, 0},
        {"UndefinedFlagsV4",
         WithAudio(Id3v2Builder().Version(4).HeaderFlags(0x08).TextFrame("TIT2", "x").Build()),
         status::kWarnHeaderFlags, 1},
        {"FooterFlagV4", WithAudio(Id3v2Builder().Version(4).HeaderFlags(0x10).Build()),
         status::kOk, 0},
        {"BlankInFrameId",
         WithAudio(Id3v2Builder().TextFrame("TIT2", "x").TextFrame("TP 1", "y").Build()),
         status::kWarnJunkPadding, 1},
        {"FrameLargerThanTag",
         WithAudio(
             Id3v2Builder().TextFrame("TIT2", "x").Frame("TPE1", Title(), 0, 0, {}, 100).Build()),
         status::kBadTag, 1},
        {"TagEndsInFrameHeader", WithAudio(sixOfAHeader), status::kWarnJunkPadding, 1},
        {"FrameSmallerThanItsAddedBytesV3",
         WithAudio(Id3v2Builder().Frame("TIT2", {1, 2}, 0, 0x80, {}, 3).Build()), status::kBadTag,
         0},
        {"FrameSmallerThanItsAddedBytesV4",
         WithAudio(Id3v2Builder().Version(4).Frame("TIT2", {1, 2, 3}, 0, 0x41, {}, 3).Build()),
         status::kBadTag, 0},
        {"ExtendedHeaderV4TooSmall",
         WithAudio(Id3v2Builder().Version(4).RawExtendedHeader(tooSmallExt).Build()),
         status::kBadTag, 0},
        {"ExtendedHeaderV4WithoutFlagBytes",
         WithAudio(Id3v2Builder()
                       .Version(4)
                       .RawExtendedHeader(noFlagBytes)
                       .TextFrame("TIT2", "x")
                       .Build()),
         status::kBadTag, 0},
        {"ExtendedHeaderV4ShortCrc",
         WithAudio(
             Id3v2Builder().Version(4).RawExtendedHeader(shortCrc).TextFrame("TIT2", "x").Build()),
         status::kBadTag, 0},
        {"WarningKeptWithBadFrameId",
         WithAudio(Id3v2Builder()
                       .HeaderFlags(0x1F)
                       .TextFrame("TIT2", "x")
                       .Raw(ToBytes("ab-d"))
                       .Padding(20)
                       .Build()),
         static_cast<StatusWord>(status::kWarnJunkPadding | status::kWarnHeaderFlags), 1},
        {"WarningsKeptWithBadTagSize",
         [] {
             Bytes tag =
                 Id3v2Builder().Version(3, 2).HeaderFlags(0x01).TextFrame("TIT2", "x").Build();
             tag[9] = static_cast<std::uint8_t>(tag[9] + 1);
             return tag;
         }(),
         static_cast<StatusWord>(status::kBadTagSize | status::kWarnHeaderFlags |
                                 status::kWarnRevision),
         0},
        {"ExtendedWarningKeptWithBadTag",
         WithAudio(Id3v2Builder()
                       .Version(4)
                       .RawExtendedHeader({0, 0, 0, 7, 2, 0x01, 0})
                       .TextFrame("TIT2", "x")
                       .Frame("TPE1", Title(), 0, 0, {}, 200)
                       .Build()),
         static_cast<StatusWord>(status::kBadTag | status::kWarnExtendedFlags), 1},
    };
}

} // namespace

INSTANTIATE_TEST_SUITE_P(TagReader, ReaderStatus, testing::ValuesIn(StatusCases()),
                         [](const testing::TestParamInfo<StatusCase>& param) {
                             return std::string(param.param.Name);
                         });

// ---------------------------------------------------------------------------
// What a load puts into the object.

TEST_F(ReaderTest, ReadsFramesAndTheirOffsets)
{
    const Bytes tag = Id3v2Builder()
                          .TextFrame("TIT2", "Title")
                          .Frame("tpe1", Title(), 0x00, 0x00)
                          .Padding(30)
                          .Build();
    ASSERT_EQ(Load(tag), status::kOk);
    ASSERT_EQ(m_tag.Frames.Count(), 2u);
    EXPECT_EQ(m_tag.Frames.ID(1), "TIT2");
    EXPECT_EQ(m_tag.Frames.ID(2), "TPE1") << "lower case is stored in upper case";
    EXPECT_EQ(Data(1), Title()) << Hex(Data(1));
    EXPECT_EQ(m_tag.Frames.GetDataOffset(1), 10u);
    EXPECT_EQ(m_tag.Frames.GetDataOffset(2), 10u + 6u + 10u);
    EXPECT_EQ(m_tag.Frames.Record(1).HeaderSize, 10u);
    EXPECT_TRUE(m_tag.Frames.Record(1).Modified);
    EXPECT_EQ(m_tag.PaddingSize, 30u);
    EXPECT_EQ(m_tag.TagSize, 2u * 16u + 30u);
    EXPECT_EQ(m_tag.MajorVersion, 3);
    EXPECT_FALSE(m_tag.Modified);
    EXPECT_TRUE(m_tag.LoadComplete);
    EXPECT_EQ(m_tag.LoadStatus, status::kOk);
    EXPECT_EQ(m_tag.Progress, 100);
    EXPECT_EQ(m_tag.ProgressText, "Load Complete");
}

TEST_F(ReaderTest, PaddingIsZerosOrMP3eAndMayBeMissing)
{
    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "x").Padding(500).Build()), status::kOk);
    EXPECT_EQ(m_tag.PaddingSize, 500u);
    EXPECT_EQ(m_tag.Frames.Count(), 1u);

    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "x").Raw(ToBytes("MP3ext junk 123")).Build()),
              status::kOk);
    EXPECT_EQ(m_tag.PaddingSize, 15u) << "MP3e starts padding";
    EXPECT_EQ(m_tag.Frames.Count(), 1u);

    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "x").TextFrame("TPE1", "y").Build()),
              status::kOk);
    EXPECT_EQ(m_tag.PaddingSize, 0u) << "frames that fill the tag leave no padding";
    EXPECT_EQ(m_tag.Frames.Count(), 2u);

    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "x").Padding(4).Build()), status::kOk);
    EXPECT_EQ(m_tag.PaddingSize, 4u) << "a short run of zeros at the end is padding too";
}

TEST_F(ReaderTest, Version3ExtendedHeaderPaddingMismatchWarns)
{
    const Bytes tag =
        Id3v2Builder().ExtendedHeaderV3(100).TextFrame("TIT2", "x").Padding(200).Build();
    ASSERT_EQ(Load(tag), status::kWarnPadding);
    EXPECT_EQ(m_tag.PaddingSize, 100u) << "the extended header's value is kept";
    EXPECT_EQ(m_tag.ExtHeaderSize, 6u);

    ASSERT_EQ(
        Load(Id3v2Builder().ExtendedHeaderV3(200).TextFrame("TIT2", "x").Padding(200).Build()),
        status::kOk);
    EXPECT_EQ(m_tag.PaddingSize, 200u);

    ASSERT_EQ(Load(Id3v2Builder().ExtendedHeaderV3(50).TextFrame("TIT2", "x").Build()),
              status::kWarnPadding)
        << "promised padding that is missing altogether also warns";
}

TEST_F(ReaderTest, Version3ExtendedHeaderWithCrc)
{
    const Bytes tag = Id3v2Builder()
                          .ExtendedHeaderV3(10, 0xDEADBEEFu, 0x0001)
                          .TextFrame("TIT2", "x")
                          .Padding(10)
                          .Build();
    ASSERT_EQ(Load(tag), status::kWarnExtendedFlags) << "second flag byte is undefined";
    EXPECT_EQ(m_tag.ExtHeaderSize, 10u);
    EXPECT_TRUE(m_tag.CrcPresent());
    EXPECT_EQ(m_tag.CRC32, 0xDEADBEEFu);
    EXPECT_EQ(m_tag.Frames.Count(), 1u);
    EXPECT_EQ(m_tag.Frames.GetDataOffset(1), 14u + 10u);
    EXPECT_FALSE(m_tag.Modified);

    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "x").Build()), status::kOk);
    EXPECT_FALSE(m_tag.CrcPresent()) << "a tag without extended header clears the values";
    EXPECT_EQ(m_tag.CRC32, 0u);
    EXPECT_EQ(m_tag.ExtHeaderSize, 0u);
}

TEST_F(ReaderTest, Version4ExtendedHeaderFlagsInBitOrder)
{
    const Bytes tag = Id3v2Builder()
                          .Version(4)
                          .ExtendedHeaderV4(true, 0xF1234567u, 0x5A)
                          .TextFrame("TIT2", "x")
                          .Build();
    ASSERT_EQ(Load(tag), status::kOk);
    EXPECT_EQ(m_tag.ExtHeaderSize, 6u + 1u + 6u + 2u);
    EXPECT_TRUE(m_tag.TagIsUpdate());
    EXPECT_TRUE(m_tag.CrcPresent());
    EXPECT_TRUE(m_tag.RestrictionsPresent());
    EXPECT_EQ(m_tag.CRC32, 0xF1234567u) << "35-bit value cut to 32 bits";
    EXPECT_EQ(m_tag.Restrictions, 0x5A);
    EXPECT_EQ(m_tag.PaddingSize, 0u);
    ASSERT_EQ(m_tag.Frames.Count(), 1u);

    // An undefined flag 0x80 comes first and is skipped with its data.
    const Bytes odd{0, 0, 0, 12, 1, 0x90, 2, 0xAA, 0xBB, 1, 0x33, 0};
    ASSERT_EQ(Load(Id3v2Builder().Version(4).RawExtendedHeader(odd).TextFrame("TIT2", "x").Build()),
              status::kWarnExtendedFlags);
    EXPECT_EQ(m_tag.Restrictions, 0x33);
    EXPECT_EQ(m_tag.Frames.Count(), 1u);
}

TEST_F(ReaderTest, Version3CompressedFrameCarriesItsSize)
{
    Bytes added;
    AppendBE32(added, 1234);
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ASSERT_EQ(Load(Id3v2Builder().Frame("TIT2", data, 0, 0x80, added).Build()), status::kOk);
    ASSERT_EQ(m_tag.Frames.Count(), 1u);
    EXPECT_EQ(m_tag.Frames.GetDataLength(1), 1234u);
    EXPECT_EQ(Data(1), data) << Hex(Data(1));
    EXPECT_EQ(m_tag.Frames.Record(1).HeaderSize, 14u);
    EXPECT_EQ(m_tag.Frames.GetStoredFlags(1, 2), 0x09);
    EXPECT_EQ(m_tag.Frames.GetFlags(1, 2), 0x09) << "requested flags start as stored";

    const Bytes plain = ToBytes("a longer text that deflate can shrink, shrink, shrink");
    ASSERT_EQ(Load(Id3v2Builder().CompressedFrameV3("COMM", plain).Build()), status::kOk);
    EXPECT_EQ(m_tag.Frames.DecompressFrame(1), frameresult::kOk);
    EXPECT_EQ(Data(1), plain);
}

TEST_F(ReaderTest, Version3FlagsAreTranslatedAndAddedBytesReadInOrder)
{
    Bytes added;
    AppendBE32(added, 77);
    added.push_back(0x81); // encryption method
    added.push_back(0x42); // group
    ASSERT_EQ(Load(Id3v2Builder().Frame("TIT2", {9, 9}, 0xE0, 0xE0, added).Build()), status::kOk);
    const TFrameIndex& frames = m_tag.Frames;
    EXPECT_EQ(frames.GetStoredFlags(1, 1), 0x70);
    EXPECT_EQ(frames.GetStoredFlags(1, 2), 0x4D);
    EXPECT_EQ(frames.GetDataLength(1), 77u);
    EXPECT_EQ(frames.GetEncryptionMethod(1), 0x81);
    EXPECT_EQ(frames.GetGroupID(1), 0x42);
    EXPECT_EQ(frames.Record(1).HeaderSize, 16u);
    EXPECT_EQ(frames.Record(1).Data, (Bytes{9, 9}));
}

TEST_F(ReaderTest, Version4GroupThenMethodThenDataLength)
{
    Bytes added{0x42, 0x81};
    AppendSyncsafe32(added, 300);
    const Bytes data{1, 2, 3};
    ASSERT_EQ(Load(Id3v2Builder().Version(4).Frame("TIT2", data, 0x70, 0x4F, added).Build()),
              status::kOk);
    const TFrameIndex& frames = m_tag.Frames;
    EXPECT_EQ(frames.GetGroupID(1), 0x42);
    EXPECT_EQ(frames.GetEncryptionMethod(1), 0x81);
    EXPECT_EQ(frames.GetDataLength(1), 300u) << "syncsafe data length";
    EXPECT_EQ(frames.GetStoredFlags(1, 1), 0x70);
    EXPECT_EQ(frames.GetStoredFlags(1, 2), 0x4F) << "version 4 flags are kept as they are";
    EXPECT_EQ(frames.Record(1).HeaderSize, 16u);
    EXPECT_EQ(frames.Record(1).Data, data);

    // Undefined bits stay too, and a syncsafe frame size is read as such.
    const Bytes big(200, 0x41);
    ASSERT_EQ(Load(Id3v2Builder().Version(4).Frame("TXXX", big, 0x8F, 0xB0).Build()), status::kOk);
    EXPECT_EQ(m_tag.Frames.GetStoredFlags(1, 1), 0x8F);
    EXPECT_EQ(m_tag.Frames.GetStoredFlags(1, 2), 0xB0);
    EXPECT_EQ(Data(1), big);
}

TEST_F(ReaderTest, RevisionIsRefusedWhenNotAccepted)
{
    m_tag.AcceptRevision = false;
    m_tag.LoadStatus = StatusWord{0x0010};
    const StatusWord got = Load(Id3v2Builder().Version(4, 1).TextFrame("TIT2", "x").Build());
    EXPECT_EQ(got, status::kRevision) << StatusHex(got);
    EXPECT_FALSE(m_tag.LoadComplete);
    EXPECT_EQ(m_tag.ProgressText, "Loading tag");
    EXPECT_EQ(m_tag.LoadStatus, StatusWord{0x0010}) << "an unrecognised header leaves LoadStatus";
}

TEST_F(ReaderTest, FailuresKeepOrReplaceFramesAsTheyShould)
{
    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "old").Build()), status::kOk);

    // Tag size past the end: earlier frames stay.
    Bytes tooLong = Id3v2Builder().TextFrame("TPE1", "new").Build();
    tooLong[9] = static_cast<std::uint8_t>(tooLong[9] + 1);
    EXPECT_EQ(LoadFile(tooLong), status::kBadTagSize);
    ASSERT_EQ(m_tag.Frames.Count(), 1u);
    EXPECT_EQ(m_tag.Frames.ID(1), "TIT2");
    EXPECT_EQ(m_tag.LoadStatus, status::kBadTagSize);

    // A frame larger than the tag: the frames before it are the new ones.
    EXPECT_EQ(Load(Id3v2Builder()
                       .TextFrame("TPE1", "a")
                       .TextFrame("TALB", "b")
                       .Frame("TCON", testsupport::Latin1Text("c"), 0, 0, {}, 100)
                       .Build()),
              status::kBadTag);
    ASSERT_EQ(m_tag.Frames.Count(), 2u);
    EXPECT_EQ(m_tag.Frames.ID(2), "TALB");
    EXPECT_TRUE(m_tag.LoadComplete);

    // A broken version 4 extended header stops before the frame list is touched.
    const Bytes noFlagBytes{0, 0, 0, 6, 0, 0};
    EXPECT_EQ(Load(Id3v2Builder()
                       .Version(4)
                       .RawExtendedHeader(noFlagBytes)
                       .TextFrame("TCON", "c")
                       .Build()),
              status::kBadTag);
    ASSERT_EQ(m_tag.Frames.Count(), 2u);
    EXPECT_EQ(m_tag.Frames.ID(2), "TALB");
    EXPECT_EQ(m_tag.LoadStatus, status::kBadTag);
    EXPECT_EQ(m_tag.MajorVersion, 4);

    // Not a tag at all: nothing changes.
    EXPECT_EQ(LoadFile(testsupport::MpegFrames(3)), status::kNoTag);
    EXPECT_EQ(m_tag.Frames.Count(), 2u);
    EXPECT_EQ(m_tag.LoadStatus, status::kBadTag);
}

TEST_F(ReaderTest, ZeroSizeFrameAtTheEndIsAFrame)
{
    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "x").Frame("TPE1", {}).Build()), status::kOk);
    ASSERT_EQ(m_tag.Frames.Count(), 2u);
    EXPECT_EQ(m_tag.Frames.DataSize(2), 0u);
}

TEST_F(ReaderTest, ProgressRunsFromZeroToHundred)
{
    std::vector<std::pair<int, std::string>> seen;
    m_tag.OnProgress = [&seen](const Tid3v2tag& tag) {
        seen.emplace_back(tag.Progress, tag.ProgressText);
    };
    const Bytes big(100000, 0x41);
    ASSERT_EQ(Load(Id3v2Builder().Frame("TXXX", big).Frame("TXXX", big).Build()), status::kOk);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), (std::pair<int, std::string>{0, "Loading tag"}));
    EXPECT_EQ(seen.back(), (std::pair<int, std::string>{100, "Load Complete"}));
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i].first, seen[i - 1].first) << "progress never goes back";
    }
    const bool hasMiddle = std::any_of(seen.begin(), seen.end(),
                                       [](const auto& p) { return p.first > 0 && p.first < 100; });
    EXPECT_TRUE(hasMiddle) << "a large tag shows figures in between";
}
