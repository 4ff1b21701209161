// Saves that would otherwise write a frame or tag that no reader can take
// apart again: each test names the fault it guards against.

#include "WriterTestSupport.h"
#include "ZlibCodec.h"

#include <gtest/gtest.h>

using namespace varnello;
using namespace varnello::writertest;
using testsupport::Hex;
using testsupport::Id3v2Builder;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

Bytes PlainData(TFrameIndex& frames, std::uint32_t i)
{
    if (frames.StoredUnsynchronisation(i)) {
        frames.DeunsyncFrame(i);
    }
    if (frames.StoredCompression(i)) {
        frames.DecompressFrame(i);
    }
    return frames.Record(i).Data;
}

} // namespace

// Compressing data that is stored unsynchronised used to be refused, and the
// header then claimed compression for data that was not compressed.
TEST(WriterRepairs, CompressesDataStoredUnsynchronised)
{
    using namespace frameflags;
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    WriteFile(path, Pattern(100));
    const Bytes plain{0xFF, 0xE0, 0x01, 0xFF, 0x00, 0x02, 0x03, 0x04};
    Tid3v2tag tag;
    tag.TidyFrames = false; // no data length indicator, which would undo it on the way
    AddFrame(tag, "PRIV", testsupport::UnsyncBytes(plain), kUnsynchronisation,
             kUnsynchronisation | kCompression);
    ASSERT_EQ(Save(tag, path, 4), status::kOk);
    Tid3v2tag loaded;
    ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk);
    ASSERT_EQ(loaded.Frames.Count(), 1u);
    EXPECT_TRUE(loaded.Frames.StoredCompression(1));
    EXPECT_EQ(PlainData(loaded.Frames, 1), plain);
}

// A compressed version 4 frame without a data length indicator has no
// uncompressed size; saved as version 3 it used to carry 0 in the size field
// that every compressed version 3 frame has.
TEST(WriterRepairs, Version3CompressedFrameCarriesItsRealSize)
{
    using namespace frameflags;
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    WriteFile(path, Pattern(100));
    const Bytes plain = testsupport::Latin1Text("A title that compresses, compresses, compresses");
    Tid3v2tag tag;
    tag.PaddingMode = 0;
    AddFrame(tag, "TIT2", testsupport::ZlibCompress(plain), kCompression);
    ASSERT_EQ(tag.Frames.GetDataLength(1), 0u);
    ASSERT_EQ(Save(tag, path, 3), status::kOk);
    const Bytes file = ReadFile(path);
    EXPECT_EQ(Hex(Slice(file, 20, 4)), Hex({0, 0, 0, static_cast<std::uint8_t>(plain.size())}))
        << "the uncompressed size after the frame header";
    Tid3v2tag loaded;
    ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk);
    EXPECT_EQ(PlainData(loaded.Frames, 1), plain);
}

// An old version 4 tag with a footer: the footer belongs to the old tag and
// goes with it, and the new header does not claim a footer that is not there.
TEST(WriterRepairs, OldFooterGoesAndNoneIsClaimed)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(300);
    Bytes old = Id3v2Builder().Version(4).HeaderFlags(0x10).TextFrame("TIT2", "Old").Build();
    Bytes footer = Slice(old, 0, 10);
    footer[0] = '3';
    footer[1] = 'D';
    footer[2] = 'I';
    Bytes original = old;
    testsupport::Append(original, footer);
    testsupport::Append(original, audio);
    WriteFile(path, original);

    Tid3v2tag tag;
    tag.MajorVersion = 4;
    tag.PaddingMode = 0;
    tag.SetFooter(true);
    AddText(tag, "TIT2", "New");
    ASSERT_EQ(Save(tag, path), status::kOk);
    Bytes expected = Id3v2Builder().Version(4).TextFrame("TIT2", "New").Build();
    testsupport::Append(expected, audio);
    EXPECT_EQ(Hex(ReadFile(path), 400), Hex(expected, 400));
}

// Encrypted data that is asked to be written plain cannot be decrypted; its
// header keeps saying that it is encrypted, with its method byte.
TEST(WriterRepairs, EncryptedDataKeepsAnEncryptedHeader)
{
    using namespace frameflags;
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    WriteFile(path, Pattern(100));
    Tid3v2tag tag;
    tag.SkipUnsupported = true;
    tag.PaddingMode = 0;
    AddFrame(tag, "PRIV", {9, 8, 7}, kEncryption, 0);
    tag.Frames.SetEncryptionMethod(1, 0x81);
    ASSERT_EQ(Save(tag, path, 3), status::kWarnSkipped);
    Bytes expected = Id3v2Builder().Frame("PRIV", {9, 8, 7}, 0, 0x40, {0x81}).Build();
    testsupport::Append(expected, Pattern(100));
    EXPECT_EQ(Hex(ReadFile(path), 200), Hex(expected, 200));
}

// A padding block of 0 would divide by zero.
TEST(WriterRepairs, PaddingBlockZeroSavesWithoutAlignment)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    WriteFile(path, Pattern(100));
    Tid3v2tag tag;
    tag.PaddingBlock = 0;
    tag.PaddingMode = 2;
    AddText(tag, "TIT2", "x");
    ASSERT_EQ(Save(tag, path), status::kOk);
    EXPECT_EQ(tag.PaddingSize, 1u);
}
