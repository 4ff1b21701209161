#include "TagReport.h"

#include "Mp3Builder.h"
#include "Tid3v2tag.h"

#include <gtest/gtest.h>

using namespace varnello;
using namespace varnello::testsupport;

TEST(TagReport, InflatesAtMostThirtyTwoMebibytesOfCompressedText)
{
    // Five comments that inflate to 8 MiB each: the text of the first four is
    // shown, and the fifth is not inflated. Thousands of them fit in a tag of
    // a few MiB, and were all held inflated at once.
    constexpr std::uint32_t kInflated = 8u << 20;
    const Bytes packed = ZlibZeros(kInflated);
    Bytes added;
    AppendBE32(added, kInflated);
    Id3v2Builder tag;
    tag.Version(3);
    for (int k = 0; k < 5; ++k) {
        tag.Frame("COMM", packed, 0, 0x80, added);
    }
    TempDir dir;
    const std::string path = dir.File("comments.mp3");
    Mp3Builder().Tag(tag.Build()).Audio(1).WriteTo(path);

    const tagtool::Id3v2Report report = tagtool::ReadId3v2Report(path);
    ASSERT_TRUE(report.Loaded) << report.Status;
    ASSERT_EQ(report.Frames.size(), 5u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(report.Frames[k].TextResult, textresult::kOk) << "frame " << k + 1;
    }
    EXPECT_EQ(report.Frames[4].TextResult, textresult::kUnreadable);
}
