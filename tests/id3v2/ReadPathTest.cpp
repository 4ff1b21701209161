// Large frames are read straight from the file into their buffers, small
// ones through the body reader's buffer. Whichever way a frame's data takes,
// the frame records, the status words and the progress figures must be those
// of one pass through the body.

#include "FrameFlags.h"
#include "ReaderFixture.h"

#include <random>

using namespace varnello;
using namespace varnello::readertest;
using testsupport::Id3v2Builder;

namespace {

Bytes Filler(std::mt19937& random, std::size_t size)
{
    Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// Frames of sizes around the 16 KiB blocks and the 64 KiB ring the progress
// figure counts by, about 1.2 MB in all, so that one percent is less than a
// block.
Bytes MixedSizes(std::mt19937& random, std::uint8_t major)
{
    Id3v2Builder b;
    b.Version(major);
    for (const std::size_t size : {5u, 70000u, 16384u, 3u, 131072u, 40000u, 1u, 250000u, 9000u,
                                   65534u, 16383u, 16385u, 300000u, 2u, 65537u, 200000u}) {
        b.Frame("TXXX", Filler(random, size));
    }
    return b.Padding(12345).Build();
}

// The progress figures a load reports, as "percent text" items, the text
// shortened to L ("Loading tag") or C ("Load Complete").
std::string ProgressOf(Tid3v2tag& tag, const std::function<StatusWord()>& load)
{
    std::string seen;
    tag.OnProgress = [&seen](const Tid3v2tag& t) {
        seen += std::to_string(t.Progress) + (t.ProgressText == "Loading tag" ? "L " : "C ");
    };
    EXPECT_TRUE(status::IsSuccess(load()));
    tag.OnProgress = nullptr;
    return seen;
}

struct ProgressCase
{
    const char* Name;
    std::function<Bytes(std::mt19937&)> Tag;
    const char* Expected;
};

void PrintTo(const ProgressCase& c, std::ostream* out)
{
    *out << c.Name;
}

class ReadPathProgress : public ReaderTest, public testing::WithParamInterface<ProgressCase>
{
};

} // namespace

TEST_P(ReadPathProgress, FiguresAreThoseOfTheRing)
{
    std::mt19937 random(11u);
    const Bytes tag = GetParam().Tag(random);
    const std::string got = ProgressOf(m_tag, [&] { return Load(tag); });
    EXPECT_EQ(got, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    TagReader, ReadPathProgress,
    testing::Values(ProgressCase{"PictureAndLargeTextV3",
                                 [](std::mt19937& r) {
                                     return Id3v2Builder()
                                         .TextFrame("TIT2", "x")
                                         .Frame("APIC", Filler(r, 100000))
                                         .Frame("TXXX", Filler(r, 70000))
                                         .Padding(3000)
                                         .Build();
                                 },
                                 "0L 38L 66L 100L 100C "},
                    ProgressCase{"BlockEdgesV4",
                                 [](std::mt19937& r) {
                                     return Id3v2Builder()
                                         .Version(4)
                                         .Frame("TXXX", Filler(r, 16370))
                                         .Frame("TIT2", Filler(r, 5))
                                         .Frame("TXXX", Filler(r, 65536))
                                         .Frame("TXXX", Filler(r, 200000))
                                         .Build();
                                 },
                                 "0L 23L 41L 100L 100C "},
                    ProgressCase{"ManySmallFramesWithExtendedHeaderV3",
                                 [](std::mt19937& r) {
                                     Id3v2Builder b;
                                     b.ExtendedHeaderV3(500);
                                     for (int i = 0; i < 120; ++i) {
                                         b.Frame("TXXX", Filler(r, 1000));
                                     }
                                     return b.Padding(500).Build();
                                 },
                                 "0L 54L 100L 100C "},
                    ProgressCase{"FlagAddedBytesV4",
                                 [](std::mt19937& r) {
                                     Bytes added{0x42, 0x81};
                                     testsupport::AppendSyncsafe32(added, 30000);
                                     return Id3v2Builder()
                                         .Version(4)
                                         .Frame("TXXX", Filler(r, 30000), 0, 0x45, added)
                                         .Frame("TXXX", Filler(r, 120000))
                                         .TextFrame("TIT2", "end")
                                         .Padding(70000)
                                         .Build();
                                 },
                                 "0L 30L 74L 100C "},
                    ProgressCase{"MixedSizesV3", [](std::mt19937& r) { return MixedSizes(r, 3); },
                                 "0L 5L 10L 22L 44L 49L 54L 80L 84L 100L 100C "},
                    ProgressCase{"MixedSizesV4", [](std::mt19937& r) { return MixedSizes(r, 4); },
                                 "0L 5L 10L 22L 44L 49L 54L 80L 84L 100L 100C "},
                    ProgressCase{
                        "SmallTag",
                        [](std::mt19937&) {
                            return Id3v2Builder().TextFrame("TIT2", "x").Padding(10).Build();
                        },
                        "0L 100L 100C "}),
    [](const testing::TestParamInfo<ProgressCase>& param) {
        return std::string(param.param.Name);
    });

namespace {

// What the reader must make of one frame the test lays out.
struct ExpectedFrame
{
    Bytes Data;
    std::uint32_t DataOffset = 0;
    std::uint32_t HeaderSize = 10;
    std::array<std::uint8_t, 2> StoredFlags{};
    std::uint32_t DataLength = 0;
    std::uint8_t EncryptionMethod = 0;
    std::uint8_t GroupID = 0;
};

std::size_t RandomFrameSize(std::mt19937& random)
{
    switch (random() % 4) {
    case 0:
        return random() % 40;
    case 1:
        return random() % 4000;
    case 2:
        return 16384 - 20 + random() % 40;
    default:
        return random() % 300000;
    }
}

// A frame with random flag-added fields in the version's order; returns what
// the record must hold, DataOffset counted from `bodyAt`, the body position
// of the frame header.
ExpectedFrame AddRandomFrame(std::mt19937& random, Id3v2Builder& builder, std::uint8_t major,
                             std::size_t bodyAt)
{
    ExpectedFrame frame;
    frame.Data = Filler(random, RandomFrameSize(random));
    const bool grouped = random() % 4 == 0;
    const bool encrypted = random() % 4 == 0;
    const bool withLength = random() % 4 == 0;
    const auto group = static_cast<std::uint8_t>(random());
    const auto method = static_cast<std::uint8_t>(random());
    const auto length = static_cast<std::uint32_t>(random() % 0x0FFFFFFF);
    const auto status = static_cast<std::uint8_t>(random() % 2 == 0 ? 0x00 : 0xC0);
    Bytes added;
    std::uint8_t format = 0;
    if (major == 3) {
        format = static_cast<std::uint8_t>((withLength ? 0x80 : 0) | (encrypted ? 0x40 : 0) |
                                           (grouped ? 0x20 : 0));
        if (withLength) {
            testsupport::AppendBE32(added, length);
        }
        if (encrypted) {
            added.push_back(method);
        }
        if (grouped) {
            added.push_back(group);
        }
        frame.StoredFlags = {static_cast<std::uint8_t>(status >> 1),
                             static_cast<std::uint8_t>((withLength ? 0x09 : 0) |
                                                       (encrypted ? 0x04 : 0) |
                                                       (grouped ? 0x40 : 0))};
    } else {
        format = static_cast<std::uint8_t>((grouped ? 0x40 : 0) | (encrypted ? 0x04 : 0) |
                                           (withLength ? 0x01 : 0));
        if (grouped) {
            added.push_back(group);
        }
        if (encrypted) {
            added.push_back(method);
        }
        if (withLength) {
            testsupport::AppendSyncsafe32(added, length);
        }
        frame.StoredFlags = {status, format};
    }
    builder.Frame("TXXX", frame.Data, status, format, added);
    frame.DataOffset = static_cast<std::uint32_t>(bodyAt + 10);
    frame.HeaderSize = static_cast<std::uint32_t>(10 + added.size());
    frame.DataLength = withLength ? length : 0;
    frame.EncryptionMethod = encrypted ? method : 0;
    frame.GroupID = grouped ? group : 0;
    return frame;
}

} // namespace

// Random tags of both versions with frames from empty to 300 KB, flag-added
// fields and padding: every record holds exactly the frame as laid out.
TEST_F(ReaderTest, RandomTagsGiveTheFramesAsLaidOut)
{
    std::mt19937 random(2024u);
    for (int round = 0; round < 24; ++round) {
        const auto major = static_cast<std::uint8_t>(round % 2 == 0 ? 3 : 4);
        Id3v2Builder builder;
        builder.Version(major);
        std::vector<ExpectedFrame> frames;
        std::size_t at = 0;
        const std::size_t count = 1 + random() % 12;
        for (std::size_t f = 0; f < count; ++f) {
            frames.push_back(AddRandomFrame(random, builder, major, at));
            at = frames.back().DataOffset + frames.back().HeaderSize - 10 +
                 frames.back().Data.size();
        }
        const std::size_t padding = random() % 3 == 0 ? 0 : random() % 70000;
        builder.Padding(padding);
        const Bytes tag = builder.Build();
        const StatusWord got = Load(tag);
        ASSERT_EQ(got, status::kOk) << "round " << round << ": " << StatusHex(got);
        ASSERT_EQ(m_tag.Frames.Count(), frames.size()) << "round " << round;
        EXPECT_EQ(m_tag.PaddingSize, padding) << "round " << round;
        for (std::uint32_t i = 1; i <= m_tag.Frames.Count(); ++i) {
            const FrameRecord& record = m_tag.Frames.Record(i);
            const ExpectedFrame& want = frames[i - 1];
            const std::string where =
                "round " + std::to_string(round) + " frame " + std::to_string(i);
            ASSERT_TRUE(record.Data == want.Data)
                << where << ": " << record.Data.size() << " bytes " << Hex(record.Data) << ", want "
                << want.Data.size() << " bytes " << Hex(want.Data);
            EXPECT_EQ(record.DataOffset, want.DataOffset) << where;
            EXPECT_EQ(record.HeaderSize, want.HeaderSize) << where;
            EXPECT_EQ(record.StoredFlags, want.StoredFlags) << where;
            EXPECT_EQ(record.Flags, want.StoredFlags) << where;
            EXPECT_EQ(record.DataLength, want.DataLength) << where;
            EXPECT_EQ(record.EncryptionMethod, want.EncryptionMethod) << where;
            EXPECT_EQ(record.GroupID, want.GroupID) << where;
            EXPECT_TRUE(record.Modified) << where;
        }
    }
}

// The same frames in a version 3 tag with and without tag-level
// unsynchronisation: the first is read partly straight from the file, the
// second wholly through the buffer and the decoder. The records must not
// tell them apart.
TEST_F(ReaderTest, FramesReadStraightMatchFramesReadThroughTheDecoder)
{
    std::mt19937 random(99u);
    for (int round = 0; round < 8; ++round) {
        Id3v2Builder plain;
        Id3v2Builder unsynchronised;
        unsynchronised.Unsync();
        std::size_t at = 0;
        const std::size_t count = 2 + random() % 8;
        for (std::size_t f = 0; f < count; ++f) {
            std::mt19937 same(static_cast<unsigned>(random()));
            std::mt19937 copy = same;
            const ExpectedFrame frame = AddRandomFrame(same, plain, 3, at);
            AddRandomFrame(copy, unsynchronised, 3, at);
            at = frame.DataOffset + frame.HeaderSize - 10 + frame.Data.size();
        }
        plain.Padding(round * 100);
        unsynchronised.Padding(round * 100);
        ASSERT_EQ(Load(plain.Build()), status::kOk) << "round " << round;
        const TFrameIndex straight = m_tag.Frames;
        ASSERT_EQ(Load(unsynchronised.Build()), status::kOk) << "round " << round;
        const TFrameIndex& decoded = m_tag.Frames;
        ASSERT_EQ(straight.Count(), decoded.Count()) << "round " << round;
        for (std::uint32_t i = 1; i <= decoded.Count(); ++i) {
            const FrameRecord& a = straight.Record(i);
            const FrameRecord& b = decoded.Record(i);
            const std::string where =
                "round " + std::to_string(round) + " frame " + std::to_string(i);
            ASSERT_TRUE(a.Data == b.Data) << where << ": " << Hex(a.Data) << " vs " << Hex(b.Data);
            EXPECT_EQ(a.DataOffset, b.DataOffset) << where;
            EXPECT_EQ(a.HeaderSize, b.HeaderSize) << where;
            EXPECT_EQ(a.StoredFlags, b.StoredFlags) << where;
            EXPECT_EQ(a.DataLength, b.DataLength) << where;
            EXPECT_EQ(a.EncryptionMethod, b.EncryptionMethod) << where;
            EXPECT_EQ(a.GroupID, b.GroupID) << where;
        }
    }
}
