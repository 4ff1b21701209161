// Tags from file names through the normal save, checked from disk: each file
// gets its own values in the fields the pattern names, the rest of its tag is
// kept, and a file whose name does not fit is not touched.

#include "NameTagger.h"

#include "FileCheck.h"
#include "FolderReader.h"

#include <gtest/gtest.h>

namespace varnello {
namespace {

using namespace testsupport;

TEST(NameTagger, EachMatchingFileGetsItsOwnValuesOnlyInTheNamedFields)
{
    TempDir dir;
    const Bytes comment = Latin1Comment("eng", "", "Kept");
    const Bytes tag = Id3v2Builder()
                          .Version(3)
                          .TextFrame("TIT2", "Old")
                          .TextFrame("TALB", "Album")
                          .Frame("COMM", comment)
                          .Padding(64)
                          .Build();
    Mp3Builder().Tag(tag).Audio(2).WriteTo(dir.File("01 - ABBA - Waterloo.mp3"));
    Mp3Builder()
        .Audio(2)
        .Id3v1(MakeId3v1("Old", "", "Album1"))
        .WriteTo(dir.File("02 - Bj\xC3\xB6rk - J\xC3\xB3ga.mp3"));
    Mp3Builder().Tag(tag).Audio(2).WriteTo(dir.File("bonus.mp3"));
    const Bytes bonus = ReadFile(dir.File("bonus.mp3"));

    std::vector<FileRow> rows = FolderReader().ReadFolder(dir.Path());
    ASSERT_EQ(rows.size(), 3u);
    const ParsedNamePattern parsed =
        ParseNamePattern("%track% - %artist% - %title%", NamePatternUse::kMatch);
    const std::vector<NameTags> plan = PlanTagsFromNames(parsed.Pattern, rows);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_TRUE(plan[0].Matched && plan[1].Matched);
    EXPECT_FALSE(plan[2].Matched);
    EXPECT_EQ(plan[1].Values.Artist, "Bj\xC3\xB6rk");
    EXPECT_EQ(plan[1].Mask, fieldmask::kTrack | fieldmask::kArtist | fieldmask::kTitle);

    TagSaver saver;
    EXPECT_TRUE(ApplyTagsFromNames(saver, dir.Path(), plan, rows).empty());
    EXPECT_EQ(rows[0].Fields.Title, "Waterloo") << "the row follows the save";

    const std::vector<FileRow> reread = FolderReader().ReadFolder(dir.Path());
    EXPECT_EQ(reread[0].Fields.Track, "01");
    EXPECT_EQ(reread[0].Fields.Artist, "ABBA");
    EXPECT_EQ(reread[0].Fields.Title, "Waterloo");
    EXPECT_EQ(reread[0].Fields.Album, "Album");
    EXPECT_TRUE(ContainsBytes(ReadFile(dir.File("01 - ABBA - Waterloo.mp3")),
                              FrameBytes(3, "COMM", comment)));
    // A file without ID3v2 gets a new tag; its ID3v1 tag takes the fields too.
    EXPECT_EQ(reread[1].Fields.Title, "J\xC3\xB3ga");
    EXPECT_EQ(reread[1].Fields.Album, "Album1");
    const Bytes id3v1 = LastBlock(dir.File("02 - Bj\xC3\xB6rk - J\xC3\xB3ga.mp3"));
    EXPECT_EQ(Id3v1Field(id3v1, 3, 30), "J\xF3ga");
    EXPECT_EQ(id3v1[126], 2);
    EXPECT_EQ(ReadFile(dir.File("bonus.mp3")), bonus);
}

} // namespace
} // namespace varnello
