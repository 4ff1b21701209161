#include "ReaderFixture.h"

#include <random>

using namespace varnello;
using namespace varnello::readertest;
using testsupport::Id3v2Builder;

namespace {

// Offset of a frame's data within a version 3 body without extended header.
constexpr std::size_t kFirstData = 10;
constexpr std::size_t kRing = 65536;

// One frame whose data holds `pattern` so that it starts at body position
// `at` once the body is unsynchronised; the rest is filler without 0xFF.
Bytes FrameDataWithPatternAt(std::size_t at, const Bytes& pattern, std::size_t total)
{
    Bytes data(total, 0x41);
    std::copy(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    return data;
}

struct BoundaryCase
{
    const char* Name;
    Bytes Plain; // the bytes placed into the frame data
    long Shift;  // where the first byte lands, relative to the first refill
};

void PrintTo(const BoundaryCase& c, std::ostream* out)
{
    *out << c.Name;
}

class UnsyncAcrossRefill : public ReaderTest, public testing::WithParamInterface<BoundaryCase>
{
};

} // namespace

// The first fill of the ring takes 65536 body bytes; the decoder must judge
// FF, 00 and the byte after them as one run when they lie on both sides.
TEST_P(UnsyncAcrossRefill, DecodesAsOnePassOverTheBody)
{
    const BoundaryCase& c = GetParam();
    const std::size_t total = 3 * kRing;
    // With no FF in the filler the unsynchronised body has the same layout
    // up to the pattern, so its raw position is known in advance.
    const auto at = static_cast<std::size_t>(static_cast<long>(kRing - kFirstData) + c.Shift);
    const Bytes data = FrameDataWithPatternAt(at, c.Plain, total);
    const Bytes tag = Id3v2Builder().Unsync().Frame("TXXX", data).TextFrame("TIT2", "end").Build();
    ASSERT_EQ(Load(tag), status::kOk);
    ASSERT_EQ(m_tag.Frames.Count(), 2u);
    const Bytes& got = Data(1);
    ASSERT_EQ(got.size(), data.size());
    const Bytes around(got.begin() + static_cast<std::ptrdiff_t>(at),
                       got.begin() + static_cast<std::ptrdiff_t>(at + c.Plain.size()));
    EXPECT_EQ(around, c.Plain) << "got " << Hex(around) << ", want " << Hex(c.Plain);
    EXPECT_TRUE(got == data) << "frame data differs elsewhere";
    EXPECT_EQ(m_tag.Frames.ID(2), "TIT2") << "the next frame header is found after the pattern";
}

INSTANTIATE_TEST_SUITE_P(
    TagReader, UnsyncAcrossRefill,
    testing::Values(
        // FF E0 becomes FF 00 E0 on disk: FF last before the refill, 00 first after.
        BoundaryCase{"FFLastZeroFirst", {0xFF, 0xE0}, -1},
        // 00 last before the refill, E0 first after.
        BoundaryCase{"ZeroLastE0First", {0xFF, 0xE0}, -2},
        BoundaryCase{"FFZeroE0Straddling", {0xFF, 0xE0}, -3},
        BoundaryCase{"AllAfterTheRefill", {0xFF, 0xE0}, 0},
        // FF 00 becomes FF 00 00: the dropped 00 is the first of the refill.
        BoundaryCase{"FFZeroSplit", {0xFF, 0x00}, -1},
        BoundaryCase{"FFZeroZeroSplit", {0xFF, 0x00}, -2},
        // FF FF E0 becomes FF 00 FF 00 E0.
        BoundaryCase{"ChainSplitEarly", {0xFF, 0xFF, 0xE0}, -2},
        BoundaryCase{"ChainSplitLate", {0xFF, 0xFF, 0xE0}, -3},
        BoundaryCase{"ChainSplitLast", {0xFF, 0xFF, 0xE0}, -4},
        // FF 00 41 on disk stays as it is.
        BoundaryCase{"FFZero41Kept", {0xFF, 0x00, 0x41}, -1},
        // Stored FF 00 00 E0 (plain FF 00 E0): only the first 00 goes.
        BoundaryCase{"FFZeroE0PlainSplit", {0xFF, 0x00, 0xE0}, -2}),
    [](const testing::TestParamInfo<BoundaryCase>& param) {
        return std::string(param.param.Name);
    });

TEST_F(ReaderTest, UnsyncFF00E0ReadsAsFFE0AndFF0041Stays)
{
    // Written by hand: the body is stored exactly as given, flag 0x80 set.
    Bytes frame = testsupport::ToBytes("TIT2");
    testsupport::AppendBE32(frame, 5);
    frame.insert(frame.end(), {0, 0, 0xFF, 0xE0, 0xFF, 0x00, 0x41});
    // The frame size counts the bytes after decoding: FF 00 E0 is FF E0.
    Bytes stored = frame;
    stored.insert(stored.begin() + 13, 0x00);
    const Bytes tag = Id3v2Builder().HeaderFlags(0x80).Raw(stored).Build();
    ASSERT_EQ(Load(tag), status::kOk) << Hex(tag);
    ASSERT_EQ(m_tag.Frames.Count(), 1u);
    EXPECT_EQ(Data(1), (Bytes{0xFF, 0xE0, 0xFF, 0x00, 0x41})) << Hex(Data(1));
    EXPECT_TRUE(m_tag.Unsynchronisation());
}

// Version 4 unsynchronises frame by frame: the header's flag leaves the bytes
// as stored and marks every frame's data as unsynchronised.
TEST_F(ReaderTest, Version4TagFlagLeavesFrameDataAlone)
{
    const Bytes data{0xFF, 0x00, 0xE0};
    ASSERT_EQ(Load(Id3v2Builder().Version(4).HeaderFlags(0x80).Frame("TIT2", data).Build()),
              status::kWarnTagUnsync);
    EXPECT_EQ(Data(1), data);
    EXPECT_TRUE(m_tag.Frames.StoredUnsynchronisation(1));
}

TEST_F(ReaderTest, UnsyncRandomBodiesOfManyRefillsReadBack)
{
    std::mt19937 random(7u);
    for (int round = 0; round < 6; ++round) {
        Id3v2Builder builder;
        builder.Unsync();
        std::vector<Bytes> frames;
        const int count = 3 + round;
        for (int f = 0; f < count; ++f) {
            Bytes data(1 + random() % 70000);
            for (auto& b : data) {
                const auto r = random() % 6;
                b = r < 2    ? 0xFF
                    : r == 2 ? 0x00
                    : r == 3 ? 0xE0
                             : static_cast<std::uint8_t>(random());
            }
            builder.Frame("TXXX", data);
            frames.push_back(std::move(data));
        }
        builder.Padding(static_cast<std::size_t>(round) * 1000);
        const Bytes tag = builder.Build();
        ASSERT_EQ(Load(tag), status::kOk) << "round " << round;
        ASSERT_EQ(m_tag.Frames.Count(), frames.size()) << "round " << round;
        for (std::uint32_t i = 1; i <= m_tag.Frames.Count(); ++i) {
            ASSERT_TRUE(Data(i) == frames[i - 1])
                << "round " << round << " frame " << i << ": got " << Hex(Data(i)) << ", want "
                << Hex(frames[i - 1]);
        }
    }
}
