#include "Crc32.h"
#include "Mp3Builder.h"
#include "ZlibCodec.h"

#include <gtest/gtest.h>

using namespace varnello;
using varnello::testsupport::Bytes;
using varnello::testsupport::Hex;

TEST(Crc32, MatchesTheStandardCheckValue)
{
    const Bytes abc = testsupport::ToBytes("abc");
    std::uint32_t reg = 0xFFFFFFFFu;
    Crc32Update(abc, reg);
    EXPECT_EQ(reg ^ 0xFFFFFFFFu, 0x352441C2u);

    std::uint32_t untouched = 0x12345678u;
    Crc32Update({}, untouched);
    EXPECT_EQ(untouched, 0x12345678u) << "no bytes leave the register unchanged";

    Bytes large(100000);
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    reg = 0xFFFFFFFFu;
    Crc32Update(large, reg);
    EXPECT_EQ(reg ^ 0xFFFFFFFFu, testsupport::Crc32(large)) << "agrees with zlib's crc32";
}

TEST(ZlibCodec, EmptyBlockRoundTrips)
{
    const Bytes packed = CompressBuffer({}, 2);
    EXPECT_FALSE(packed.empty()) << "an empty block still gives a zlib stream";
    EXPECT_TRUE(DecompressBuffer(packed).empty());
}

TEST(ZlibCodec, EveryLevelRoundTripsAndLevelZeroStores)
{
    Bytes text;
    for (int i = 0; i < 5000; ++i) {
        text.push_back(static_cast<std::uint8_t>("varnello tags "[i % 14]));
    }
    for (std::uint8_t level = 0; level < 4; ++level) {
        const Bytes packed = CompressBuffer(text, level);
        EXPECT_EQ(DecompressBuffer(packed), text) << "level " << int{level};
        if (level == 0) {
            EXPECT_GT(packed.size(), text.size()) << "stored blocks are larger than the input";
        } else {
            EXPECT_LT(packed.size(), text.size() / 10) << "level " << int{level};
        }
    }
}

TEST(ZlibCodec, LargeExpansionSucceedsByGrowing)
{
    const Bytes zeros(1u << 20);
    const Bytes packed = testsupport::ZlibCompress(zeros, 9);
    ASSERT_LT(packed.size(), 4096u);
    EXPECT_EQ(DecompressBuffer(packed), zeros);

    const std::size_t size = (5u << 20) + 123u;
    EXPECT_EQ(DecompressBuffer(testsupport::ZlibZeros(size)), Bytes(size, 0x00))
        << "the test builder's long zero streams are valid";
}

TEST(ZlibCodec, BadInputRaisesWithZlibsMessage)
{
    const Bytes packed = testsupport::ZlibCompress(testsupport::ToBytes("some frame text here"));
    const Bytes cut(packed.begin(),
                    packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2));
    try {
        DecompressBuffer(cut);
        FAIL() << "a cut stream must raise";
    } catch (const EZDecompressionError& e) {
        EXPECT_STREQ(e.what(), "buffer error");
    }

    const Bytes junk{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    try {
        DecompressBuffer(junk);
        FAIL() << "junk must raise";
    } catch (const EZDecompressionError& e) {
        EXPECT_STREQ(e.what(), "data error") << "zlib's own text for the code";
    }

    // A valid header asking for a preset dictionary must not loop forever.
    const Bytes dictionary{0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00};
    EXPECT_THROW(DecompressBuffer(dictionary), EZDecompressionError);
}

TEST(ZlibCodec, ChecksMapNegativeCodesToMessages)
{
    EXPECT_EQ(CompressCheck(1), 1);
    EXPECT_EQ(DecompressCheck(2), 2);
    const std::pair<int, const char*> cases[] = {
        {-1, "file error"},          {-2, "stream error"}, {-3, "data error"},
        {-4, "insufficient memory"}, {-5, "buffer error"}, {-6, "incompatible version"}};
    for (const auto& [code, text] : cases) {
        try {
            CompressCheck(code);
            FAIL() << code;
        } catch (const EZCompressionError& e) {
            EXPECT_STREQ(e.what(), text);
        }
        try {
            DecompressCheck(code);
            FAIL() << code;
        } catch (const EZDecompressionError& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
}
