#include "FrameFlags.h"
#include "Mp3Builder.h"
#include "TagLayout.h"

#include <gtest/gtest.h>

using namespace varnello;
using testsupport::Bytes;
using testsupport::Hex;

namespace {

FrameRecord Frame(const char* id, Bytes data, std::uint8_t status, std::uint8_t format)
{
    FrameRecord frame;
    frame.ID = id;
    frame.Data = std::move(data);
    frame.Flags = {status, format};
    frame.StoredFlags = frame.Flags;
    return frame;
}

} // namespace

TEST(PaddingRule, RealignsWithWrappingArithmetic)
{
    // (10000 div 4096 + 1) * 4096 - 10000 - 5000 wraps below zero; taking
    // whole blocks away leaves 1384, and the file becomes 16384 bytes.
    EXPECT_EQ(layout::RealignedPadding(10000, 0, 5000, 4096), 1384u);
    EXPECT_EQ(layout::RealignedPadding(7048, 2048, 1000, 4096), 2192u);
    EXPECT_EQ(layout::RealignedPadding(8192, 0, 4096, 4096), 0u);
    EXPECT_EQ(layout::RealignedPadding(5000, 1000, 96, 4096), 4096u)
        << "a file that would end on a block boundary still gets a whole block";
    EXPECT_EQ(layout::RealignedPadding(0x100000000ull + 100, 0, 10, 4096), 4096u - 110u)
        << "files past 4 GiB align like smaller ones";
    EXPECT_EQ(layout::RealignedPadding(10000, 0, 5000, 0), 1u) << "a block of 0 must not divide";
}

TEST(PaddingRule, ModesChooseBetweenKeepingExactFitAndRealigning)
{
    layout::PaddingSettings settings;
    settings.Current = 777;
    settings.Mode = 0;
    EXPECT_EQ(layout::ChoosePadding(settings, 10000, 0, 5000), 777u) << "mode 0 keeps the value";
    settings.Mode = 1;
    EXPECT_EQ(layout::ChoosePadding(settings, 7048, 2048, 1000), 2192u)
        << "default limit and block: a shrinking tag is realigned too";
    settings.Limit = 100;
    EXPECT_EQ(layout::ChoosePadding(settings, 7048, 2048, 1000), 1048u)
        << "limit below block: the new tag takes exactly the old tag's place";
    EXPECT_EQ(layout::ChoosePadding(settings, 10000, 0, 5000), 1384u) << "growing realigns";
    settings.Mode = 2;
    EXPECT_EQ(layout::ChoosePadding(settings, 7048, 2048, 1000), 2192u);
    settings.Mode = 7;
    EXPECT_EQ(layout::ChoosePadding(settings, 7048, 2048, 1000), 1048u) << "above 2 acts as 1";
}

TEST(FrameHeaderLayout, Version4CarriesGroupMethodAndLengthInThatOrder)
{
    using namespace frameflags;
    FrameRecord frame = Frame("APIC", Bytes(300, 0x11), kTagAlterPreservation | kReadOnly | 0x80,
                              kGrouping | kEncryption | kDataLengthIndicator | 0x30);
    frame.GroupID = 0x42;
    frame.EncryptionMethod = 0x81;
    frame.DataLength = 1000;
    const Bytes header = layout::FrameHeader(frame, 4, 300);
    const Bytes expected{'A',  'P',  'I',  'C',  0x00, 0x00, 0x02, 0x32, // 306, syncsafe
                         0x50, 0x45, 0x42, 0x81, 0x00, 0x00, 0x07, 0x68};
    EXPECT_EQ(header, expected) << "got " << Hex(header)
                                << "; bits the layout does not list are never written";
}

TEST(FrameHeaderLayout, Version3MapsTheFlagsAndDropsVersion4Notions)
{
    using namespace frameflags;
    FrameRecord frame =
        Frame("TALB", Bytes(20, 0x41), kTagAlterPreservation | kFileAlterPreservation | kReadOnly,
              kGrouping | kCompression | kEncryption | kUnsynchronisation | kDataLengthIndicator);
    frame.GroupID = 0x07;
    frame.EncryptionMethod = 0x80;
    frame.DataLength = 0x01020304;
    const Bytes header = layout::FrameHeader(frame, 3, 20);
    const Bytes expected{'T',  'A',  'L',  'B',  0x00, 0x00, 0x00, 26,
                         0xE0, 0xE0, 0x01, 0x02, 0x03, 0x04, 0x80, 0x07};
    EXPECT_EQ(header, expected) << "got " << Hex(header);
}

TEST(FrameHeaderLayout, UnsyncRunIncludesTheFirstDataByte)
{
    using namespace frameflags;
    FrameRecord frame = Frame("TIT2", {0x00, 0x41}, 0, kGrouping);
    frame.GroupID = 0xFF;
    const Bytes plain = layout::FrameHeader(frame, 3, 2);
    const Bytes run = layout::UnsyncHeaderRun(plain, frame.Data);
    ASSERT_EQ(run.size(), plain.size() + 1) << Hex(run);
    EXPECT_EQ(Hex(testsupport::Bytes(run.end() - 2, run.end())), "FF 00")
        << "group byte FF before data byte 00 gets a 00 between them";
    const Bytes noData = layout::UnsyncHeaderRun(plain, {});
    EXPECT_EQ(noData, plain) << "a run that ends in FF gets nothing appended";
    frame.Data = {0x41};
    EXPECT_EQ(layout::UnsyncHeaderRun(plain, frame.Data), plain);
}

TEST(ExtendedHeaderLayout, MatchesTheBuilderForBothVersions)
{
    const Bytes v3 = layout::ExtendedHeaderV3(true, 0x1234, 0xCAFEBABE, false);
    const Bytes v3Expected =
        testsupport::Id3v2Builder().ExtendedHeaderV3(0x1234, 0xCAFEBABE).Body();
    EXPECT_EQ(v3, v3Expected) << Hex(v3);
    EXPECT_EQ(layout::ExtendedHeaderV3(false, 7, 0, false),
              testsupport::Id3v2Builder().ExtendedHeaderV3(7).Body());
    const Bytes unsynced = layout::ExtendedHeaderV3(true, 0x000000FF, 0xE0FFFF00, true);
    EXPECT_EQ(Hex(unsynced), "00 00 00 0A 80 00 00 00 00 FF 00 E0 FF 00 FF 00 00")
        << "padding and CRC fields are unsynchronised as one run";

    const Bytes v4 = layout::ExtendedHeaderV4(0x70 | 0x80, 0xF2345678, 0x5A);
    const Bytes v4Expected =
        testsupport::Id3v2Builder().Version(4).ExtendedHeaderV4(true, 0xF2345678, 0x5A).Body();
    EXPECT_EQ(v4, v4Expected) << Hex(v4);
    EXPECT_EQ(layout::ExtendedHeaderSizeV4(0x70), v4.size());
    EXPECT_EQ(layout::ExtendedHeaderV4(0x00, 0, 0),
              testsupport::Id3v2Builder().Version(4).ExtendedHeaderV4(false).Body());
}

TEST(TagHeaderLayout, NeverWritesAFooterOrUndefinedFlag)
{
    EXPECT_EQ(Hex(layout::TagHeader(4, 0xFF, 0x0FFFFFFF)), "49 44 33 04 00 E0 7F 7F 7F 7F");
    EXPECT_EQ(Hex(layout::TagHeader(3, 0x80, 257)), "49 44 33 03 00 80 00 00 02 01");
}

TEST(UnsyncView, SizeAndCrcSeeTheDataWithoutInsertedZeros)
{
    const Bytes plain{0xFF, 0xE0, 0x01, 0xFF, 0x00, 0xFF, 0x00, 0x41, 0xFF};
    const Bytes unsynced = testsupport::UnsyncBytes(plain);
    ASSERT_EQ(unsynced.size(), plain.size() + 3) << Hex(unsynced);
    EXPECT_EQ(layout::DeunsyncedSize(unsynced), plain.size());
    std::uint32_t reg = 0xFFFFFFFF;
    layout::Crc32UpdateDeunsynced(unsynced, reg);
    EXPECT_EQ(~reg, testsupport::Crc32(plain));
    reg = 0xFFFFFFFF;
    layout::Crc32UpdateZeros(10000, reg);
    EXPECT_EQ(~reg, testsupport::Crc32(Bytes(10000, 0)));
}
