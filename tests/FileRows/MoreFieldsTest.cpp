// The track, the disc and the album artist: read into rows, saved through
// the multi-file save with only their bits, checked from disk.

#include "FileCheck.h"
#include "FolderReader.h"
#include "TagFieldTable.h"
#include "TagSaver.h"

#include <gtest/gtest.h>

namespace varnello {
namespace {

using namespace testsupport;

FileRow ReadRow(const TempDir& dir, const std::string& name)
{
    return FolderReader().ReadRow(dir.Path(), name, 0);
}

// Saves `values` with the bits of `mask` into dir/a.mp3 as the tool does;
// the status of the save.
StatusWord Save(const TempDir& dir, const TagFields& values, FieldMask mask)
{
    FileRow row = ReadRow(dir, "a.mp3");
    std::vector<FileRow*> rows{&row};
    const std::vector<SaveFailure> failures =
        TagSaver().SaveMultiple(dir.Path(), rows, values, mask);
    return failures.empty() ? status::kOk : failures.front().Status;
}

TagFields Numbers(std::string track, std::string disc = {}, std::string albumArtist = {})
{
    TagFields fields;
    fields.Track = std::move(track);
    fields.Disc = std::move(disc);
    fields.AlbumArtist = std::move(albumArtist);
    return fields;
}

constexpr FieldMask kThree = fieldmask::kTrack | fieldmask::kDisc | fieldmask::kAlbumArtist;

TEST(MoreFields, ReadFromId3v2AndFromAnId3v1TrackOnlyWithoutId3v2)
{
    TempDir dir;
    struct Case
    {
        const char* What;
        Bytes File;
        TagFields Expected;
    };
    const Case cases[] = {
        {"ID3v2 frames as stored, the ID3v1 track ignored",
         Mp3Builder()
             .Tag(Id3v2Builder()
                      .Version(4)
                      .Frame("TRCK", Utf8Text("03/12"))
                      .Frame("TPOS", Latin1Text("1/2"))
                      .Frame("TPE2", Utf16BomText(u"Vari\u00e9t\u00e9"))
                      .Build())
             .Audio(2)
             .Id3v1(MakeId3v1("T", "", "", "", "", 255, 9))
             .Build(),
         Numbers("03/12", "1/2", "Vari\xC3\xA9t\xC3\xA9")},
        {"ID3v1.1 track",
         Mp3Builder().Audio(2).Id3v1(MakeId3v1("T", "", "", "", "c", 255, 200)).Build(),
         Numbers("200")},
        {"ID3v1.1 marker with track 0: none",
         Mp3Builder().Audio(2).Id3v1(MakeId3v1("T", "", "", "", "c", 255, 0)).Build(), Numbers("")},
        {"ID3v1.0 comment running into bytes 125 and 126: no track",
         Mp3Builder().Audio(2).Id3v1(MakeId3v1("T", "", "", "", std::string(30, 'x'), 255)).Build(),
         Numbers("")},
    };
    for (const Case& c : cases) {
        WriteFile(dir.File("a.mp3"), c.File);
        const TagFields read = ReadRow(dir, "a.mp3").Fields;
        EXPECT_EQ(read.Track, c.Expected.Track) << c.What;
        EXPECT_EQ(read.Disc, c.Expected.Disc) << c.What;
        EXPECT_EQ(read.AlbumArtist, c.Expected.AlbumArtist) << c.What;
    }
}

class MoreFieldsRoundTrip : public testing::TestWithParam<int>
{
};

TEST_P(MoreFieldsRoundTrip, SetThenRemovedKeepingEveryOtherFrame)
{
    const auto version = static_cast<std::uint8_t>(GetParam());
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const Bytes title = Latin1Text("Title");
    const Bytes comment = Latin1Comment("eng", "", "Kept");
    const Bytes user = Latin1Text(std::string_view("note\0value", 10));
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(version)
                 .Frame("TIT2", title)
                 .Frame("TRCK", Latin1Text("1"))
                 .Frame("COMM", comment)
                 .Frame("TXXX", user)
                 .Padding(256)
                 .Build())
        .Audio(8)
        .WriteTo(path);

    ASSERT_EQ(Save(dir, Numbers("3/12", "2/2", "Caf\xC3\xA9 Band"), kThree), status::kOk);
    const TagFields read = ReadRow(dir, "a.mp3").Fields;
    EXPECT_EQ(read.Track, "3/12");
    EXPECT_EQ(read.Disc, "2/2");
    EXPECT_EQ(read.AlbumArtist, "Caf\xC3\xA9 Band");
    EXPECT_EQ(read.Title, "Title");
    EXPECT_EQ(LoadId3v2(path).Major, version);
    const Bytes file = ReadFile(path);
    for (const auto& [id, data] : {std::pair{"TIT2", title}, {"COMM", comment}, {"TXXX", user}}) {
        EXPECT_TRUE(ContainsBytes(file, FrameBytes(version, id, data))) << id << " changed";
    }

    // Only the ticked field changes; an empty value removes its frame.
    ASSERT_EQ(Save(dir, Numbers(""), fieldmask::kTrack), status::kOk);
    const TagFields after = ReadRow(dir, "a.mp3").Fields;
    EXPECT_EQ(after.Track, "");
    EXPECT_EQ(after.Disc, "2/2");
    EXPECT_EQ(after.AlbumArtist, "Caf\xC3\xA9 Band");
    EXPECT_FALSE(ContainsBytes(ReadFile(path), ToBytes("TRCK")));
}

INSTANTIATE_TEST_SUITE_P(Versions, MoreFieldsRoundTrip, testing::Values(3, 4),
                         [](const testing::TestParamInfo<int>& version) {
                             return "V" + std::to_string(version.param);
                         });

// The window's editors hand over every field: a single save writes those
// whose values differ from the row's, an emptied one as a removal, and keeps
// the others as they are.
TEST(MoreFields, SingleSaveWritesTheChangedFieldsOnly)
{
    TempDir dir;
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "Old")
                 .TextFrame("TRCK", "4/9")
                 .TextFrame("TPE2", "Band")
                 .Build())
        .Audio(4)
        .WriteTo(dir.File("a.mp3"));
    const FileRow row = ReadRow(dir, "a.mp3");
    TagFields edited = row.Fields;
    edited.Title = "New";
    edited.Track.clear();
    const SaveResult saved = TagSaver().SaveSingle(dir.Path(), row, edited);
    ASSERT_TRUE(saved.Id3v2Saved);
    EXPECT_EQ(saved.Fields, edited);
    const TagFields read = ReadRow(dir, "a.mp3").Fields;
    EXPECT_EQ(read.Title, "New");
    EXPECT_EQ(read.Track, "");
    EXPECT_EQ(read.AlbumArtist, "Band");
}

TEST(MoreFields, Id3v1TrackByteWrittenOnlyWhenItFits)
{
    const std::string comment30(30, 'c');
    struct Case
    {
        const char* What;
        Id3v1Fields Before;
        const char* Track;
        int Byte125; // expected; -1: as before
        int Byte126;
    };
    const Case cases[] = {
        {"1.0 block becomes 1.1, comment cut to 28", MakeId3v1("T", "", "", "", comment30), "7/9",
         0, 7},
        {"1.1 block gets the new number", MakeId3v1("T", "", "", "", "c", 255, 9), "255", 0, 255},
        {"above 255: as before", MakeId3v1("T", "", "", "", "c", 255, 9), "256", -1, -1},
        {"above 255 on 1.0: as before", MakeId3v1("T", "", "", "", comment30), "1000/1200", -1, -1},
        {"removed: as before", MakeId3v1("T", "", "", "", "c", 255, 9), "", -1, -1},
    };
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    for (const Case& c : cases) {
        Mp3Builder()
            .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "T").Build())
            .Audio(4)
            .Id3v1(c.Before)
            .WriteTo(path);
        const Bytes before = LastBlock(path);
        ASSERT_EQ(Save(dir, Numbers(c.Track), fieldmask::kTrack), status::kOk) << c.What;
        Bytes expected = before;
        if (c.Byte125 >= 0) {
            expected[125] = static_cast<std::uint8_t>(c.Byte125);
            expected[126] = static_cast<std::uint8_t>(c.Byte126);
        }
        EXPECT_EQ(Hex(LastBlock(path), 128), Hex(expected, 128)) << c.What;
        EXPECT_EQ(ReadRow(dir, "a.mp3").Fields.Track, c.Track) << c.What << ": from ID3v2";
    }

    // The comment and the track in one save: the comment keeps 28 bytes.
    Mp3Builder().Audio(4).Id3v1(MakeId3v1("T", "", "", "", comment30)).WriteTo(path);
    TagFields both = Numbers("12");
    both.Comment = comment30;
    ASSERT_EQ(Save(dir, both, fieldmask::kTrack | fieldmask::kComment), status::kOk);
    const Bytes block = LastBlock(path);
    EXPECT_EQ(Id3v1Field(block, 97, 30), std::string(28, 'c'));
    EXPECT_EQ(block[126], 12);

    // None is ever created.
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "T").Build())
        .Audio(4)
        .WriteTo(path);
    ASSERT_EQ(Save(dir, Numbers("5"), fieldmask::kTrack), status::kOk);
    EXPECT_FALSE(HasId3v1Block(path));
}

TEST(MoreFields, NumbersOutsideTheFormAreRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const auto write = [&] {
        Mp3Builder()
            .Tag(Id3v2Builder().Version(3).TextFrame("TRCK", "1").TextFrame("TPOS", "1").Build())
            .Audio(4)
            .Id3v1(MakeId3v1("T", "", "", "", "c", 255, 1))
            .WriteTo(path);
    };
    for (const TagFieldInfo& field : kAllTagFields) {
        if (!IsNumberPairField(field)) {
            continue;
        }
        for (const char* bad : {"0", "10000", "3/", "/3", "a", "3/x", " 3", "3/0", "1/2/3", "-1"}) {
            write();
            const Bytes before = ReadFile(path);
            TagFields values;
            values.*field.Member = bad;
            EXPECT_FALSE(IsValidFieldValue(field, bad)) << field.Option << " '" << bad << "'";
            EXPECT_EQ(Save(dir, values, field.Mask).Error(), status::kInvalidValue)
                << field.Option << " '" << bad << "'";
            EXPECT_EQ(ReadFile(path), before) << field.Option << " '" << bad << "'";
        }
        for (const char* good : {"3", "03", "3/12", "9999/9999", "00009999"}) {
            write();
            TagFields values;
            values.*field.Member = good;
            EXPECT_TRUE(IsValidFieldValue(field, good)) << field.Option << " '" << good << "'";
            EXPECT_EQ(Save(dir, values, field.Mask), status::kOk) << field.Option << " " << good;
            EXPECT_EQ(ReadRow(dir, "a.mp3").Fields.*field.Member, good) << field.Option;
        }
    }
}

} // namespace
} // namespace varnello
