// Tags as real files carry them, written by taggers that bent the format:
// each is read as the established readers read it, with its warning, and a
// save writes it correctly without losing a byte of what it held. And the
// other side: a tag whose declared size reaches into the audio is never
// saved over.

#include "FileStream.h"
#include "WriterTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace varnello;
using namespace varnello::writertest;
using testsupport::Append;
using testsupport::Hex;
using testsupport::Id3v1Fields;
using testsupport::Id3v2Builder;
using testsupport::Latin1Text;
using testsupport::Mp3Builder;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

template <typename Case> std::string CaseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.Name;
}

// The start of a JPEG file: an unsynchronisation that is undone on reading
// and done again on saving shows as FF D8 FF 00 E0.
Bytes Jpeg()
{
    Bytes data{0x00, 'i', 'm', 'a', 'g', 'e', '/', 'j', 'p', 'e', 'g', 0x00, 0x03, 0x00};
    Append(data, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'});
    Append(data, Pattern(300, 7));
    return data;
}

std::string Hex4(StatusWord word)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", unsigned{word.Value()});
    return text;
}

// The frame's data with its unsynchronisation and compression undone.
Bytes Decoded(Tid3v2tag& tag, std::string_view id)
{
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        if (tag.Frames.Record(i).ID == id) {
            if (tag.Frames.StoredUnsynchronisation(i)) {
                tag.Frames.DeunsyncFrame(i);
            }
            return tag.Frames.Record(i).Data;
        }
    }
    return {};
}

std::string Title(Tid3v2tag& tag)
{
    std::string title;
    tag.GetTextFrame("TIT2", title);
    return title;
}

struct SongFile
{
    Bytes Tag;
    Bytes Audio = testsupport::MpegFrames(20);
    Bytes Id3v1 = testsupport::Id3v1Block(Id3v1Fields{"Old", "Artist", "", "", "", {}, 12});

    Bytes Build() const
    {
        Bytes file = Tag;
        Append(file, Audio);
        Append(file, Id3v1);
        return file;
    }
    // The audio and the ID3v1 block behind a tag of tagSize bytes.
    Bytes Rest(const Bytes& file, std::size_t tagSize) const { return Slice(file, tagSize); }
};

std::size_t StoredTagSize(const Bytes& file)
{
    const std::size_t body = (std::size_t{file[6]} << 21) | (std::size_t{file[7]} << 14) |
                             (std::size_t{file[8]} << 7) | file[9];
    return body + 10;
}

// A tag as the case builds it, written, loaded, saved with a new title and
// loaded again from disk.
struct Lenient
{
    const char* Name;
    Id3v2Builder Tag;
    StatusWord Warnings;
    const char* OtherId = "APIC"; // the frame besides the title, and its data
    Bytes OtherData = Jpeg();
};

Id3v2Builder V4()
{
    return Id3v2Builder().Version(4);
}

std::vector<Lenient> LenientCases()
{
    // Not a frame ID: a frame header with a valid one whose size runs past
    // the tag stays an error, as the frame may be a truncated one.
    const Bytes junk = testsupport::ToBytes("*JUNK*JUNK*JUNK*");
    Bytes zerosThenJunk(4, 0x00);
    Append(zerosThenJunk, testsupport::ToBytes("JUNK"));
    Append(zerosThenJunk, Bytes(40, 0x00));
    return {
        {"ZerosThenJunkIdVersion3",
         Id3v2Builder().TextFrame("TIT2", "Title").Frame("APIC", Jpeg()).Raw(zerosThenJunk),
         status::kWarnJunkPadding},
        {"ZerosThenJunkIdVersion4",
         V4().TextFrame("TIT2", "Title").Frame("APIC", Jpeg()).Raw(zerosThenJunk),
         status::kWarnJunkPadding},
        {"JunkAfterLastFrame", V4().TextFrame("TIT2", "Title").Frame("APIC", Jpeg()).Raw(junk),
         status::kWarnJunkPadding},
        {"FewerBytesThanAFrameHeader",
         Id3v2Builder().TextFrame("TIT2", "Title").Frame("APIC", Jpeg()).Raw({'A', 'B', 'C'}),
         status::kWarnJunkPadding},
        {"PlainSizes", V4().PlainFrameSizes().TextFrame("TIT2", "Title").Frame("APIC", Jpeg()),
         status::kWarnPlainSizes},
        {"PlainSizesWithPadding",
         V4().PlainFrameSizes().Frame("APIC", Jpeg()).TextFrame("TIT2", "Title").Padding(200),
         status::kWarnPlainSizes},
        // 0xC8 in a size field cannot be syncsafe.
        {"PlainSizeNotSyncsafe",
         V4().PlainFrameSizes().TextFrame("TIT2", "Title").Frame("PRIV", Pattern(200, 3)),
         status::kWarnPlainSizes, "PRIV", Pattern(200, 3)},
        {"HeaderUnsync",
         V4().HeaderFlags(0x80)
             .Frame("TIT2", Latin1Text("Title"))
             .Frame("APIC", testsupport::UnsyncBytes(Jpeg()))
             .Padding(64),
         status::kWarnTagUnsync},
        {"Revision3Point1",
         Id3v2Builder().Version(3, 1).TextFrame("TIT2", "Title").Frame("APIC", Jpeg()),
         status::kWarnRevision},
        {"Revision4Point2", V4().Version(4, 2).TextFrame("TIT2", "Title").Frame("APIC", Jpeg()),
         status::kWarnRevision},
    };
}

class RealFiles : public testing::TestWithParam<Lenient>
{
};

} // namespace

TEST_P(RealFiles, LoadWithWarningAndSaveCleanly)
{
    const Lenient& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    SongFile song;
    song.Tag = c.Tag.Build();
    WriteFile(path, song.Build());

    Tid3v2tag tag;
    const StatusWord loaded = tag.LoadFromFile(path, 0);
    ASSERT_EQ(loaded, c.Warnings) << Hex4(loaded);
    ASSERT_EQ(tag.Frames.Count(), 2u);
    EXPECT_EQ(Title(tag), "Title");
    ASSERT_EQ(tag.SetTextFrame("TIT2", "New title"), textresult::kOk);
    const StatusWord saved = tag.SaveToFile("=", 255, 255, -1);
    ASSERT_EQ(saved, status::kOk) << Hex4(saved);

    const Bytes file = ReadFile(path);
    EXPECT_EQ(file[4], 0) << "revision written";
    EXPECT_EQ(song.Rest(file, StoredTagSize(file)), Slice(song.Build(), song.Tag.size()))
        << "audio and ID3v1 block";
    Tid3v2tag again;
    const StatusWord reloaded = again.LoadFromFile(path, 0);
    EXPECT_EQ(reloaded, status::kOk) << Hex4(reloaded);
    ASSERT_EQ(again.Frames.Count(), 2u);
    EXPECT_EQ(Title(again), "New title");
    const Bytes other = Decoded(again, c.OtherId);
    EXPECT_EQ(other, c.OtherData) << Hex(other);
}

INSTANTIATE_TEST_SUITE_P(TagReader, RealFiles, testing::ValuesIn(LenientCases()),
                         CaseName<Lenient>);

// A clean version 4 tag with frames of 128 bytes and more keeps its syncsafe
// reading: the plain one is only tried when the syncsafe one stumbles.
TEST(RealFilesPlainSizes, SyncsafeTagWithLargeFramesStaysSyncsafe)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    Mp3Builder()
        .Tag(V4().Frame("PRIV", Pattern(5000, 2)).TextFrame("TIT2", "Title").Padding(100).Build())
        .Audio(2)
        .WriteTo(path);
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk);
    ASSERT_EQ(tag.Frames.Count(), 2u);
    EXPECT_EQ(tag.PaddingSize, 100u);
}

// The first save of a version 4 tag with the header's unsynchronisation used
// to unsynchronise the stored bytes a second time.
TEST(RealFilesHeaderUnsync, PictureBytesSurviveTwoSaves)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    Mp3Builder()
        .Tag(V4().HeaderFlags(0x80).Frame("APIC", testsupport::UnsyncBytes(Jpeg())).Build())
        .Audio(2)
        .WriteTo(path);
    for (int round = 0; round < 2; ++round) {
        Tid3v2tag tag;
        ASSERT_TRUE(status::IsSuccess(tag.LoadFromFile(path, 0)));
        ASSERT_EQ(tag.SetTextFrame("TIT2", "Round"), textresult::kOk);
        ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), status::kOk);
    }
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk);
    EXPECT_EQ(Decoded(tag, "APIC"), Jpeg());
}

TEST(RealFilesRevision, ExplicitNonzeroRevisionIsStillRefused)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    Mp3Builder().Tag(Id3v2Builder().Version(3, 1).TextFrame("TIT2", "T").Build()).WriteTo(path);
    const Bytes before = ReadFile(path);
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kWarnRevision);
    EXPECT_EQ(SaveTagToFile(tag, path, 255, 1, 0, {}), status::kRevision);
    EXPECT_EQ(ReadFile(path), before);
}

// A version 3 tag with tag-level unsynchronisation whose last frame ends in
// FF: the reader took the first padding zero for an inserted one, and with no
// padding the FF met the audio's FF Fx.
class UnsyncEndsInFF : public testing::TestWithParam<std::uint32_t>
{
};

TEST_P(UnsyncEndsInFF, RoundTripKeepsPaddingAndLastByte)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    SongFile song;
    song.Tag = Id3v2Builder()
                   .Unsync()
                   .ExtendedHeaderV3(16)
                   .TextFrame("TIT2", "Title")
                   .Frame("PRIV", {'o', 0x00, 0x12, 0xFF})
                   .Padding(16)
                   .Build();
    WriteFile(path, song.Build());
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk);
    tag.PaddingMode = 0;
    tag.PaddingSize = GetParam();
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), status::kOk);

    const Bytes file = ReadFile(path);
    const std::size_t size = StoredTagSize(file);
    const std::size_t lastFrameByte = size - GetParam() - 1;
    EXPECT_EQ(file[lastFrameByte - 1], 0xFF) << Hex(file);
    EXPECT_EQ(file[lastFrameByte], 0x00) << "the tag must not end in FF";
    EXPECT_EQ(Slice(file, size), Slice(song.Build(), song.Tag.size()));
    Tid3v2tag again;
    const StatusWord reloaded = again.LoadFromFile(path, 0);
    EXPECT_EQ(reloaded, status::kOk) << Hex4(reloaded);
    // A 00 after FF at the very end of the body is kept by the reader.
    EXPECT_EQ(again.PaddingSize, std::max(GetParam(), 1u));
    EXPECT_EQ(Decoded(again, "PRIV"), (Bytes{'o', 0x00, 0x12, 0xFF}));
}

INSTANTIATE_TEST_SUITE_P(TagWriter, UnsyncEndsInFF, testing::Values(0u, 1u, 16u));

namespace {

// A tag whose size field was raised by `claimed` bytes, so that it takes in
// the start of the audio; its padding (if any) is zeros.
Bytes TagClaimingAudio(std::uint32_t claimed, std::size_t padding)
{
    Id3v2Builder tag = Id3v2Builder().TextFrame("TIT2", "Title").Frame("APIC", Jpeg());
    tag.Padding(padding);
    const auto body = static_cast<std::uint32_t>(tag.Body().size());
    return tag.SizeOverride(body + claimed).Build();
}

struct AudioCase
{
    const char* Name;
    std::uint32_t Claimed;
    std::size_t Padding;
};

class AudioInTag : public testing::TestWithParam<AudioCase>
{
};

} // namespace

TEST_P(AudioInTag, LoadsButNoSaveOrRemovalTakesTheAudio)
{
    const AudioCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    SongFile song;
    song.Audio = testsupport::MpegFrames(300); // 125 KB
    song.Tag = TagClaimingAudio(c.Claimed, c.Padding);
    WriteFile(path, song.Build());
    const Bytes before = ReadFile(path);

    Tid3v2tag tag;
    ASSERT_TRUE(status::IsSuccess(tag.LoadFromFile(path, 0)));
    EXPECT_EQ(Title(tag), "Title");
    tag.SetTextFrame("TIT2", "New");
    EXPECT_EQ(tag.SaveToFile("=", 255, 255, -1), status::kAudioInTag);
    EXPECT_EQ(ReadFile(path), before);
    // An object that was never read from the file learns the same.
    Tid3v2tag fresh;
    AddText(fresh, "TIT2", "Fresh");
    EXPECT_EQ(Save(fresh, path), status::kAudioInTag);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(RemoveTagFromFile(path, 0), status::kAudioInTag);
    EXPECT_EQ(ReadFile(path), before);
}

INSTANTIATE_TEST_SUITE_P(TagWriter, AudioInTag,
                         testing::Values(AudioCase{"HundredKilobytes", 100000, 0},
                                         AudioCase{"HundredKilobytesAfterPadding", 100000, 500},
                                         AudioCase{"OnlyTheFirstSync", 2, 0},
                                         AudioCase{"OneFrameAfterPadding", 417, 64}),
                         CaseName<AudioCase>);

// Padding of junk that holds FF bytes but no frame header saves as before.
TEST(AudioInTagPadding, JunkWithoutAFrameHeaderSaves)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    SongFile song;
    song.Tag = Id3v2Builder()
                   .TextFrame("TIT2", "Title")
                   .Raw({0xFF, 0x00, 0xFF, 0xE0, 0x00, 0x00, 0xFF, 0xFB, 0xF0, 0x00, 0xFF})
                   .Padding(100)
                   .Build();
    WriteFile(path, song.Build());
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kWarnJunkPadding);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), status::kOk);
    const Bytes file = ReadFile(path);
    EXPECT_EQ(Slice(file, StoredTagSize(file)), Slice(song.Build(), song.Tag.size()));
}

// A tag that does not load (its last frame runs past the tag) replaced by a
// new one: only what follows the frames read is checked for audio, so a
// picture holding an MPEG frame header does not stop the save.
TEST(AudioInTagPadding, UnreadableTagIsCheckedFromItsFirstUnreadableFrame)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    Bytes picture = Jpeg();
    Append(picture, testsupport::MpegFrames(1));
    SongFile song;
    song.Tag = Id3v2Builder()
                   .Frame("APIC", picture)
                   .Frame("TIT2", Latin1Text("Broken"), 0, 0, {}, 100)
                   .Build();
    WriteFile(path, song.Build());
    Tid3v2tag broken;
    ASSERT_EQ(broken.LoadFromFile(path, 0), status::kBadTag);
    Tid3v2tag fresh;
    AddText(fresh, "TIT2", "New");
    ASSERT_EQ(Save(fresh, path), status::kOk);
    const Bytes file = ReadFile(path);
    EXPECT_EQ(Slice(file, StoredTagSize(file)), Slice(song.Build(), song.Tag.size()));
}

namespace {

struct Removal
{
    const char* Name;
    Bytes Tag;
};

class RemoveTag : public testing::TestWithParam<Removal>
{
};

} // namespace

TEST_P(RemoveTag, LeavesOnlyTheAudioAndTheId3v1Block)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    SongFile song;
    song.Tag = GetParam().Tag;
    WriteFile(path, song.Build());
    ASSERT_EQ(RemoveTagFromFile(path, 0), status::kOk);
    Bytes expected = song.Audio;
    Append(expected, song.Id3v1);
    EXPECT_EQ(ReadFile(path), expected);
    Tid3v2tag tag;
    EXPECT_EQ(tag.LoadFromFile(path, 0), status::kNoTag);
}

INSTANTIATE_TEST_SUITE_P(
    TagWriter, RemoveTag,
    testing::Values(Removal{"Version3", Id3v2Builder().TextFrame("TIT2", "T").Padding(300).Build()},
                    Removal{"Version4WithFooter",
                            [] {
                                Bytes tag = V4().HeaderFlags(0x10).TextFrame("TIT2", "T").Build();
                                Bytes footer(tag.begin(), tag.begin() + 10);
                                footer[0] = '3';
                                footer[1] = 'D';
                                footer[2] = 'I';
                                Append(tag, footer);
                                return tag;
                            }()}),
    CaseName<Removal>);

TEST(RemoveTagRefusals, LeaveTheFileByteIdentical)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    SongFile song;
    song.Tag = Id3v2Builder().TextFrame("TIT2", "T").Build();
    WriteFile(path, song.Build());
    const Bytes before = ReadFile(path);
    EXPECT_EQ(RemoveTagFromFile(path, before.size() + 1), status::kPastEof);
    EXPECT_EQ(RemoveTagFromFile(path, 1), status::kOk) << "no tag at that offset";
    EXPECT_EQ(ReadFile(path), before);

    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(RemoveTagFromFile(path, 0), status::kReadOnly);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(ReadFile(path), before);

    const std::string past = dir.File("past.mp3");
    WriteFile(past, Id3v2Builder().TextFrame("TIT2", "T").SizeOverride(5000).Build());
    const Bytes pastBefore = ReadFile(past);
    EXPECT_EQ(RemoveTagFromFile(past, 0), status::kBadTagSize);
    EXPECT_EQ(ReadFile(past), pastBefore);
}

TEST(RemoveTagPlacement, EveryFailingOperationLeavesTheOldOrTheNewFile)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    SongFile song;
    song.Tag = Id3v2Builder().TextFrame("TIT2", "T").Padding(300).Build();
    const Bytes original = song.Build();
    Bytes removed = song.Audio;
    Append(removed, song.Id3v1);
    for (int failAt = 1; failAt < 200; ++failAt) {
        WriteFile(path, original);
        int count = 0;
        SaveOptions options;
        options.BeforeOperation = [&](SaveOperation) {
            if (++count == failAt) {
                throw EWriteError("injected");
            }
        };
        const StatusWord result = RemoveTagFromFile(path, 0, options);
        const Bytes now = ReadFile(path);
        if (result == status::kOk) {
            EXPECT_EQ(now, removed) << "operation " << failAt;
            break;
        }
        EXPECT_EQ(now, original) << "operation " << failAt << " status " << Hex4(result);
    }
}
