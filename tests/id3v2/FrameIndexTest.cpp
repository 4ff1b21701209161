#include "FrameFlags.h"
#include "Mp3Builder.h"
#include "TFrameIndex.h"
#include "ZlibCodec.h"

#include <gtest/gtest.h>
#include <random>

using namespace varnello;
using varnello::testsupport::Bytes;
using varnello::testsupport::Hex;

namespace {

// A frame as a load leaves it, not yet Modified.
std::uint32_t AddWithData(TFrameIndex& frames, const char* id, const Bytes& data)
{
    FrameRecord record;
    record.ID = id;
    record.Data = data;
    return frames.AppendRecord(std::move(record));
}

} // namespace

TEST(FrameIndex, AddFrameChecksAndUpperCasesTheId)
{
    TFrameIndex frames;
    EXPECT_EQ(frames.AddFrame("TIT2"), 1u);
    EXPECT_EQ(frames.AddFrame("tpe1"), 2u);
    EXPECT_EQ(frames.ID(2), "TPE1") << "lower case is stored in upper case";
    EXPECT_TRUE(frames.Record(2).Modified);
    EXPECT_EQ(frames.AddFrame("TIT"), 0u);
    EXPECT_EQ(frames.AddFrame("TIT22"), 0u);
    EXPECT_EQ(frames.AddFrame("TI T"), 0u);
    EXPECT_EQ(frames.AddFrame("TI-2"), 0u);
    EXPECT_EQ(frames.AddFrame(std::string_view("TI\0T", 4)), 0u);
    EXPECT_EQ(frames.Count(), 2u) << "refused IDs add nothing";
    EXPECT_EQ(frames.Find("TPE1"), 2u);
    EXPECT_EQ(frames.Find("COMM"), 0u);
}

TEST(FrameIndex, DeleteAndClearKeepTheOrder)
{
    TFrameIndex frames;
    AddWithData(frames, "AAAA", {1});
    AddWithData(frames, "BBBB", {2});
    AddWithData(frames, "CCCC", {3});
    EXPECT_FALSE(frames.DeleteFrame(0));
    EXPECT_FALSE(frames.DeleteFrame(4)) << "Count + 1 is out of range";
    EXPECT_EQ(frames.Count(), 3u);
    EXPECT_TRUE(frames.DeleteFrame(2));
    ASSERT_EQ(frames.Count(), 2u);
    EXPECT_EQ(frames.ID(2), "CCCC");
    EXPECT_EQ(frames.Record(2).Data, Bytes{3});
    frames.ClearFrames();
    EXPECT_EQ(frames.Count(), 0u);
}

TEST(FrameIndex, EveryAccessorRefusesABadIndex)
{
    TFrameIndex frames;
    frames.AddFrame("TIT2");
    const auto expectRange = [](auto&& call, const char* what) {
        try {
            call();
            ADD_FAILURE() << what << " did not throw";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "Array range out of bounds.") << what;
        }
    };
    for (std::uint32_t bad : {0u, 2u}) {
        expectRange([&] { frames.Record(bad); }, "Record");
        expectRange([&] { frames.Compression(bad); }, "Compression");
        expectRange([&] { frames.StoredUnsynchronisation(bad); }, "StoredUnsynchronisation");
        expectRange([&] { frames.GetFlags(bad, 1); }, "GetFlags");
        expectRange([&] { frames.SetGroupID(bad, 1); }, "SetGroupID");
        expectRange([&] { frames.DataSize(bad); }, "DataSize");
        expectRange([&] { frames.CompressFrame(bad, 2); }, "CompressFrame");
        expectRange([&] { frames.DeunsyncFrame(bad); }, "DeunsyncFrame");
    }
    expectRange([&] { frames.GetFlags(1, 3); }, "GetFlags k=3");
    expectRange([&] { frames.SetStoredFlags(1, 0, 0); }, "SetStoredFlags k=0");
}

TEST(FrameIndex, SettersMarkModifiedOnlyWhereTheyShould)
{
    TFrameIndex frames;
    AddWithData(frames, "TIT2", {});
    const FrameRecord& record = frames.Record(1);
    frames.SetStoredFlags(1, 2, 0x40);
    frames.SetDataLength(1, 9);
    frames.SetGroupID(1, 0);
    frames.SetEncryptionMethod(1, 0);
    EXPECT_FALSE(record.Modified) << "stored flags, length and unchanged bytes leave it";
    EXPECT_TRUE(frames.StoredGrouping(1));
    EXPECT_FALSE(frames.Grouping(1)) << "requested flags are separate";
    frames.SetGroupID(1, 7);
    EXPECT_TRUE(record.Modified);
    AddWithData(frames, "TPE1", {});
    frames.SetFlags(2, 1, 0x70);
    EXPECT_TRUE(frames.Record(2).Modified);
    EXPECT_TRUE(frames.TagAlterPreservation(2));
    EXPECT_TRUE(frames.FileAlterPreservation(2));
    EXPECT_TRUE(frames.ReadOnly(2));
    AddWithData(frames, "TALB", {1});
    frames.SetData(3, {2});
    EXPECT_TRUE(frames.Record(3).Modified);
}

TEST(FrameIndex, TransformationsRefuseTheWrongState)
{
    TFrameIndex frames;
    AddWithData(frames, "TIT2", {1, 2, 3});
    EXPECT_EQ(frames.DecompressFrame(1), frameresult::kNotApplicable) << "not compressed";
    EXPECT_EQ(frames.DeunsyncFrame(1), frameresult::kNotApplicable) << "not unsynchronised";
    frames.SetStoredFlags(1, 2, frameflags::kEncryption);
    EXPECT_EQ(frames.CompressFrame(1, 2), frameresult::kEncrypted);
    frames.SetStoredFlags(1, 2, frameflags::kEncryption | frameflags::kCompression);
    EXPECT_EQ(frames.DecompressFrame(1), frameresult::kEncrypted);
    frames.SetStoredFlags(1, 2, frameflags::kUnsynchronisation | frameflags::kEncryption);
    EXPECT_EQ(frames.CompressFrame(1, 2), frameresult::kUnsynchronised);
    EXPECT_EQ(frames.DecompressFrame(1), frameresult::kUnsynchronised);
    EXPECT_EQ(frames.UnsyncFrame(1), frameresult::kNotApplicable) << "already unsynchronised";
    frames.SetStoredFlags(1, 2, frameflags::kCompression);
    EXPECT_EQ(frames.CompressFrame(1, 2), frameresult::kNotApplicable) << "already compressed";
    EXPECT_EQ(frames.Record(1).Data, (Bytes{1, 2, 3})) << "refusals leave the data alone";
}

TEST(FrameIndex, UnsyncFrameSetsSizesAndFlags)
{
    TFrameIndex frames;
    AddWithData(frames, "TIT2", {0xFF, 0xE0, 0x41, 0xFF});
    ASSERT_EQ(frames.UnsyncFrame(1), frameresult::kOk);
    EXPECT_EQ(frames.Record(1).Data, (Bytes{0xFF, 0x00, 0xE0, 0x41, 0xFF}))
        << Hex(frames.Record(1).Data);
    EXPECT_EQ(frames.GetPlainSize(1), 4u);
    EXPECT_EQ(frames.GetDataLength(1), 4u) << "plain data gets its length";
    EXPECT_TRUE(frames.StoredUnsynchronisation(1));
    ASSERT_EQ(frames.DeunsyncFrame(1), frameresult::kOk);
    EXPECT_EQ(frames.Record(1).Data, (Bytes{0xFF, 0xE0, 0x41, 0xFF}));
    EXPECT_FALSE(frames.StoredUnsynchronisation(1));

    frames.SetStoredFlags(1, 2, frameflags::kCompression);
    frames.SetDataLength(1, 99);
    ASSERT_EQ(frames.UnsyncFrame(1), frameresult::kOk);
    EXPECT_EQ(frames.GetDataLength(1), 99u) << "compressed data keeps its uncompressed length";
}

TEST(FrameIndex, DecompressReportsALengthMismatchButReplacesTheData)
{
    TFrameIndex frames;
    const Bytes plain = testsupport::ToBytes("hello hello hello");
    const std::uint32_t i = AddWithData(frames, "TIT2", testsupport::ZlibCompress(plain));
    frames.SetStoredFlags(i, 2, frameflags::kCompression | frameflags::kDataLengthIndicator);
    frames.SetDataLength(i, 5);
    EXPECT_EQ(frames.DecompressFrame(i), frameresult::kLengthMismatch);
    EXPECT_EQ(frames.Record(i).Data, plain);
    EXPECT_EQ(frames.GetDataLength(i), 0u);
    EXPECT_EQ(frames.GetStoredFlags(i, 2), frameflags::kDataLengthIndicator);
}

TEST(FrameIndex, CorruptCompressedDataStaysAsItWas)
{
    TFrameIndex frames;
    const Bytes junk{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::uint32_t i = AddWithData(frames, "TIT2", junk);
    frames.SetStoredFlags(i, 2, frameflags::kCompression);
    EXPECT_EQ(frames.DecompressFrame(i), frameresult::kFailed);
    EXPECT_EQ(frames.Record(i).Data, junk);
    EXPECT_TRUE(frames.StoredCompression(i));
    EXPECT_FALSE(frames.Record(i).Modified);
}

TEST(FrameIndex, DecompressionBombIsRefusedAndTheDataKept)
{
    // 300 MiB of zeros in about 300 KiB: more than any tag may hold.
    const Bytes bomb = testsupport::ZlibZeros(300ull << 20);
    ASSERT_LT(bomb.size(), 400u * 1024u);
    TFrameIndex frames;
    const std::uint32_t i = AddWithData(frames, "TXXX", bomb);
    frames.SetStoredFlags(i, 2, frameflags::kCompression);
    frames.SetDataLength(i, 300u << 20);
    EXPECT_EQ(frames.DecompressFrame(i), frameresult::kFailed);
    EXPECT_TRUE(frames.Record(i).Data == bomb) << "the compressed data stays as it was";
    EXPECT_TRUE(frames.StoredCompression(i));
}

TEST(FrameIndex, DecompressionUpToTheLimitSucceeds)
{
    const Bytes full = DecompressBuffer(testsupport::ZlibZeros(kMaxDecompressedSize));
    EXPECT_EQ(full.size(), kMaxDecompressedSize);
}

TEST(FrameIndex, RandomDataRoundTripsThroughEveryTransformation)
{
    std::mt19937 random(20240611u);
    TFrameIndex frames;
    for (int round = 0; round < 100; ++round) {
        Bytes data(random() % 2000);
        for (auto& b : data) {
            const auto r = random() % 8;
            b = r < 3 ? static_cast<std::uint8_t>(r == 0   ? 0xFF
                                                  : r == 1 ? 0x00
                                                           : 0xE0)
                      : static_cast<std::uint8_t>(random());
        }
        const std::uint32_t i = AddWithData(frames, "TXXX", data);
        const auto level = static_cast<std::uint8_t>(round % 4);
        ASSERT_EQ(frames.CompressFrame(i, level), frameresult::kOk);
        EXPECT_EQ(frames.GetDataLength(i), data.size());
        ASSERT_EQ(frames.UnsyncFrame(i), frameresult::kOk);
        ASSERT_EQ(frames.DeunsyncFrame(i), frameresult::kOk);
        ASSERT_EQ(frames.DecompressFrame(i), frameresult::kOk) << "round " << round;
        ASSERT_EQ(frames.Record(i).Data, data) << "round " << round << ": " << Hex(data);
        ASSERT_EQ(frames.UnsyncFrame(i), frameresult::kOk);
        ASSERT_EQ(frames.DeunsyncFrame(i), frameresult::kOk);
        ASSERT_EQ(frames.Record(i).Data, data) << "round " << round << ": " << Hex(data);
        EXPECT_EQ(frames.GetStoredFlags(i, 2), 0);
    }
}
