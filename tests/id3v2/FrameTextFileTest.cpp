#include "FrameFlags.h"
#include "Mp3Builder.h"
#include "Tid3v2tag.h"

#include <gtest/gtest.h>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

// U+20BB7 (a surrogate pair in UTF-16) and two kanji.
const std::string kJapaneseTitle = "\xF0\xA0\xAE\xB7\xE9\x87\x8E\xE5\xAE\xB6";

// The format byte of the first frame with this ID in a version 3 tag that has
// no extended header and no tag-wide unsynchronisation.
int V3FormatFlagsOf(const Bytes& file, std::string_view id)
{
    std::size_t pos = 10;
    while (pos + 10 <= file.size() && file[pos] != 0) {
        const std::string frameId(file.begin() + static_cast<std::ptrdiff_t>(pos),
                                  file.begin() + static_cast<std::ptrdiff_t>(pos + 4));
        const std::size_t size = (std::size_t{file[pos + 4]} << 24) |
                                 (std::size_t{file[pos + 5]} << 16) |
                                 (std::size_t{file[pos + 6]} << 8) | file[pos + 7];
        if (frameId == id) {
            return file[pos + 9];
        }
        pos += 10 + size;
    }
    return -1;
}

} // namespace

TEST(FrameTextFile, Version4FileWithOnlyTdrcShowsItsYear)
{
    TempDir dir;
    const std::string path = dir.File("v4.mp3");
    Mp3Builder()
        .Tag(Id3v2Builder().Version(4).TextFrame("TDRC", "2004-05-06").Padding(64).Build())
        .Audio(2)
        .WriteTo(path);
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk);
    std::string year;
    EXPECT_EQ(tag.GetYear(year), textresult::kOk);
    EXPECT_EQ(year, "2004-05-06");
}

TEST(FrameTextFile, CompressedTitleIsReadAndCompressedAgainBySave)
{
    TempDir dir;
    const std::string path = dir.File("packed.mp3");
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .CompressedFrameV3("TIT2", Latin1Text("Packed title"))
                 .Padding(32)
                 .Build())
        .Audio(2)
        .WriteTo(path);
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk);
    std::string title;
    ASSERT_EQ(tag.GetTextFrame("TIT2", title), textresult::kOk);
    EXPECT_EQ(title, "Packed title");

    ASSERT_TRUE(status::IsSuccess(tag.SaveToFile("=", 255, 255, -1)));
    const Bytes saved = ReadFile(path);
    EXPECT_EQ(V3FormatFlagsOf(saved, "TIT2"), 0x80) << Hex(saved, 48);

    Tid3v2tag again;
    ASSERT_EQ(again.LoadFromFile(path, 0), status::kOk);
    ASSERT_EQ(again.GetTextFrame("TIT2", title), textresult::kOk);
    EXPECT_EQ(title, "Packed title");
}

TEST(FrameTextFile, UnicodeFieldsSurviveSaveAndLoad)
{
    TempDir dir;
    for (const std::uint8_t version : {std::uint8_t{3}, std::uint8_t{4}}) {
        const std::string path = dir.File("unicode" + std::to_string(version) + ".mp3");
        Mp3Builder().Audio(2).WriteTo(path);
        Tid3v2tag tag;
        tag.MajorVersion = version;
        ASSERT_EQ(tag.SetTextFrame("TIT2", kJapaneseTitle), textresult::kOk);
        COMM comment;
        comment.Text = "line one\r\n\xE2\x82\xAC two";
        ASSERT_EQ(tag.SetComment(comment, "", "None"), textresult::kOk);
        ASSERT_EQ(tag.SetYear("2004"), textresult::kOk);
        ASSERT_TRUE(status::IsSuccess(tag.SaveToFile(path, 255, 255, 0))) << int{version};

        Tid3v2tag loaded;
        ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk);
        EXPECT_EQ(loaded.MajorVersion, version);
        std::string title, year;
        EXPECT_EQ(loaded.GetTextFrame("TIT2", title), textresult::kOk);
        EXPECT_EQ(title, kJapaneseTitle) << int{version};
        COMM read;
        EXPECT_EQ(loaded.GetComment(read, "", "None"), textresult::kOk);
        EXPECT_EQ(read.Text, comment.Text) << int{version};
        EXPECT_EQ(loaded.GetYear(year), textresult::kOk);
        EXPECT_EQ(year, "2004");
        EXPECT_NE(loaded.Frames.Find(version == 4 ? "TDRC" : "TYER"), 0u);
    }
}

TEST(FrameTextFile, NewTitleSavesOverAGroupedOrEncryptedTitleFrame)
{
    // The engine cannot encrypt: the new title is written plain. A group ID
    // is no transformation of the data, so the frame stays in its group.
    TempDir dir;
    struct Case
    {
        std::uint8_t Version;
        std::uint8_t FormatFlags; // as the version stores them
        Bytes Added;
        bool Grouped;
    };
    const Case cases[] = {{3, 0x20, {0x11}, true},
                          {3, 0x40, {0x80}, false},
                          {4, 0x40, {0x11}, true},
                          {4, 0x04, {0x80}, false}};
    for (const Case& c : cases) {
        const std::string path = dir.File("flags" + std::to_string(c.Version) + "-" +
                                          std::to_string(c.FormatFlags) + ".mp3");
        Mp3Builder()
            .Tag(Id3v2Builder()
                     .Version(c.Version)
                     .Frame("TIT2", Latin1Text("Old"), 0, c.FormatFlags, c.Added)
                     .TextFrame("TPE1", "Artist")
                     .Build())
            .Audio(2)
            .WriteTo(path);
        const std::string what = "version " + std::to_string(c.Version) + " format flags " +
                                 std::to_string(c.FormatFlags);
        Tid3v2tag tag;
        ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk) << what;
        ASSERT_EQ(tag.SetTextFrame("TIT2", "New"), textresult::kOk) << what;
        ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), status::kOk) << what;

        Tid3v2tag loaded;
        ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk) << what;
        std::string title;
        EXPECT_EQ(loaded.GetTextFrame("TIT2", title), textresult::kOk) << what;
        EXPECT_EQ(title, "New") << what;
        const std::uint32_t i = loaded.Frames.Find("TIT2");
        EXPECT_FALSE(loaded.Frames.Encryption(i)) << what;
        EXPECT_EQ(loaded.Frames.Grouping(i), c.Grouped) << what;
        if (c.Grouped) {
            EXPECT_EQ(loaded.Frames.GetGroupID(i), 0x11) << what;
        }
    }
}
