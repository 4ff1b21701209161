#include "Unsync.h"

#include "Mp3Builder.h"

#include <gtest/gtest.h>

using namespace varnello;
using varnello::testsupport::Bytes;
using varnello::testsupport::Hex;

namespace {

struct UnsyncCase
{
    const char* Name;
    Bytes Plain;
    Bytes Unsynced;
};

class UnsyncInsertCase : public testing::TestWithParam<UnsyncCase>
{
};

Bytes Insert(const Bytes& plain)
{
    Bytes buffer = plain;
    buffer.resize(plain.size() * 2 + 1);
    const std::size_t count = UnsyncInsert(buffer.data(), plain.size());
    buffer.resize(plain.size() + count);
    return buffer;
}

} // namespace

TEST_P(UnsyncInsertCase, InsertsAndRemovesExactlyTheTriggerZeros)
{
    const UnsyncCase& c = GetParam();
    EXPECT_EQ(UnsyncCount(c.Plain), c.Unsynced.size() - c.Plain.size()) << Hex(c.Plain);
    const Bytes inserted = Insert(c.Plain);
    EXPECT_EQ(inserted, c.Unsynced) << "got " << Hex(inserted) << ", want " << Hex(c.Unsynced);
    Bytes removed = c.Unsynced;
    const std::size_t dropped = UnsyncRemove(removed);
    EXPECT_EQ(removed, c.Plain) << "got " << Hex(removed) << ", want " << Hex(c.Plain);
    EXPECT_EQ(dropped, c.Unsynced.size() - c.Plain.size());
}

INSTANTIATE_TEST_SUITE_P(
    Unsync, UnsyncInsertCase,
    testing::Values(UnsyncCase{"FFE0", {0xFF, 0xE0}, {0xFF, 0x00, 0xE0}},
                    UnsyncCase{"FF00", {0xFF, 0x00}, {0xFF, 0x00, 0x00}},
                    UnsyncCase{"FF41", {0xFF, 0x41}, {0xFF, 0x41}},
                    UnsyncCase{"FFFFFFE0",
                               {0xFF, 0xFF, 0xFF, 0xE0},
                               {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xE0}},
                    UnsyncCase{"EndsInFF", {0x41, 0xFF}, {0x41, 0xFF}},
                    UnsyncCase{"NoFF", {0x01, 0x00, 0xE0}, {0x01, 0x00, 0xE0}},
                    UnsyncCase{"FF00E0", {0xFF, 0x00, 0xE0}, {0xFF, 0x00, 0x00, 0xE0}},
                    UnsyncCase{"FF0000", {0xFF, 0x00, 0x00}, {0xFF, 0x00, 0x00, 0x00}},
                    UnsyncCase{"Empty", {}, {}}),
    [](const testing::TestParamInfo<UnsyncCase>& param) { return std::string(param.param.Name); });

TEST(Unsync, CountWordLooksAtTheFourBigEndianBytes)
{
    EXPECT_EQ(UnsyncCountWord(0x00FFE000u), 1u);
    EXPECT_EQ(UnsyncCountWord(0xFFFFFFFFu), 3u);
    EXPECT_EQ(UnsyncCountWord(0x12345678u), 0u);
}

TEST(Unsync, RemoveKeepsFF00BeforeAnOrdinaryByteAndAFinalZero)
{
    Bytes data{0xFF, 0x00, 0x41, 0xFF, 0x00};
    EXPECT_EQ(UnsyncRemove(data), 0u);
    EXPECT_EQ(data, (Bytes{0xFF, 0x00, 0x41, 0xFF, 0x00})) << Hex(data);
}

TEST(Unsync, RandomDataComesBackIdentical)
{
    std::uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        Bytes plain(static_cast<std::size_t>(round * 7 % 300));
        for (auto& b : plain) {
            seed = seed * 1103515245u + 12345u;
            // Bias towards FF, 00 and E0 so that triggers are common.
            const std::uint8_t pick = static_cast<std::uint8_t>(seed >> 24);
            b = pick < 80 ? 0xFF : pick < 140 ? 0x00 : pick < 170 ? 0xE0 : pick;
        }
        const Bytes unsynced = Insert(plain);
        EXPECT_EQ(unsynced, testsupport::UnsyncBytes(plain)) << Hex(plain);
        Bytes back = unsynced;
        UnsyncRemove(back);
        ASSERT_EQ(back, plain) << "round " << round << ": " << Hex(plain);
    }
}
