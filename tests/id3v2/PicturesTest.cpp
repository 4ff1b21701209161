#include "Pictures.h"

#include "FrameFlags.h"
#include "Mp3Builder.h"
#include "Tid3v2tag.h"

#include <gtest/gtest.h>

namespace varnello {
namespace {

using namespace testsupport;

// ---- CheckImage ----

struct ImageCase
{
    std::string Name;
    Bytes Image;
    ImageFormat Format = ImageFormat::kNone;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    // Pictures of many megabytes are made when their test runs, not each
    // time the test program starts and registers the table.
    Bytes (*Large)() = nullptr;
};

std::ostream& operator<<(std::ostream& out, const ImageCase& c)
{
    return out << c.Name << " " << Hex(c.Image);
}

Bytes WithoutLast(Bytes bytes, std::size_t count)
{
    bytes.resize(bytes.size() - count);
    return bytes;
}

Bytes Changed(Bytes bytes, std::size_t at, std::uint8_t value)
{
    bytes.at(at) = value;
    return bytes;
}

Bytes Joined(Bytes first, const Bytes& second)
{
    Append(first, second);
    return first;
}

const Bytes kPngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

Bytes Ihdr(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colourType,
           std::uint8_t interlace)
{
    Bytes data;
    AppendBE32(data, width);
    AppendBE32(data, height);
    data.insert(data.end(), {depth, colourType, 0, 0, interlace});
    return PngChunk("IHDR", data);
}

// A PNG from its chunks after the signature.
Bytes Png(const std::vector<Bytes>& chunks)
{
    Bytes out = kPngSignature;
    for (const Bytes& chunk : chunks) {
        Append(out, chunk);
    }
    return out;
}

// The 2 x 3 RGB rows of TinyPng, and a 1 x 1 grey image's one row.
Bytes RgbRows()
{
    return Bytes(3 * (1 + 2 * 3), 0x40);
}

// Interlaced, 2 x 3 RGB: the passes hold 1 x 1, 1 x 1, 1 x 2 and 2 x 1
// pixels, each row with its filter byte: 4 + 4 + 8 + 7 bytes.
Bytes InterlacedPng(std::size_t dataSize)
{
    return Png({Ihdr(2, 3, 8, 2, 1), PngChunk("IDAT", ZlibCompress(Bytes(dataSize, 0))),
                PngChunk("IEND", {})});
}

// An ancillary chunk that brings the PNG to `total` bytes.
Bytes PngOfSize(std::size_t total)
{
    const Bytes tiny = TinyPng();
    const std::size_t iend = 12;
    Bytes out(tiny.begin(), tiny.end() - iend);
    Append(out, PngChunk("tEXt", Bytes(total - tiny.size() - 12, 'x')));
    Append(out, PngChunk("IEND", {}));
    return out;
}

// The JPEG's SOF0 segment starts after SOI (2) and DQT (2 + 67).
constexpr std::size_t kSof = 71;

Bytes JpegWithComment()
{
    Bytes jpeg = TinyJpeg();
    const Bytes comment{0xFF, 0xFE, 0x00, 0x05, 'h', 'i', '!'};
    jpeg.insert(jpeg.begin() + 2, comment.begin(), comment.end());
    return jpeg;
}

std::vector<ImageCase> ImageCases()
{
    const Bytes png = TinyPng();
    const Bytes jpeg = TinyJpeg();
    const std::size_t ihdrCrc = 8 + 8 + 13;
    const std::size_t scanData = jpeg.size() - 3;
    return {
        {"TinyPng", png, ImageFormat::kPng, 2, 3},
        {"TinyJpeg", jpeg, ImageFormat::kJpeg, 1, 1},
        {"JpegWithCommentSegment", JpegWithComment(), ImageFormat::kJpeg, 1, 1},
        {"JpegWithDataAfterEnd", Joined(jpeg, ToBytes("trailer")), ImageFormat::kJpeg, 1, 1},
        {"JpegWithStuffedAndRestartBytes",
         Joined(WithoutLast(jpeg, 3), {0xFF, 0x00, 0x12, 0xFF, 0xD0, 0x3F, 0xFF, 0xD9}),
         ImageFormat::kJpeg, 1, 1},
        {"InterlacedPng", InterlacedPng(23), ImageFormat::kPng, 2, 3},
        {"PngOfLargestSize",
         {},
         ImageFormat::kPng,
         2,
         3,
         [] { return PngOfSize(kLargestPicture); }},
        {"PngOneByteTooLarge",
         {},
         ImageFormat::kNone,
         0,
         0,
         [] { return PngOfSize(kLargestPicture + 1); }},
        {"Empty", {}},
        {"Text", ToBytes("just some text, not a picture")},
        {"Gif", Joined(ToBytes("GIF89a"), Bytes{1, 0, 1, 0, 0, 0, 0, 0x3B})},
        {"Bmp", Joined(ToBytes("BM"), Bytes(60, 0))},
        {"PngSignatureOnly", kPngSignature},
        {"PngWithoutIend", WithoutLast(png, 12)},
        {"PngLastByteMissing", WithoutLast(png, 1)},
        {"PngWithDataAfterIend", Joined(png, {0x00})},
        {"PngIhdrCrcWrong", Changed(png, ihdrCrc, static_cast<std::uint8_t>(png[ihdrCrc] ^ 1))},
        {"PngIdatOneByteShort", RgbPng(2, 3, WithoutLast(RgbRows(), 1))},
        {"PngIdatOneByteLong", RgbPng(2, 3, Joined(RgbRows(), {0}))},
        {"PngIdatNotZlib",
         Png({Ihdr(2, 3, 8, 2, 0), PngChunk("IDAT", RgbRows()), PngChunk("IEND", {})})},
        {"PngZeroWidth", RgbPng(0, 3, {})},
        {"PngBadDepthForRgb", Png({Ihdr(2, 3, 4, 2, 0), PngChunk("IDAT", ZlibCompress(RgbRows())),
                                   PngChunk("IEND", {})})},
        {"PngIdatFirst", Png({PngChunk("IDAT", ZlibCompress(RgbRows())), Ihdr(2, 3, 8, 2, 0),
                              PngChunk("IEND", {})})},
        {"PngWithoutIdat", Png({Ihdr(2, 3, 8, 2, 0), PngChunk("IEND", {})})},
        {"PngPaletteWithoutPlte",
         Png({Ihdr(1, 1, 8, 3, 0), PngChunk("IDAT", ZlibCompress({0, 0})), PngChunk("IEND", {})})},
        {"PngUnknownCriticalChunk",
         Png({Ihdr(2, 3, 8, 2, 0), PngChunk("ABCD", {}), PngChunk("IDAT", ZlibCompress(RgbRows())),
              PngChunk("IEND", {})})},
        {"InterlacedPngSizedAsPlain", InterlacedPng(3 * (1 + 2 * 3))},
        // One pixel whose IDAT inflates to 64 MiB: stops at the second byte.
        {"PngInflationBomb",
         {},
         ImageFormat::kNone,
         0,
         0,
         [] {
             return Png({Ihdr(1, 1, 8, 0, 0), PngChunk("IDAT", ZlibZeros(std::uint64_t{64} << 20)),
                         PngChunk("IEND", {})});
         }},
        {"PngPixelsBeyondLimit", RgbPng(0x7FFFFFFF, 0x7FFFFFFF, RgbRows())},
        {"JpegWithoutEoi", WithoutLast(jpeg, 2)},
        {"JpegWithoutScanData", Joined(WithoutLast(jpeg, 3), {0xFF, 0xD9})},
        {"JpegZeroWidth", Changed(Changed(jpeg, kSof + 7, 0), kSof + 8, 0)},
        {"JpegZeroHeight", Changed(Changed(jpeg, kSof + 5, 0), kSof + 6, 0)},
        {"JpegSegmentPastEnd", Changed(jpeg, 4, 0x7F)},
        {"JpegSegmentLengthOne", Changed(Changed(jpeg, 4, 0), 5, 1)},
        {"JpegWithoutFrame",
         Joined(Bytes{0xFF, 0xD8}, Bytes(jpeg.begin() + kSof + 13, jpeg.end()))},
        {"JpegScanDataEndsWithoutMarker", Bytes(jpeg.begin(), jpeg.begin() + scanData + 1)},
        {"JpegSoiOnly", {0xFF, 0xD8, 0xFF, 0xD9}},
    };
}

std::string ImageCaseName(const testing::TestParamInfo<ImageCase>& param)
{
    return param.param.Name;
}

class CheckImageTest : public testing::TestWithParam<ImageCase>
{
};

TEST_P(CheckImageTest, AcceptsOnlyWholePicturesWithTheirSize)
{
    const ImageCase& c = GetParam();
    const ImageCheck check = CheckImage(c.Large != nullptr ? c.Large() : c.Image);
    EXPECT_EQ(check.Format, c.Format);
    if (c.Format != ImageFormat::kNone) {
        EXPECT_EQ(check.Width, c.Width);
        EXPECT_EQ(check.Height, c.Height);
    }
}

INSTANTIATE_TEST_SUITE_P(Images, CheckImageTest, testing::ValuesIn(ImageCases()), ImageCaseName);

TEST(CheckImage, RefusesEveryTruncation)
{
    for (const Bytes& whole : {TinyPng(), TinyJpeg(), JpegWithComment()}) {
        for (std::size_t size = 0; size < whole.size(); ++size) {
            EXPECT_EQ(CheckImage(Bytes(whole.begin(), whole.begin() + size)).Format,
                      ImageFormat::kNone)
                << "accepted " << size << " of " << whole.size() << " bytes: " << Hex(whole);
        }
    }
}

TEST(CheckImage, MimeTypeFollowsTheFormat)
{
    EXPECT_STREQ(CheckImage(TinyJpeg()).Mime(), "image/jpeg");
    EXPECT_STREQ(CheckImage(TinyPng()).Mime(), "image/png");
    EXPECT_STREQ(ImageCheck{}.Mime(), "");
}

TEST(PictureTypeName, NamesTheTwentyOneTypesAndUnknownBeyond)
{
    EXPECT_STREQ(PictureTypeName(0), "Other");
    EXPECT_STREQ(PictureTypeName(3), "Front cover");
    EXPECT_STREQ(PictureTypeName(4), "Back cover");
    EXPECT_STREQ(PictureTypeName(20), "Publisher logotype");
    EXPECT_STREQ(PictureTypeName(21), "Unknown");
    EXPECT_STREQ(PictureTypeName(255), "Unknown");
}

// ---- Pictures of a tag ----

// A tag loaded from a file built byte by byte.
class TagPictures : public testing::Test
{
protected:
    Tid3v2tag& Load(const Id3v2Builder& builder)
    {
        Mp3Builder().Tag(builder.Build()).Audio(2).WriteTo(m_dir.File("song.mp3"));
        const StatusWord loaded = m_tag.LoadFromFile(m_dir.File("song.mp3"), 0);
        EXPECT_TRUE(status::IsSuccess(loaded)) << loaded;
        return m_tag;
    }

    TempDir m_dir;
    Tid3v2tag m_tag;
};

// An APIC in UTF-16 with a BOM, described "Ün".
Bytes Utf16Apic(std::uint8_t type, const Bytes& image)
{
    Bytes data{0x01};
    Append(data, ToBytes("image/png"));
    data.insert(data.end(), {0x00, type, 0xFF, 0xFE, 0xDC, 0x00, 'n', 0x00, 0x00, 0x00});
    Append(data, image);
    return data;
}

TEST_F(TagPictures, ListsEveryReadablePictureInFrameOrder)
{
    const Bytes jpeg = TinyJpeg();
    const Bytes png = TinyPng();
    Tid3v2tag& tag = Load(Id3v2Builder()
                              .Version(3)
                              .Frame("APIC", Apic("image/jpeg", 0, "other", jpeg))
                              .TextFrame("TIT2", "Title")
                              .Frame("APIC", Utf16Apic(4, png))
                              .CompressedFrameV3("APIC", Apic("image/png", 3, "zipped", png))
                              // Encrypted with method 1, and one without a MIME terminator:
                              // neither can be read.
                              .Frame("APIC", Apic("image/png", 3, "", png), 0, 0x40, {0x01})
                              .Frame("APIC", ToBytes("\x00image/png")));
    const std::vector<AttachedPicture> pictures = ListPictures(tag, true);
    ASSERT_EQ(pictures.size(), 3u);
    const std::vector<std::tuple<int, std::string, std::string, Bytes>> expected{
        {0, "image/jpeg", "other", jpeg},
        {4, "image/png", "\xC3\x9Cn", png},
        {3, "image/png", "zipped", png},
    };
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const auto& [type, mime, description, data] = expected[i];
        EXPECT_EQ(pictures[i].PictureType, type) << "picture " << i;
        EXPECT_EQ(pictures[i].Mime, mime) << "picture " << i;
        EXPECT_EQ(pictures[i].Description, description) << "picture " << i;
        EXPECT_EQ(pictures[i].Data, data) << "picture " << i;
        EXPECT_EQ(pictures[i].Size, data.size()) << "picture " << i;
    }
    for (const AttachedPicture& picture : ListPictures(tag, false)) {
        EXPECT_TRUE(picture.Data.empty());
        EXPECT_NE(picture.Size, 0u);
    }
    EXPECT_EQ(CoverFrame(tag), 4u) << "the compressed front cover";
}

TEST_F(TagPictures, UnsynchronisedFrameIsReadPlainly)
{
    // 0xFF bytes in the JPEG make the unsynchronised data differ.
    const Bytes picture = Apic("image/jpeg", 3, "", TinyJpeg());
    Tid3v2tag& tag = Load(Id3v2Builder().Version(4).Frame("APIC", UnsyncBytes(picture), 0, 0x02));
    const std::vector<AttachedPicture> pictures = ListPictures(tag, true);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].Data, TinyJpeg());
}

TEST_F(TagPictures, VersionTwoTwoPictureHasItsMimeTypeConverted)
{
    Tid3v2tag& tag =
        Load(Id3v2Builder().Version(2).FrameV22("PIC", PicV22("JPG", 3, "cover", TinyJpeg())));
    const std::vector<AttachedPicture> pictures = ListPictures(tag, true);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].Mime, "image/jpeg");
    EXPECT_EQ(pictures[0].Description, "cover");
    EXPECT_EQ(pictures[0].Data, TinyJpeg());
}

TEST_F(TagPictures, CoverIsTheFirstFrontCoverElseTheFirstPicture)
{
    const Bytes image = TinyPng();
    Tid3v2tag& tag = Load(Id3v2Builder()
                              .Version(4)
                              .TextFrame("TIT2", "Title")
                              .Frame("APIC", Apic("image/png", 4, "back", image))
                              .Frame("APIC", Apic("image/png", 0, "other", image)));
    EXPECT_EQ(CoverFrame(tag), 2u);
    ASSERT_TRUE(SetFrontCover(tag, TinyJpeg(), CheckImage(TinyJpeg())));
    EXPECT_EQ(CoverFrame(tag), 4u);
    EXPECT_TRUE(RemoveCover(tag));
    EXPECT_EQ(CoverFrame(tag), 2u);
    EXPECT_TRUE(RemoveCover(tag));
    EXPECT_TRUE(RemoveCover(tag));
    EXPECT_EQ(CoverFrame(tag), 0u);
    EXPECT_FALSE(RemoveCover(tag));
    EXPECT_EQ(tag.Frames.Count(), 1u) << "the title stays";
}

TEST_F(TagPictures, SettingTheCoverReplacesTheFrontCoverInPlace)
{
    const Bytes old = TinyJpeg();
    Tid3v2tag& tag = Load(Id3v2Builder()
                              .Version(3)
                              .Frame("APIC", Apic("image/jpeg", 0, "other", old))
                              .Frame("APIC", Utf16Apic(3, old))
                              .TextFrame("TIT2", "Title"));
    const Bytes png = TinyPng();
    ASSERT_TRUE(SetFrontCover(tag, png, CheckImage(png)));
    ASSERT_EQ(tag.Frames.Count(), 3u);
    EXPECT_EQ(tag.Frames.Record(1).Data, Apic("image/jpeg", 0, "other", old)) << "untouched";
    // The description stays, in its encoding; MIME type and picture are new.
    Bytes expected = Utf16Apic(3, png);
    EXPECT_EQ(tag.Frames.Record(2).Data, expected) << Hex(tag.Frames.Record(2).Data);
    EXPECT_EQ(ReadPicture(tag, CoverFrame(tag), true)->Data, png);
}

TEST_F(TagPictures, SettingTheCoverAddsAFrameWhenThereIsNoFrontCover)
{
    Tid3v2tag& tag = Load(Id3v2Builder().Version(3).Frame(
        "APIC", Apic("image/png", 4, "back", TinyPng()), 0, 0x40, {0x01}));
    const Bytes jpeg = TinyJpeg();
    ASSERT_TRUE(SetFrontCover(tag, jpeg, CheckImage(jpeg)));
    ASSERT_EQ(tag.Frames.Count(), 2u);
    EXPECT_EQ(tag.Frames.ID(2), "APIC");
    EXPECT_EQ(tag.Frames.Record(2).Data, Apic("image/jpeg", 3, "", jpeg));
    EXPECT_FALSE(SetFrontCover(tag, ToBytes("text"), ImageCheck{}));
    EXPECT_EQ(tag.Frames.Count(), 2u);
}

TEST_F(TagPictures, PictureTooLargeIsListedWithItsSizeOnly)
{
    const Bytes large(kLargestPicture + 1, 0x55);
    Tid3v2tag& tag = Load(Id3v2Builder().Version(3).Frame("APIC", Apic("image/png", 3, "", large)));
    const std::optional<AttachedPicture> cover = ReadPicture(tag, CoverFrame(tag), true);
    ASSERT_TRUE(cover.has_value());
    EXPECT_EQ(cover->Size, large.size());
    EXPECT_TRUE(cover->Data.empty());
}

TEST_F(TagPictures, CompressedPictureInflatingPastTheLimitIsSkipped)
{
    Tid3v2tag& tag = Load(Id3v2Builder().Version(3).Frame(
        "APIC", ZlibZeros(std::uint64_t{64} << 20), 0, 0x80, {0x04, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(ListPictures(tag, true).empty());
    EXPECT_EQ(CoverFrame(tag), 0u);
}

} // namespace
} // namespace varnello
