// The body reader (buffer, straight reads, removal of tag-level
// unsynchronisation) and the ring count that gives the progress figure.

#include "BodyReader.h"

#include "ReaderFixture.h"
#include "RingCount.h"
#include "Unsync.h"

#include <random>

using namespace varnello;
using namespace varnello::readertest;
using testsupport::Id3v2Builder;

namespace {

// Offset of a frame's data within a version 3 body without extended header.
constexpr std::size_t kFirstData = 10;
// A body read in short pieces is refilled every 16 KiB; 64 KiB is also where
// the ring of the progress figure refills.
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

// The decoder must judge FF, 00 and the byte after them as one run when they
// lie on both sides of a refill of the buffer.
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

// Junk after the frames of an unsynchronised tag, with zeros that the
// decoder drops: where the frames end and the padding's size are counted as
// stored, so that together they reach the tag's end.
TEST_F(ReaderTest, UnsyncJunkIsCountedAsStored)
{
    Bytes stored = testsupport::ToBytes("TIT2");
    testsupport::AppendBE32(stored, 4);
    stored.insert(stored.end(), {0, 0, 0, 'a', 'b', 'c'});
    for (int i = 0; i < 8; ++i) {
        stored.insert(stored.end(), {0xFF, 0x00, 0x00, 0xE0});
    }
    const Bytes tag = Id3v2Builder().HeaderFlags(0x80).Raw(stored).Build();
    ASSERT_EQ(Load(tag), status::kWarnJunkPadding) << Hex(tag);
    ASSERT_EQ(m_tag.Frames.Count(), 1u);
    EXPECT_EQ(m_tag.FramesEnd, 10u + 14u);
    EXPECT_EQ(m_tag.PaddingSize, 32u);
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

namespace {

struct RingCase
{
    const char* Name;
    std::uint64_t BodySize;
    std::vector<std::uint64_t> Reads;
    std::uint64_t AtStart;
    std::vector<std::uint64_t> Taken; // after each read
};

void PrintTo(const RingCase& c, std::ostream* out)
{
    *out << c.Name;
}

class RingCountRule : public testing::TestWithParam<RingCase>
{
};

} // namespace

TEST_P(RingCountRule, TakesWhatTheRingWouldHaveTaken)
{
    const RingCase& c = GetParam();
    std::uint64_t taken = ringcount::TakenAtStart(c.BodySize);
    EXPECT_EQ(taken, c.AtStart);
    std::uint64_t consumed = 0;
    for (std::size_t i = 0; i < c.Reads.size(); ++i) {
        taken = ringcount::TakenAfterRead(taken, consumed, c.Reads[i], c.BodySize);
        consumed += c.Reads[i];
        EXPECT_EQ(taken, c.Taken[i]) << "after read " << i << " of " << c.Reads[i] << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    BodyReader, RingCountRule,
    testing::Values(
        RingCase{"SmallBodyTakenAtOnce", 100, {10, 90}, 100, {100, 100}},
        RingCase{"EmptyBody", 0, {0}, 0, {0}},
        // Three blocks and most of the fourth leave 536 bytes held; a read
        // of 600 takes its first piece of 536 only after a refill.
        RingCase{
            "RefillBeforeAPieceThatWouldEmptyIt", 200000, {65000, 600}, 65536, {65536, 130536}},
        // Two bytes held after a piece are enough; one is not.
        RingCase{"TwoBytesLeftAreEnough", 200000, {65530, 4, 1}, 65536, {65536, 65536, 131070}},
        // A long read refills at block boundaries: the fourth block would
        // empty the ring, so it refills from 49152.
        RingCase{"LongReadInBlocks", 300000, {100000}, 65536, {114688}},
        RingCase{"WholeBodyInOneRead", 300000, {300000}, 65536, {300000}},
        RingCase{"RefillStopsAtTheBodyEnd", 70000, {65535}, 65536, {70000}},
        // Pieces end at block boundaries, not 16 KiB after the read began.
        RingCase{"ReadStartingWithinABlock", 1000000, {10, 65526}, 65536, {65536, 114688}}),
    [](const testing::TestParamInfo<RingCase>& param) { return std::string(param.param.Name); });

namespace {

Bytes RandomBody(std::mt19937& random, std::size_t size, bool withSyncBytes)
{
    Bytes body(size);
    for (auto& b : body) {
        if (!withSyncBytes) {
            b = static_cast<std::uint8_t>(random() % 0xFF);
            continue;
        }
        const auto r = random() % 6;
        b = r < 2 ? 0xFF : r == 2 ? 0x00 : r == 3 ? 0xE0 : static_cast<std::uint8_t>(random());
    }
    return body;
}

// Random read sizes, mostly short, some past the 8 KiB of a straight read,
// enough to read the whole body and a little more.
std::vector<std::size_t> RandomPieces(std::mt19937& random, std::size_t total)
{
    std::vector<std::size_t> pieces;
    for (std::size_t sum = 0; sum <= total;) {
        const std::size_t n = random() % 3 == 0 ? random() % 100000 : random() % 40;
        pieces.push_back(n);
        sum += n + 1;
    }
    return pieces;
}

struct PieceRun
{
    Bytes Out;
    std::vector<std::uint64_t> Consumed;
    std::vector<std::uint64_t> Unconsumed;
    std::vector<std::uint64_t> Taken;
};

// Reads the file's body in the given pieces, taking turns between the three
// ways of reading, and records the counts after each piece.
PieceRun ReadInPieces(const std::string& path, std::size_t bodySize, bool unsynchronised,
                      const std::vector<std::size_t>& pieces)
{
    FileStream file(path, FileStream::Access::Read);
    BodyReader reader(file, static_cast<std::uint32_t>(bodySize), unsynchronised);
    PieceRun run;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::size_t n = pieces[i];
        if (i % 3 == 0) {
            reader.Read(n, run.Out);
        } else if (const std::uint8_t* held = i % 3 == 1 ? reader.TakeHeld(n) : nullptr) {
            run.Out.insert(run.Out.end(), held, held + n);
        } else {
            Bytes piece(n);
            piece.resize(reader.Read(std::span<std::uint8_t>(piece)));
            testsupport::Append(run.Out, piece);
        }
        run.Consumed.push_back(reader.Consumed());
        run.Unconsumed.push_back(reader.Unconsumed());
        run.Taken.push_back(reader.Taken());
    }
    return run;
}

} // namespace

// Without 0xFF bytes an unsynchronised body reads as a plain one: the same
// bytes and the same counts, though only the plain one reads straight into
// the target and hands out bytes in place.
TEST(BodyReader, PlainAndUnsynchronisedReadsAgreeWithoutSyncBytes)
{
    testsupport::TempDir dir;
    std::mt19937 random(5u);
    for (int round = 0; round < 20; ++round) {
        const Bytes body = RandomBody(random, 1 + random() % 400000, false);
        const std::string path = dir.File("body" + std::to_string(round));
        testsupport::WriteFile(path, body);
        const std::vector<std::size_t> pieces = RandomPieces(random, body.size());
        const PieceRun plain = ReadInPieces(path, body.size(), false, pieces);
        const PieceRun decoded = ReadInPieces(path, body.size(), true, pieces);
        ASSERT_TRUE(plain.Out == body) << "round " << round << ": " << Hex(plain.Out);
        ASSERT_TRUE(decoded.Out == body) << "round " << round;
        EXPECT_EQ(plain.Consumed, decoded.Consumed) << "round " << round;
        EXPECT_EQ(plain.Unconsumed, decoded.Unconsumed) << "round " << round;
        EXPECT_EQ(plain.Taken, decoded.Taken) << "round " << round;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            ASSERT_EQ(plain.Consumed[i] + plain.Unconsumed[i], body.size()) << "round " << round;
        }
    }
}

// Bodies full of FF, 00 and E0 read in random pieces give what removing the
// unsynchronisation from the whole body at once gives, wherever the pieces
// and the refills cut it; the body counts as consumed to its last stored
// byte.
TEST(BodyReader, UnsynchronisedPiecesGiveTheWholeBodyDecoded)
{
    testsupport::TempDir dir;
    std::mt19937 random(17u);
    for (int round = 0; round < 20; ++round) {
        const Bytes body = RandomBody(random, 1 + random() % 120000, true);
        const std::string path = dir.File("body" + std::to_string(round));
        testsupport::WriteFile(path, body);
        Bytes want = body;
        UnsyncRemove(want);
        const PieceRun run =
            ReadInPieces(path, body.size(), true, RandomPieces(random, body.size()));
        ASSERT_TRUE(run.Out == want)
            << "round " << round << ": " << run.Out.size() << " bytes, want " << want.size();
        EXPECT_EQ(run.Consumed.back(), want.size()) << "round " << round;
        EXPECT_EQ(run.Unconsumed.back(), 0u) << "round " << round;
        EXPECT_EQ(run.Taken.back(), body.size()) << "round " << round;
    }
}
