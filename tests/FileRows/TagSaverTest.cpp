#include "TagSaver.h"

#include "FileCheck.h"
#include "FolderReader.h"
#include "Mp3Builder.h"
#include "Platform.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <type_traits>

namespace varnello {
namespace {

// Tag kinds and field masks mix neither with bare numbers nor with each other.
static_assert(!std::is_convertible_v<TagKind, int>);
static_assert(!std::is_convertible_v<unsigned, FieldMask>);
static_assert(!std::is_constructible_v<FieldMask, TagKind>);

using namespace testsupport;
namespace fs = std::filesystem;

const Id3v1Fields kV1 = MakeId3v1("V1 Title", "V1 Artist", "V1 Album", "1999", "V1 Comment", 17, 9);

Bytes PictureData(std::size_t size)
{
    Bytes data{0x00};
    Append(data, ToBytes("image/jpeg"));
    data.push_back(0x00);
    data.push_back(0x03); // front cover
    data.push_back(0x00); // empty description
    for (std::size_t i = 0; data.size() < size; ++i) {
        data.push_back(static_cast<std::uint8_t>((i * 131 + 7) ^ (i >> 8)));
    }
    return data;
}

// The APIC data a version 2.2 PIC frame of a front cover without a
// description converts to.
Bytes FrontCover(std::string_view mime, const Bytes& image)
{
    Bytes apic{0x00};
    Append(apic, ToBytes(mime));
    apic.insert(apic.end(), {0x00, 0x03, 0x00});
    Append(apic, image);
    return apic;
}

std::string Describe(const TagFields& f)
{
    return "[" + f.Title + "|" + f.Artist + "|" + f.Album + "|" + f.Year + "|" + f.Genre + "|" +
           f.Comment + "]";
}

std::string Describe(const LoadedId3v2& t)
{
    return "status " + std::to_string(t.Status.Value()) + " v" + std::to_string(t.Major) + " [" +
           t.Title + "|" + t.Artist + "|" + t.Album + "|" + t.Year + "|" + t.Genre + "|" +
           t.Comment + "]";
}

FileRow ReadRow(const TempDir& dir, const std::string& name)
{
    return FolderReader().ReadRow(dir.Path(), name, 0);
}

void MakeReadOnly(const std::string& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

TEST(TagSaver, SingleSaveKeepsPictureTrackAndOtherCommentsByteForByte)
{
    TempDir dir;
    const Bytes picture = PictureData(24 * 1024);
    const Bytes track = Latin1Text("7/12");
    const Bytes otherComment = Latin1Comment("eng", "iTunNORM", " 0000021C 00000229");
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "Old Title")
                 .Frame("TRCK", track)
                 .Frame("APIC", picture)
                 .Frame("COMM", otherComment)
                 .TextFrame("TPE1", "Artist")
                 .Padding(512)
                 .Build())
        .Audio(20)
        .WriteTo(dir.File("song.mp3"));
    const FileRow row = ReadRow(dir, "song.mp3");
    ASSERT_EQ(row.TagKind, tagkind::kId3v2);

    TagFields edited = row.Fields;
    edited.Title = "New Title";
    edited.Comment = "A comment";
    TagSaver saver;
    const SaveResult result = saver.SaveSingle(dir.Path(), row, edited);
    ASSERT_TRUE(result.Id3v2Saved)
        << std::hex << (result.Failures.empty() ? status::kOk : result.Failures[0].Status);
    EXPECT_EQ(result.TagKind, tagkind::kId3v2);
    EXPECT_EQ(result.Fields, edited);

    const Bytes file = ReadFile(dir.File("song.mp3"));
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(3, "APIC", picture))) << "picture frame changed";
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(3, "TRCK", track))) << "track frame changed";
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(3, "COMM", otherComment)))
        << "described comment changed";
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(3, "TPE1", Latin1Text("Artist"))));
    const LoadedId3v2 loaded = LoadId3v2(dir.File("song.mp3"));
    EXPECT_EQ(loaded.Major, 3);
    EXPECT_EQ(loaded.Title, "New Title") << Describe(loaded);
    EXPECT_EQ(loaded.Comment, "A comment") << Describe(loaded);
    EXPECT_EQ(loaded.FrameCount, 6u);
    // The audio follows the tag unchanged.
    const Bytes audio = MpegFrames(20);
    EXPECT_TRUE(std::equal(audio.rbegin(), audio.rend(), file.rbegin()));
}

TEST(TagSaver, VersionFourTagStaysVersionFour)
{
    TempDir dir;
    const Bytes date = Utf8Text("2004-05-06");
    const Bytes picture = PictureData(3000);
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(4)
                 .Frame("TIT2", Utf8Text("Vieux titre"))
                 .Frame("TDRC", date)
                 .Frame("APIC", picture)
                 .Build())
        .Audio(8)
        .WriteTo(dir.File("v4.mp3"));
    const FileRow row = ReadRow(dir, "v4.mp3");
    ASSERT_EQ(row.Fields.Year, "2004-05-06");

    TagFields edited = row.Fields;
    edited.Title = "日本語のタイトル";
    edited.Artist = "Zoë Ångström";
    TagSaver saver;
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), row, edited).Id3v2Saved);

    const Bytes file = ReadFile(dir.File("v4.mp3"));
    ASSERT_GE(file.size(), 10u);
    EXPECT_EQ(file[3], 4) << Hex(Bytes(file.begin(), file.begin() + 10));
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(4, "TDRC", date))) << "the year was not edited";
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(4, "APIC", picture)));
    EXPECT_FALSE(ContainsBytes(file, ToBytes("TYER")));
    const LoadedId3v2 loaded = LoadId3v2(dir.File("v4.mp3"));
    EXPECT_EQ(loaded.Major, 4);
    EXPECT_EQ(loaded.Title, "日本語のタイトル") << Describe(loaded);
    EXPECT_EQ(loaded.Artist, "Zoë Ångström") << Describe(loaded);

    // An edited year goes into TDRC of the version 4 tag.
    const FileRow again = ReadRow(dir, "v4.mp3");
    edited = again.Fields;
    edited.Year = "2010";
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), again, edited).Id3v2Saved);
    const Bytes saved = ReadFile(dir.File("v4.mp3"));
    EXPECT_EQ(saved[3], 4);
    EXPECT_FALSE(ContainsBytes(saved, ToBytes("TYER")));
    EXPECT_EQ(LoadId3v2(dir.File("v4.mp3")).Year, "2010");
}

TEST(TagSaver, SingleSaveLeavesFieldsEqualToTheirCellsAsTheyAre)
{
    TempDir dir;
    // Stored with blanks and in UTF-16: the table shows them trimmed, and
    // writing the cell back would change the frames.
    const Bytes artist = Utf16BomText(u"  Artist  ");
    const Bytes album = Latin1Text("Album \n");
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "Title")
                 .Frame("TPE1", artist)
                 .Frame("TALB", album)
                 .Build())
        .Audio(4)
        .WriteTo(dir.File("a.mp3"));
    const FileRow row = ReadRow(dir, "a.mp3");
    ASSERT_EQ(row.Fields.Artist, "Artist");

    TagFields edited = row.Fields;
    edited.Title = "Other";
    TagSaver saver;
    ASSERT_TRUE(saver.SaveContent(dir.Path(), row, edited).Id3v2Saved);
    const Bytes file = ReadFile(dir.File("a.mp3"));
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(3, "TPE1", artist)));
    EXPECT_TRUE(ContainsBytes(file, FrameBytes(3, "TALB", album)));
    EXPECT_EQ(LoadId3v2(dir.File("a.mp3")).Title, "Other");
}

TEST(TagSaver, MultiSaveWithOnlyTheArtistTicked)
{
    TempDir dir;
    const Bytes album = Utf16BomText(u"Album One ");
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "One")
                 .Frame("TALB", album)
                 .TextFrame("TYER", "2001")
                 .TextFrame("TCON", "Jazz")
                 .Frame("COMM", Latin1Comment("eng", "", "first"))
                 .TextFrame("TPE1", "Old")
                 .Build())
        .Audio(4)
        .WriteTo(dir.File("1-v2.mp3"));
    Mp3Builder().Audio(4).Id3v1(kV1).WriteTo(dir.File("2-v1.mp3"));
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "Three").TextFrame("TPE1", "Old").Build())
        .Audio(4)
        .Id3v1(MakeId3v1("Three", "Old", "", "", "", 8))
        .WriteTo(dir.File("3-both.mp3"));
    Mp3Builder().Audio(4).WriteTo(dir.File("4-none.mp3"));

    std::vector<FileRow> rows = FolderReader().ReadFolder(dir.Path());
    ASSERT_EQ(rows.size(), 4u);
    const std::vector<FileRow> before = rows;
    std::vector<FileRow*> pointers;
    for (FileRow& row : rows) {
        pointers.push_back(&row);
    }
    TagFields edited{"T", "New Artist", "L", "Y", "G", "C"};
    TagSaver saver;
    FolderFlushes flushes;
    saver.DeferFolderFlushes(&flushes);
    EXPECT_TRUE(saver.SaveMultiple(dir.Path(), pointers, edited, fieldmask::kArtist).empty());
    // The files that got a new tag were replaced; their folder is flushed
    // once, when the batch ends. (Windows replaces no open file: the tags
    // grew inside the files.)
    EXPECT_EQ(flushes.Pending(), platform::CanReplaceOpenFile() ? 1u : 0u);

    for (std::size_t i = 0; i < rows.size(); ++i) {
        TagFields expected = before[i].Fields;
        expected.Artist = "New Artist";
        EXPECT_EQ(rows[i].Fields, expected) << rows[i].FileName << Describe(rows[i].Fields);
        EXPECT_EQ(rows[i].TagKind, before[i].TagKind) << "multi-file mode keeps the TagKind cell";
        const LoadedId3v2 loaded = LoadId3v2(dir.File(rows[i].FileName));
        EXPECT_EQ(loaded.Status.Error(), status::kOk) << rows[i].FileName;
        EXPECT_EQ(loaded.Major, 3);
        const TagFields fromFile{loaded.Title, loaded.Artist, loaded.Album,
                                 loaded.Year,  loaded.Genre,  loaded.Comment};
        EXPECT_EQ(TrimControl(fromFile.Album), expected.Album) << rows[i].FileName;
        EXPECT_EQ(fromFile.Artist, "New Artist") << rows[i].FileName;
        EXPECT_EQ(fromFile.Title, expected.Title) << rows[i].FileName;
        EXPECT_EQ(fromFile.Comment, expected.Comment) << rows[i].FileName;
    }
    // The unticked album of the file with a tag keeps its UTF-16 bytes.
    EXPECT_TRUE(ContainsBytes(ReadFile(dir.File("1-v2.mp3")), FrameBytes(3, "TALB", album)));
    // The ID3v1-only file got its ID3v1 values in a new ID3v2 tag.
    const LoadedId3v2 moved = LoadId3v2(dir.File("2-v1.mp3"));
    EXPECT_EQ(moved.Genre, "Rock");
    EXPECT_EQ(moved.Year, "1999");

    // ID3v1 tags: rewritten where present, never created.
    const Bytes v1 = LastBlock(dir.File("2-v1.mp3"));
    EXPECT_EQ(Id3v1Field(v1, 33, 30), "New Artist");
    EXPECT_EQ(Id3v1Field(v1, 3, 30), "V1 Title");
    EXPECT_EQ(v1[126], 9) << "track byte";
    EXPECT_EQ(v1[127], 17);
    const Bytes both = LastBlock(dir.File("3-both.mp3"));
    EXPECT_EQ(Id3v1Field(both, 33, 30), "New Artist");
    EXPECT_EQ(both[127], 8) << "an unticked genre keeps its byte";
    EXPECT_FALSE(HasId3v1Block(dir.File("1-v2.mp3")));
    EXPECT_FALSE(HasId3v1Block(dir.File("4-none.mp3")));
}

TEST(TagSaver, GenreTypedWithBlanksIsLookedUpTrimmedAndStoredAsTyped)
{
    TempDir dir;
    for (const char* name : {"dialog.mp3", "content.mp3", "empty.mp3"}) {
        Mp3Builder().Audio(4).Id3v1(kV1).WriteTo(dir.File(name));
    }
    TagSaver saver;

    const FileRow dialogRow = ReadRow(dir, "dialog.mp3");
    TagFields edited = dialogRow.Fields;
    edited.Genre = " rock ";
    const SaveResult dialog = saver.SaveSingle(dir.Path(), dialogRow, edited);
    EXPECT_TRUE(dialog.Id3v2Saved);
    EXPECT_EQ(dialog.TagKind, tagkind::kBoth);
    EXPECT_EQ(dialog.Fields.Genre, "rock") << "the dialog shows the trimmed text";
    EXPECT_EQ(LoadId3v2(dir.File("dialog.mp3")).Genre, " rock ");
    EXPECT_EQ(LastBlock(dir.File("dialog.mp3"))[127], 17);

    const FileRow contentRow = ReadRow(dir, "content.mp3");
    edited = contentRow.Fields;
    edited.Genre = " rock ";
    const SaveResult content = saver.SaveContent(dir.Path(), contentRow, edited);
    EXPECT_TRUE(content.Id3v2Saved);
    EXPECT_EQ(content.TagKind, tagkind::kId3v1) << "the properties view keeps the TagKind cell";
    EXPECT_EQ(content.Fields.Genre, " rock ");
    EXPECT_EQ(LoadId3v2(dir.File("content.mp3")).Genre, " rock ");
    EXPECT_EQ(LastBlock(dir.File("content.mp3"))[127], 17);

    const FileRow emptyRow = ReadRow(dir, "empty.mp3");
    edited = emptyRow.Fields;
    edited.Genre = "";
    EXPECT_TRUE(saver.SaveSingle(dir.Path(), emptyRow, edited).Id3v2Saved);
    EXPECT_EQ(LastBlock(dir.File("empty.mp3"))[127], 255);
}

TEST(TagSaver, TwoLineCommentKeepsItsLineBreakInBothTags)
{
    TempDir dir;
    Mp3Builder().Audio(4).Id3v1(kV1).WriteTo(dir.File("c.mp3"));
    const FileRow row = ReadRow(dir, "c.mp3");
    TagFields edited = row.Fields;
    edited.Comment = "first line\nsecond line, longer";
    TagSaver saver;
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), row, edited).Id3v2Saved);
    EXPECT_EQ(LoadId3v2(dir.File("c.mp3")).Comment, "first line\nsecond line, longer");
    const Bytes v1 = LastBlock(dir.File("c.mp3"));
    EXPECT_EQ(Id3v1Field(v1, 97, 28), std::string("first line\nsecond line, longer").substr(0, 28))
        << Hex(v1, 128);
    EXPECT_EQ(v1[126], 9) << "track byte";
}

TEST(TagSaver, ReadOnlyFileIsRefusedWholeAndKeepsItsMode)
{
    TempDir dir;
    const Bytes tag = Id3v2Builder().Version(3).TextFrame("TIT2", "Old").Padding(100).Build();
    Mp3Builder().Tag(tag).Audio(4).Id3v1(kV1).WriteTo(dir.File("both.mp3"));
    Mp3Builder().Audio(4).Id3v1(kV1).WriteTo(dir.File("v1.mp3"));
    MakeReadOnly(dir.File("both.mp3"));
    MakeReadOnly(dir.File("v1.mp3"));
    TagSaver saver;

    for (const char* name : {"both.mp3", "v1.mp3"}) {
        const FileRow row = ReadRow(dir, name);
        const Bytes before = ReadFile(dir.File(name));
        const fs::perms mode = fs::status(dir.File(name)).permissions();
        TagFields edited = row.Fields;
        edited.Title = "New Title";
        const SaveResult result = saver.SaveSingle(dir.Path(), row, edited);
        EXPECT_FALSE(result.Id3v2Saved) << name;
        ASSERT_EQ(result.Failures.size(), 1u) << name;
        EXPECT_EQ(result.Failures[0].FileName, name);
        EXPECT_EQ(result.Failures[0].Status.Error(), status::kReadOnly)
            << std::hex << result.Failures[0].Status;
        EXPECT_EQ(result.TagKind, row.TagKind) << name << ": a failed save keeps the TagKind";
        EXPECT_EQ(result.Fields, row.Fields) << name << ": a failed save keeps the cells";
        EXPECT_EQ(ReadFile(dir.File(name)), before) << name << ": neither tag may change";
        EXPECT_EQ(fs::status(dir.File(name)).permissions(), mode) << name;
    }
}

TEST(TagSaver, MultiSaveListsFailuresLastProcessedFirstAndKeepsTheirCells)
{
    TempDir dir;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        Mp3Builder()
            .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", name).Build())
            .Audio(4)
            .Id3v1(MakeId3v1(name))
            .WriteTo(dir.File(name));
    }
    MakeReadOnly(dir.File("a.mp3"));
    MakeReadOnly(dir.File("c.mp3"));
    std::vector<FileRow> rows = FolderReader().ReadFolder(dir.Path());
    ASSERT_EQ(rows.size(), 3u);
    std::vector<FileRow*> pointers{&rows[0], &rows[1], &rows[2]};
    TagSaver saver;
    const auto failures = saver.SaveMultiple(dir.Path(), pointers, {"", "", "", "", "", "Shared"},
                                             fieldmask::kComment);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].FileName, "c.mp3");
    EXPECT_EQ(failures[1].FileName, "a.mp3");
    EXPECT_EQ(failures[0].Status, status::kReadOnly);
    EXPECT_EQ(rows[0].Fields.Comment, "");
    EXPECT_EQ(rows[1].Fields.Comment, "Shared");
    EXPECT_EQ(rows[2].Fields.Comment, "");
    // ID3v1 follows the cells as they stand: old values where the save failed.
    EXPECT_EQ(Id3v1Field(LastBlock(dir.File("a.mp3")), 97, 28), "");
    EXPECT_EQ(Id3v1Field(LastBlock(dir.File("b.mp3")), 97, 28), "Shared");
    EXPECT_EQ(LoadId3v2(dir.File("b.mp3")).Comment, "Shared");
}

TEST(TagSaver, VanishedFileIsReportedAndNotCreated)
{
    TempDir dir;
    Mp3Builder().Audio(4).Id3v1(kV1).WriteTo(dir.File("gone.mp3"));
    FileRow row = ReadRow(dir, "gone.mp3");
    fs::remove(dir.File("gone.mp3"));
    TagFields edited = row.Fields;
    edited.Title = "x";
    TagSaver saver;
    const SaveResult single = saver.SaveSingle(dir.Path(), row, edited);
    ASSERT_EQ(single.Failures.size(), 1u);
    EXPECT_EQ(single.Failures[0].Status.Error(), status::kCannotOpen);
    EXPECT_EQ(single.TagKind, tagkind::kId3v1);
    std::vector<FileRow*> pointers{&row};
    const auto failures = saver.SaveMultiple(dir.Path(), pointers, edited, fieldmask::kAll);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].Status.Error(), status::kCannotOpen);
    EXPECT_FALSE(fs::exists(dir.File("gone.mp3")));
}

// A tag whose third frame runs past the tag's end: the title and the
// picture before it can be read, the rest cannot.
Bytes TagWithAnOverrunningFrame(const Bytes& picture)
{
    return Id3v2Builder()
        .Version(3)
        .TextFrame("TIT2", "Broken")
        .Frame("APIC", picture)
        .Frame("TALB", Latin1Text("x"), 0, 0, {}, 5000)
        .Build();
}

TEST(TagSaver, UnreadableTagIsNeverReplacedUnlessAsked)
{
    TempDir dir;
    const Bytes picture = PictureData(3000);
    Mp3Builder()
        .Tag(TagWithAnOverrunningFrame(picture))
        .Audio(4)
        .Id3v1(kV1)
        .WriteTo(dir.File("bad.mp3"));
    const Bytes before = ReadFile(dir.File("bad.mp3"));
    const FileRow row = ReadRow(dir, "bad.mp3");
    ASSERT_EQ(row.TagKind, tagkind::kId3v1);
    TagFields edited = row.Fields;
    edited.Album = "New Album";

    TagSaver saver;
    SaveResult result = saver.SaveSingle(dir.Path(), row, edited);
    EXPECT_FALSE(result.Id3v2Saved);
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_EQ(result.Failures[0].Status.Error(), status::kUnreadableTag);
    EXPECT_EQ(ReadFile(dir.File("bad.mp3")), before) << "refused: byte-identical, ID3v1 too";

    const UnreadableTag repair = TagSaver::InspectUnreadable(dir.File("bad.mp3"));
    EXPECT_TRUE(repair.Replaceable);
    EXPECT_EQ(repair.ReadableFrames, (std::vector<std::string>{"TIT2", "APIC"}));
    EXPECT_GT(repair.UnreadableBytes, 0u);

    // Asked for, the repair keeps every frame that could be read.
    saver.SetReplaceUnreadable(true);
    result = saver.SaveSingle(dir.Path(), row, edited);
    ASSERT_TRUE(result.Id3v2Saved)
        << std::hex << (result.Failures.empty() ? status::kOk : result.Failures[0].Status);
    const LoadedId3v2 loaded = LoadId3v2(dir.File("bad.mp3"));
    EXPECT_EQ(loaded.Title, "Broken") << Describe(loaded);
    EXPECT_EQ(loaded.Album, "New Album");
    const Bytes after = ReadFile(dir.File("bad.mp3"));
    EXPECT_TRUE(ContainsBytes(after, FrameBytes(3, "APIC", picture)));
    EXPECT_TRUE(ContainsBytes(after, MpegFrames(4)));
    EXPECT_EQ(Id3v1Field(LastBlock(dir.File("bad.mp3")), 63, 30), "New Album");
}

TEST(TagSaver, SuccessfulSingleSaveSetsTheId3v2Bit)
{
    TempDir dir;
    Mp3Builder().Audio(4).WriteTo(dir.File("none.mp3"));
    const FileRow row = ReadRow(dir, "none.mp3");
    ASSERT_EQ(row.TagKind, tagkind::kNone);
    TagFields edited;
    edited.Title = "Title";
    TagSaver saver;
    const SaveResult result = saver.SaveSingle(dir.Path(), row, edited);
    EXPECT_TRUE(result.Id3v2Saved);
    EXPECT_EQ(result.TagKind, tagkind::kId3v2);
    EXPECT_FALSE(HasId3v1Block(dir.File("none.mp3"))) << "no ID3v1 tag is created";
    EXPECT_EQ(ReadRow(dir, "none.mp3").Fields, edited);

    // The properties view keeps the TagKind cell even so.
    Mp3Builder().Audio(4).WriteTo(dir.File("other.mp3"));
    const FileRow other = ReadRow(dir, "other.mp3");
    EXPECT_EQ(saver.SaveContent(dir.Path(), other, edited).TagKind, tagkind::kNone);
}

TEST(TagSaver, RowClaimingAnId3v1TagThatIsGoneCreatesNone)
{
    TempDir dir;
    Mp3Builder().Audio(4).WriteTo(dir.File("a.mp3"));
    FileRow row = ReadRow(dir, "a.mp3");
    row.TagKind = tagkind::kId3v1; // stale: the tag was removed after listing
    const Bytes lastBefore = LastBlock(dir.File("a.mp3"));
    TagFields edited;
    edited.Title = "Title";
    TagSaver saver;
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), row, edited).Id3v2Saved);
    EXPECT_EQ(LastBlock(dir.File("a.mp3")), lastBefore) << "the audio's last 128 bytes";
}

// A version 2.2 tag is listed with its fields and saved as a version 3 tag
// that keeps its picture; one with a frame that has no version 3 form is
// left byte for byte as it was, and the failure names the reason.
TEST(TagSaver, VersionTwoPointTwoTagIsSavedAsVersionThreeOrLeftAsItWas)
{
    TempDir dir;
    const Bytes image{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10};
    const auto v22 = [&](bool withCrm) {
        Id3v2Builder tag;
        tag.Version(2)
            .FrameV22("TT2", Latin1Text("Old Title"))
            .FrameV22("TP1", Latin1Text("Artist"))
            .FrameV22("PIC", PicV22("JPG", 3, "", image));
        if (withCrm) {
            tag.FrameV22("CRM", ToBytes(std::string_view("owner\0xyz", 9)));
        }
        return tag.Build();
    };
    Mp3Builder().Tag(v22(false)).Audio(4).WriteTo(dir.File("plain.mp3"));
    Mp3Builder().Tag(v22(true)).Audio(4).WriteTo(dir.File("crm.mp3"));

    const FileRow plain = ReadRow(dir, "plain.mp3");
    ASSERT_EQ(plain.TagKind, tagkind::kId3v2);
    EXPECT_EQ(plain.Fields.Title, "Old Title");
    TagFields edited = plain.Fields;
    edited.Title = "New Title";
    TagSaver saver;
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), plain, edited).Id3v2Saved);
    const LoadedId3v2 loaded = LoadId3v2(dir.File("plain.mp3"));
    EXPECT_EQ(loaded.Major, 3);
    EXPECT_EQ(loaded.Title, "New Title") << Describe(loaded);
    EXPECT_EQ(loaded.Artist, "Artist") << Describe(loaded);
    const Bytes apic = FrontCover("image/jpeg", image);
    EXPECT_TRUE(ContainsBytes(ReadFile(dir.File("plain.mp3")), FrameBytes(3, "APIC", apic)));

    const Bytes before = ReadFile(dir.File("crm.mp3"));
    const FileRow crm = ReadRow(dir, "crm.mp3");
    const SaveResult refused = saver.SaveSingle(dir.Path(), crm, edited);
    EXPECT_FALSE(refused.Id3v2Saved);
    ASSERT_EQ(refused.Failures.size(), 1u);
    EXPECT_EQ(refused.Failures[0].Status, status::kUnconvertibleFrame);
    EXPECT_EQ(ReadFile(dir.File("crm.mp3")), before);

    // Asked for, the repair drops only the frame that has no version 3 form.
    const UnreadableTag repair = TagSaver::InspectUnreadable(dir.File("crm.mp3"));
    EXPECT_TRUE(repair.Replaceable);
    EXPECT_EQ(repair.LostFrames, std::vector<std::string>{"CRM"});
    saver.SetReplaceUnreadable(true);
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), crm, edited).Id3v2Saved);
    const LoadedId3v2 repaired = LoadId3v2(dir.File("crm.mp3"));
    EXPECT_EQ(repaired.Title, "New Title") << Describe(repaired);
    EXPECT_EQ(repaired.Artist, "Artist") << Describe(repaired);
    EXPECT_TRUE(ContainsBytes(ReadFile(dir.File("crm.mp3")), FrameBytes(3, "APIC", apic)));
}

// A file whose ID3v1 tag holds more than its ID3v2 tag shows: the ID3v2 tag
// has no year and no comment, and the genre as a reference.
void WriteRicherId3v1(const std::string& path)
{
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "T").TextFrame("TCON", "(17)").Build())
        .Audio(4)
        .Id3v1(MakeId3v1("T", "A", "L", "1999", "Hi", 17, 5))
        .WriteTo(path);
}

TEST(TagSaver, OnlyTheWrittenFieldsChangeInId3v1)
{
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    WriteRicherId3v1(path);
    const Bytes before = LastBlock(path);
    FileRow row = ReadRow(dir, "a.mp3");
    TagFields edited = row.Fields;
    edited.Title = "New";
    TagSaver saver;
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), row, edited).Id3v2Saved);
    Bytes expected = before;
    std::fill(expected.begin() + 3, expected.begin() + 33, 0);
    std::copy_n("New", 3, expected.begin() + 3);
    EXPECT_EQ(Hex(LastBlock(path), 128), Hex(expected, 128)) << "year, comment, genre, track kept";

    // A multi-file save with only the album and the year ticked.
    WriteRicherId3v1(path);
    row = ReadRow(dir, "a.mp3");
    std::vector<FileRow*> rows{&row};
    EXPECT_TRUE(saver
                    .SaveMultiple(dir.Path(), rows, {"", "", "Album", "2000", "", ""},
                                  fieldmask::kAlbum | fieldmask::kYear)
                    .empty());
    const Bytes v1 = LastBlock(path);
    EXPECT_EQ(Id3v1Field(v1, 63, 30), "Album");
    EXPECT_EQ(Id3v1Field(v1, 93, 4), "2000");
    EXPECT_EQ(Id3v1Field(v1, 97, 28), "Hi");
    EXPECT_EQ(v1[126], 5);
    EXPECT_EQ(v1[127], 17);
}

TEST(TagSaver, GenreReferencesMapToTheirId3v1Number)
{
    const std::pair<const char*, int> cases[] = {{"(17)", 17}, {"(17)Rock", 17}, {"17", 17},
                                                 {"Rock", 17}, {"(9)", 9},       {"Nothing", 255}};
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    TagSaver saver;
    for (const auto& [genre, number] : cases) {
        Mp3Builder().Audio(4).Id3v1(MakeId3v1("T", "", "", "", "", 0)).WriteTo(path);
        FileRow row = ReadRow(dir, "a.mp3");
        std::vector<FileRow*> rows{&row};
        TagFields edited;
        edited.Genre = genre;
        EXPECT_TRUE(saver.SaveMultiple(dir.Path(), rows, edited, fieldmask::kGenre).empty());
        EXPECT_EQ(LastBlock(path)[127], number) << genre;
    }
}

TEST(TagSaver, ValuesATagCannotKeepAreRefusedBeforeAnythingIsWritten)
{
    struct Case
    {
        FieldMask Mask;
        TagFields Values;
        bool Stored;
    };
    const Case cases[] = {
        {fieldmask::kComment, {"", "", "", "", "", "a\tb"}, false},
        {fieldmask::kTitle, {"one\ntwo", "", "", "", "", ""}, false},
        {fieldmask::kArtist, {"", "\x1B[31m", "", "", "", ""}, false},
        {fieldmask::kAlbum, {"", "", "bad \xFF byte", "", "", ""}, false},
        {fieldmask::kComment, {"", "", "", "", "", "line\r\nbreak"}, true},
        {fieldmask::kTitle, {"caf\xC3\xA9", "", "", "", "", ""}, true},
    };
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    TagSaver saver;
    for (const Case& c : cases) {
        Mp3Builder()
            .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "T").Build())
            .Audio(4)
            .Id3v1(kV1)
            .WriteTo(path);
        const Bytes before = ReadFile(path);
        FileRow row = ReadRow(dir, "a.mp3");
        std::vector<FileRow*> rows{&row};
        const auto failures = saver.SaveMultiple(dir.Path(), rows, c.Values, c.Mask);
        const std::string shown = Describe(c.Values);
        if (c.Stored) {
            EXPECT_TRUE(failures.empty()) << shown;
            continue;
        }
        ASSERT_EQ(failures.size(), 1u) << shown;
        EXPECT_EQ(failures[0].Status.Error(), status::kInvalidValue) << shown;
        EXPECT_EQ(ReadFile(path), before) << shown;
    }
}

TEST(TagSaver, RemovingTheLastFieldRemovesTheTag)
{
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "Only").Padding(300).Build())
        .Audio(4)
        .Id3v1(MakeId3v1("Only", "A"))
        .WriteTo(path);
    FileRow row = ReadRow(dir, "a.mp3");
    std::vector<FileRow*> rows{&row};
    TagSaver saver;
    ASSERT_TRUE(saver.SaveMultiple(dir.Path(), rows, {}, fieldmask::kTitle).empty());
    Bytes expected = MpegFrames(4);
    Append(expected, Id3v1Block(MakeId3v1("", "A")));
    EXPECT_EQ(ReadFile(path), expected)
        << "no ID3v2 tag is left; the ID3v1 title goes in the same step";
    EXPECT_EQ(LoadId3v2(path).Status.Error(), status::kNoTag);
}

// A version 2.2 tag that breaks off after some frames is replaced, when the
// user asks for it, by a version 3 tag holding those frames converted.
TEST(TagSaver, ReplacedVersionTwoPointTwoTagKeepsTheFramesReadConverted)
{
    TempDir dir;
    const Bytes image{0xFF, 0xD8, 0xFF, 0xE0};
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(2)
                 .FrameV22("TP1", Latin1Text("Artist"))
                 .FrameV22("PIC", PicV22("PNG", 3, "", image))
                 .FrameV22("T 2", Latin1Text("broken"))
                 .Build())
        .Audio(4)
        .WriteTo(dir.File("broken.mp3"));
    const Bytes before = ReadFile(dir.File("broken.mp3"));
    const FileRow row = ReadRow(dir, "broken.mp3");
    TagFields edited = row.Fields;
    edited.Title = "New Title";
    TagSaver saver;
    EXPECT_FALSE(saver.SaveSingle(dir.Path(), row, edited).Id3v2Saved);
    EXPECT_EQ(ReadFile(dir.File("broken.mp3")), before);

    saver.SetReplaceUnreadable(true);
    ASSERT_TRUE(saver.SaveSingle(dir.Path(), row, edited).Id3v2Saved);
    const LoadedId3v2 loaded = LoadId3v2(dir.File("broken.mp3"));
    EXPECT_EQ(loaded.Major, 3);
    EXPECT_EQ(loaded.Title, "New Title") << Describe(loaded);
    EXPECT_EQ(loaded.Artist, "Artist") << Describe(loaded);
    const Bytes apic = FrontCover("image/png", image);
    EXPECT_TRUE(ContainsBytes(ReadFile(dir.File("broken.mp3")), FrameBytes(3, "APIC", apic)));
}

} // namespace
} // namespace varnello
