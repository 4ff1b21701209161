#include "FileStream.h"
#include "TagWriter.h"
#include "WriterTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace varnello;
using namespace varnello::writertest;
using testsupport::Hex;
using testsupport::Id3v2Builder;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Where a save's bytes ended up, for comparison with the expected layout.
void ExpectFile(const std::string& path, const Bytes& expected)
{
    const Bytes actual = ReadFile(path);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            const std::size_t from = i > 8 ? i - 8 : 0;
            FAIL() << "first difference at byte " << i
                   << "\n  actual:   " << Hex(Slice(actual, from, 24))
                   << "\n  expected: " << Hex(Slice(expected, from, 24));
        }
    }
}

Bytes Concat(Bytes a, const Bytes& b)
{
    testsupport::Append(a, b);
    return a;
}

// Counts the file operations of a save by kind.
struct OperationLog
{
    std::vector<SaveOperation> Seen;
    SaveOptions Options()
    {
        SaveOptions options;
        options.BeforeOperation = [this](SaveOperation op) { Seen.push_back(op); };
        return options;
    }
    int Count(SaveOperation op) const
    {
        return static_cast<int>(std::count(Seen.begin(), Seen.end(), op));
    }
};

} // namespace

TEST(TagWriter, InsertsATagInFrontOfATaglessFile)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(3000);
    WriteFile(path, audio);
    Tid3v2tag tag;
    AddText(tag, "TIT2", "Title");
    ASSERT_EQ(Save(tag, path), status::kOk);
    // 26 bytes of tag without padding; the padding fills the file to 4096.
    ExpectFile(path,
               Concat(Id3v2Builder().TextFrame("TIT2", "Title").Padding(1070).Build(), audio));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"song.mp3"});
}

TEST(TagWriter, SameSizeSaveRewritesOnlyTheTagBytes)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(5000);
    WriteFile(path,
              Concat(Id3v2Builder().TextFrame("TIT2", "Title A").Padding(3164).Build(), audio));
    const std::uint64_t inode = Inode(path);
    Tid3v2tag tag;
    AddText(tag, "TIT2", "Title B");
    OperationLog log;
    ASSERT_EQ(Save(tag, path, 255, log.Options()), status::kOk);
    ExpectFile(path,
               Concat(Id3v2Builder().TextFrame("TIT2", "Title B").Padding(3164).Build(), audio));
    EXPECT_EQ(Inode(path), inode) << "the file was replaced instead of rewritten";
    EXPECT_EQ(log.Count(SaveOperation::Write), 1) << "one write of the 3192 tag bytes";
    EXPECT_EQ(log.Seen.size(), 3u)
        << "only the old header and padding (checked for audio) are read, and the tag written";
}

TEST(TagWriter, RealignsAGrowingTagToTheBlock)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(10000);
    WriteFile(path, audio);
    Tid3v2tag tag;
    AddFrame(tag, "PRIV", Pattern(4980, 2)); // a tag of 5000 bytes before padding
    ASSERT_EQ(Save(tag, path), status::kOk);
    EXPECT_EQ(tag.PaddingSize, 1384u);
    const Bytes file = ReadFile(path);
    ASSERT_EQ(file.size(), 16384u);
    EXPECT_EQ(Slice(file, 6384), audio) << "the audio starts right behind the padded tag";
}

TEST(TagWriter, RealignsAShrinkingTagWithDefaultSettings)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(5000);
    const Bytes old = Id3v2Builder().TextFrame("TIT2", "Old").Padding(2048 - 24).Build();
    ASSERT_EQ(old.size(), 2048u);
    WriteFile(path, Concat(old, audio));
    Tid3v2tag tag;
    AddFrame(tag, "PRIV", Pattern(980, 3)); // 1000 bytes before padding
    ASSERT_EQ(Save(tag, path), status::kOk);
    EXPECT_EQ(tag.PaddingSize, 2192u);
    EXPECT_EQ(tag.TagSize, 3192u - 10u);
    const Bytes file = ReadFile(path);
    ASSERT_EQ(file.size(), 8192u);
    EXPECT_EQ(Slice(file, 3192), audio);
}

TEST(TagWriter, KeepsTheOldSizeWhenTheLimitIsBelowTheBlock)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(777);
    WriteFile(path,
              Concat(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(500).Build(), audio));
    Tid3v2tag tag;
    tag.PaddingLimit = 100;
    AddText(tag, "TIT2", "New");
    OperationLog log;
    ASSERT_EQ(Save(tag, path, 255, log.Options()), status::kOk);
    ExpectFile(path, Concat(Id3v2Builder().TextFrame("TIT2", "New").Padding(506).Build(), audio));
    EXPECT_EQ(log.Count(SaveOperation::CreateTemporary), 0) << "nothing moves";
}

TEST(TagWriter, PaddingModeZeroWritesThePaddingAsItIs)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(1234);
    WriteFile(path, audio);
    Tid3v2tag tag;
    tag.PaddingMode = 0;
    tag.PaddingSize = 33;
    AddText(tag, "TPE1", "Artist");
    ASSERT_EQ(Save(tag, path), status::kOk);
    ExpectFile(path, Concat(Id3v2Builder().TextFrame("TPE1", "Artist").Padding(33).Build(), audio));
}

// T = 0, O = 1000, F = 1100, N = 6000: the tag grows by more than the audio
// behind it. Checked through the temporary file and through the move inside
// a file with a second hard link.
TEST(TagWriter, GrowsByMoreThanTheAudioBehindTheTag)
{
    for (const bool linked : {false, true}) {
        TempDir dir;
        const std::string path = dir.File("song.mp3");
        const Bytes audio = Pattern(100);
        const Bytes old = Id3v2Builder().TextFrame("TIT2", "x").Padding(978).Build();
        ASSERT_EQ(old.size(), 1000u);
        WriteFile(path, Concat(old, audio));
        if (linked) {
            ASSERT_NO_THROW(std::filesystem::create_hard_link(path, dir.File("other.mp3")));
        }
        Tid3v2tag tag;
        tag.PaddingMode = 0;
        const Bytes data = Pattern(5980, 4);
        AddFrame(tag, "PRIV", data);
        ASSERT_EQ(Save(tag, path), status::kOk) << "linked " << linked;
        const Bytes expected = Concat(Id3v2Builder().Frame("PRIV", data).Build(), audio);
        ASSERT_EQ(expected.size(), 6100u);
        ExpectFile(path, expected);
        if (linked) {
            ExpectFile(dir.File("other.mp3"), expected);
        }
    }
}

TEST(TagWriter, MovesTheAudioUpInsideALinkedFile)
{
    // The tag grows by 2000 bytes, less than the 50000 audio bytes: the
    // audio moves up in pieces from its end towards its start.
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(50000);
    const Bytes old = Id3v2Builder().TextFrame("TIT2", "x").Padding(978).Build();
    WriteFile(path, Concat(old, audio));
    ASSERT_NO_THROW(std::filesystem::create_hard_link(path, dir.File("other.mp3")));
    Tid3v2tag tag;
    tag.PaddingMode = 0;
    const Bytes data = Pattern(2980, 4);
    AddFrame(tag, "PRIV", data);
    OperationLog log;
    ASSERT_EQ(Save(tag, path, 255, log.Options()), status::kOk);
    ExpectFile(path, Concat(Id3v2Builder().Frame("PRIV", data).Build(), audio));
    EXPECT_EQ(log.Count(SaveOperation::CreateTemporary), 0) << "a rename would cut the link";
    EXPECT_EQ(log.Count(SaveOperation::Extend), 1) << "the file grows before anything moves";
    // The rollback journal is written and synced before the file changes.
    const auto extend = std::find(log.Seen.begin(), log.Seen.end(), SaveOperation::Extend);
    const auto journal = std::find(log.Seen.begin(), log.Seen.end(), SaveOperation::Journal);
    EXPECT_LT(journal, extend);
    EXPECT_EQ(std::count(log.Seen.begin(), extend, SaveOperation::Sync), 2)
        << "the journal, header last, then its folder entry";
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"other.mp3", "song.mp3"}));
}

TEST(TagWriter, ShrinkingCutsTheFile)
{
    for (const bool linked : {false, true}) {
        TempDir dir;
        const std::string path = dir.File("song.mp3");
        const Bytes audio = Pattern(40000);
        const Bytes old = Id3v2Builder().TextFrame("TIT2", "Old").Padding(4976).Build();
        ASSERT_EQ(old.size(), 5000u);
        WriteFile(path, Concat(old, audio));
        if (linked) {
            ASSERT_NO_THROW(std::filesystem::create_hard_link(path, dir.File("other.mp3")));
        }
        Tid3v2tag tag;
        tag.PaddingMode = 0;
        AddText(tag, "TIT2", "ab");
        ASSERT_EQ(Save(tag, path), status::kOk);
        const Bytes expected = Concat(Id3v2Builder().TextFrame("TIT2", "ab").Build(), audio);
        ASSERT_EQ(expected.size(), 45000u - (5000u - 23u));
        ExpectFile(path, expected);
        if (linked) {
            EXPECT_EQ(Inode(path), Inode(dir.File("other.mp3")));
        }
    }
}

TEST(TagWriter, RefusesAnOldTagThatReachesPastTheEnd)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes original =
        Concat(Id3v2Builder().TextFrame("TIT2", "Old").SizeOverride(5000).Build(), Pattern(3000));
    WriteFile(path, original);
    Tid3v2tag tag;
    AddText(tag, "TIT2", "New");
    EXPECT_EQ(Save(tag, path), status::kBadTagSize);
    ExpectFile(path, original);
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 1u);
}

TEST(TagWriter, InsertsInFrontOfSomethingThatIsNoTagHeader)
{
    for (const auto& start : {Bytes{'I', 'D', '3', 0xFF, 0, 0, 0, 0, 0, 10},
                              Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 10}}) {
        TempDir dir;
        const std::string path = dir.File("song.mp3");
        const Bytes original = Concat(start, Pattern(500));
        WriteFile(path, original);
        Tid3v2tag tag;
        tag.PaddingMode = 0;
        AddText(tag, "TIT2", "New");
        ASSERT_EQ(Save(tag, path), status::kOk) << Hex(start);
        ExpectFile(path, Concat(Id3v2Builder().TextFrame("TIT2", "New").Build(), original));
    }
}

TEST(TagWriter, OffsetPastTheEndFailsAndAtTheEndAppends)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(100);
    WriteFile(path, audio);
    Tid3v2tag tag;
    tag.PaddingMode = 0;
    AddText(tag, "TIT2", "End");
    EXPECT_EQ(SaveTagToFile(tag, path, 255, 255, 101, {}), status::kPastEof);
    ExpectFile(path, audio);
    ASSERT_EQ(SaveTagToFile(tag, path, 255, 255, 100, {}), status::kOk);
    ExpectFile(path, Concat(audio, Id3v2Builder().TextFrame("TIT2", "End").Build()));
    EXPECT_EQ(tag.TagOffset, 100u);
}

TEST(TagWriter, OneFrameAskingForUnsyncUnsynchronisesTheWholeTag)
{
    using namespace frameflags;
    for (const std::uint8_t version : {std::uint8_t{3}, std::uint8_t{4}}) {
        TempDir dir;
        const std::string path = dir.File("song.mp3");
        const Bytes audio = Pattern(64);
        WriteFile(path, audio);
        Tid3v2tag tag;
        tag.PaddingMode = 0;
        const Bytes tricky{0x00, 0xFF, 0xE0, 0x41, 0xFF, 0x00};
        AddText(tag, "TIT2", "Title");
        AddFrame(tag, "PRIV", tricky, 0, kUnsynchronisation);
        tag.SetUnsynchronisation(false);
        ASSERT_EQ(Save(tag, path, version), status::kOk);
        EXPECT_TRUE(tag.Unsynchronisation());
        for (std::uint32_t i = 1; i <= 2; ++i) {
            EXPECT_TRUE(tag.Frames.Unsynchronisation(i)) << "frame " << i;
        }
        Bytes expected;
        if (version == 3) {
            expected =
                Id3v2Builder().Unsync().TextFrame("TIT2", "Title").Frame("PRIV", tricky).Build();
        } else {
            expected = Id3v2Builder()
                           .Version(4)
                           .HeaderFlags(0x80)
                           .Frame("TIT2", testsupport::Latin1Text("Title"), 0, kUnsynchronisation)
                           .Frame("PRIV", testsupport::UnsyncBytes(tricky), 0, kUnsynchronisation)
                           .Build();
        }
        ExpectFile(path, Concat(expected, audio));
    }
}

TEST(TagWriter, Version3UnsyncSeparatesGroupByteFromZeroData)
{
    using namespace frameflags;
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(64);
    WriteFile(path, audio);
    Tid3v2tag tag;
    tag.PaddingMode = 0;
    tag.SetUnsynchronisation(true);
    const std::uint32_t grouped = AddFrame(tag, "TIT2", {0x00, 'A', 'B'}, kGrouping);
    tag.Frames.SetGroupID(grouped, 0xFF);
    AddFrame(tag, "PRIV", {'A', 'B', 0xFF}); // ends in FF before the next frame's ID
    AddText(tag, "TALB", "x");
    ASSERT_EQ(Save(tag, path, 3), status::kOk);
    const Bytes file = ReadFile(path);
    const Bytes expected = Id3v2Builder()
                               .Unsync()
                               .Frame("TIT2", {0x00, 'A', 'B'}, 0, 0x20, {0xFF})
                               .Frame("PRIV", {'A', 'B', 0xFF})
                               .TextFrame("TALB", "x")
                               .Build();
    ExpectFile(path, Concat(expected, audio));
    EXPECT_EQ(Hex(Slice(file, 20, 5)), "FF 00 00 41 42") << "group byte, inserted 00, data";
    EXPECT_EQ(Hex(Slice(file, 37, 4)), "FF 54 41 4C") << "nothing between FF and the next ID";
}

TEST(TagWriter, Version3CrcCoversTheFramesWithoutUnsyncBytes)
{
    for (const bool unsync : {false, true}) {
        TempDir dir;
        const std::string path = dir.File("song.mp3");
        const Bytes audio = Pattern(64);
        WriteFile(path, audio);
        Tid3v2tag tag;
        tag.PaddingMode = 0;
        tag.PaddingSize = 100;
        tag.SetCrcPresent(true);
        tag.SetUnsynchronisation(unsync);
        const Bytes data{0xFF, 0xE0, 0x41, 0xFF, 0x00, 0x42};
        AddText(tag, "TIT2", "Title");
        AddFrame(tag, "PRIV", data);
        ASSERT_EQ(Save(tag, path, 3), status::kOk);
        const Bytes frames = Id3v2Builder().TextFrame("TIT2", "Title").Frame("PRIV", data).Body();
        const std::uint32_t crc = testsupport::Crc32(frames);
        EXPECT_EQ(tag.CRC32, crc);
        Id3v2Builder expected;
        expected.ExtendedHeaderV3(100, crc).TextFrame("TIT2", "Title").Frame("PRIV", data);
        if (unsync) {
            expected.Unsync();
        }
        expected.Padding(100);
        ExpectFile(path, Concat(expected.Build(), audio));
    }
}

TEST(TagWriter, Version4CrcIncludesThePadding)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(64);
    WriteFile(path, audio);
    Tid3v2tag tag;
    tag.PaddingMode = 0;
    tag.PaddingSize = 50;
    tag.SetCrcPresent(true);
    tag.SetTagIsUpdate(true);
    tag.SetRestrictionsPresent(true);
    tag.Restrictions = 0x23;
    AddText(tag, "TIT2", "Title");
    ASSERT_EQ(Save(tag, path, 4), status::kOk);
    Bytes covered = Id3v2Builder().Version(4).TextFrame("TIT2", "Title").Body();
    covered.resize(covered.size() + 50, 0x00);
    const std::uint32_t crc = testsupport::Crc32(covered);
    EXPECT_EQ(tag.CRC32, crc);
    const Bytes expected = Id3v2Builder()
                               .Version(4)
                               .ExtendedHeaderV4(true, crc, 0x23)
                               .TextFrame("TIT2", "Title")
                               .Padding(50)
                               .Build();
    ExpectFile(path, Concat(expected, audio));
}

TEST(TagWriter, SizeLimitIsTheLargestSyncsafeValue)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(100);
    WriteFile(path, audio);
    // 22 bytes of tag before padding; the padding fills the body to the limit.
    auto makeTag = [](Tid3v2tag& tag, std::uint32_t padding) {
        tag.PaddingMode = 0;
        tag.PaddingSize = padding;
        AddText(tag, "TIT2", "x");
    };
    {
        Tid3v2tag tag;
        makeTag(tag, 0x0FFFFFFF - 12);
        SaveTarget target;
        ASSERT_EQ(target.Open(path), status::kOk);
        const SaveOptions options;
        TagWriter writer(tag, target, 0, options);
        ASSERT_EQ(writer.PlanTag(255, 255), status::kOk);
        EXPECT_EQ(writer.Plan().NewSize, 0x0FFFFFFFu + 10u);
    }
    Tid3v2tag tag;
    makeTag(tag, 0x0FFFFFFF - 11);
    EXPECT_EQ(Save(tag, path), status::kTagTooLarge);
    ExpectFile(path, audio);
}

TEST(TagWriter, RefusesWhatItCannotWriteBeforeTouchingTheFile)
{
    using namespace frameflags;
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const Bytes audio = Pattern(100);
    WriteFile(path, audio);
    struct Case
    {
        const char* Name;
        std::uint8_t Version;
        std::uint8_t Revision;
        std::uint8_t Stored;
        std::uint8_t Requested;
        bool Empty;
        StatusWord Expected;
    };
    const Case cases[] = {
        {"version 2", 2, 255, 0, 0, false, status::kMajorVersion},
        {"version 5", 5, 255, 0, 0, false, status::kMajorVersion},
        {"revision 1", 3, 1, 0, 0, false, status::kRevision},
        {"only an empty frame", 3, 255, 0, 0, true, status::kNoFrames},
        {"encryption asked for", 3, 255, 0, kEncryption, false, status::kEncryption},
        {"encrypted data to decrypt", 3, 255, kEncryption, 0, false, status::kEncryption},
        {"grouping asked for", 4, 255, 0, kGrouping, false, status::kGrouping},
        {"length of encrypted data", 4, 255, kEncryption | kDataLengthIndicator,
         kEncryption | kDataLengthIndicator, false, status::kDataLengthEncrypted},
    };
    for (const Case& c : cases) {
        Tid3v2tag tag;
        AddFrame(tag, "PRIV", c.Empty ? Bytes{} : Bytes{1, 2, 3}, c.Stored, c.Requested);
        EXPECT_EQ(SaveTagToFile(tag, path, c.Version, c.Revision, 0, {}), c.Expected) << c.Name;
        ExpectFile(path, audio);
    }
    Tid3v2tag none;
    EXPECT_EQ(Save(none, path), status::kNoFrames);
    ExpectFile(path, audio);
}

TEST(TagWriter, SkipUnsupportedUndoesTheRequestWithAWarning)
{
    using namespace frameflags;
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    WriteFile(path, Pattern(100));
    Tid3v2tag tag;
    tag.SkipUnsupported = true;
    tag.PaddingMode = 0;
    AddFrame(tag, "PRIV", {1, 2, 3}, 0, kEncryption | kGrouping);
    const std::uint32_t encrypted = AddFrame(tag, "AENC", {4, 5}, kEncryption);
    tag.Frames.SetEncryptionMethod(encrypted, 0x80);
    ASSERT_EQ(Save(tag, path, 4), status::kWarnSkipped);
    EXPECT_EQ(tag.LoadStatus, status::kWarnSkipped);
    EXPECT_FALSE(tag.Frames.Encryption(1));
    EXPECT_FALSE(tag.Frames.Grouping(1));
    EXPECT_TRUE(tag.Frames.Encryption(2)) << "encrypted data keeps a header that says so";
    const Bytes expected = Id3v2Builder()
                               .Version(4)
                               .Frame("PRIV", {1, 2, 3})
                               .Frame("AENC", {4, 5}, 0, kEncryption, {0x80})
                               .Build();
    ExpectFile(path, Concat(expected, Pattern(100)));
}

TEST(TagWriter, SuccessUpdatesTheObject)
{
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    WriteFile(path, Pattern(3000));
    Tid3v2tag tag;
    tag.MajorVersion = 4;
    tag.SetCrcPresent(true);
    AddText(tag, "TIT2", "Title");
    std::vector<std::pair<int, std::string>> seen;
    tag.OnProgress = [&seen](const Tid3v2tag& t) { seen.emplace_back(t.Progress, t.ProgressText); };
    ASSERT_EQ(Save(tag, path, 3), status::kOk);
    EXPECT_EQ(tag.MajorVersion, 3);
    EXPECT_EQ(tag.Revision, 0);
    EXPECT_EQ(tag.TagSize + 10, 4096u - 3000u);
    EXPECT_EQ(tag.PaddingSize, tag.TagSize - 14 - 16);
    EXPECT_NE(tag.CRC32, 0u);
    EXPECT_EQ(tag.LoadStatus, status::kOk);
    EXPECT_FALSE(tag.Modified);
    EXPECT_TRUE(tag.ExtendedHeader()) << "a CRC brings the extended header";
    EXPECT_EQ(tag.FileName, path);
    EXPECT_EQ(tag.Progress, 100);
    EXPECT_EQ(tag.ProgressText, "Save Complete");

    ASSERT_FALSE(seen.empty());
    int last = 0;
    std::vector<std::string> phases;
    for (const auto& [percent, text] : seen) {
        EXPECT_GE(percent, last) << text;
        EXPECT_LE(percent, 100) << text;
        last = percent;
        if (phases.empty() || phases.back() != text) {
            phases.push_back(text);
        }
    }
    // Through a temporary file the tag comes first; where the open file
    // cannot be replaced, the audio moves up inside it first.
    const std::vector<std::string> expected =
        platform::CanReplaceOpenFile()
            ? std::vector<std::string>{"Preparing tag", "Calculating CRC-32", "Writing new tag",
                                       "Re-positioning audio data", "Save Complete"}
            : std::vector<std::string>{"Preparing tag", "Calculating CRC-32",
                                       "Re-positioning audio data", "Writing new tag",
                                       "Save Complete"};
    EXPECT_EQ(phases, expected);
}
