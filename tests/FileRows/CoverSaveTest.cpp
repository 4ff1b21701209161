// Cover edits through the module's saves: the front cover set, replaced and
// removed beside other pictures and frames, every other frame's bytes, the
// audio and the ID3v1 block kept; refusals leave the file as it was.

#include "Cover.h"
#include "FileCheck.h"
#include "FolderReader.h"
#include "TagSaver.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace varnello {
namespace {

using namespace testsupport;

using Frames = std::vector<std::pair<std::string, Bytes>>;

constexpr std::size_t kAudioFrames = 6;
const Id3v1Fields kV1 = MakeId3v1("V1 Title", "V1 Artist", "V1 Album", "2001", "V1 Comment", 17);

// Every frame of the file's ID3v2 tag, loaded again from disk.
Frames LoadFrames(const std::string& path)
{
    Tid3v2tag tag;
    EXPECT_TRUE(status::IsSuccess(tag.LoadFromFile(path, 0))) << path;
    Frames frames;
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        frames.emplace_back(tag.Frames.ID(i), tag.Frames.Record(i).Data);
    }
    return frames;
}

std::string Describe(const Frames& frames)
{
    std::string text;
    for (const auto& [id, data] : frames) {
        text += id + " " + Hex(data, 24) + "\n";
    }
    return text;
}

// The audio and the ID3v1 block the files are built with, at the file's end.
void ExpectAudioAndId3v1Kept(const std::string& path)
{
    const Bytes file = ReadFile(path);
    Bytes tail = MpegFrames(kAudioFrames);
    Append(tail, Id3v1Block(kV1));
    ASSERT_GE(file.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), file.end() - static_cast<long>(tail.size())))
        << "audio or ID3v1 changed";
}

CoverEdit SetCover(const Bytes& image)
{
    return {CoverAction::kSet, image};
}

const CoverEdit kRemoveCover{CoverAction::kRemove, {}};

class CoverSave : public testing::Test
{
protected:
    std::string Path(const std::string& name = "song.mp3") const { return m_dir.File(name); }

    // Saves the row of the file with its own fields (nothing but the cover
    // changes), as the tag editor does.
    SaveResult SaveCover(const CoverEdit& cover, const std::string& name = "song.mp3")
    {
        const FileRow row = FolderReader().ReadRow(m_dir.Path(), name, 0);
        return TagSaver().SaveSingle(m_dir.Path(), row, row.Fields, cover);
    }

    void Write(const Bytes& tag, const std::string& name = "song.mp3") const
    {
        Mp3Builder builder;
        if (!tag.empty()) {
            builder.Tag(tag);
        }
        builder.Audio(kAudioFrames).Id3v1(kV1).WriteTo(Path(name));
    }

    TempDir m_dir;
};

// ---- Set, replaced and removed beside other pictures ----

enum class Change
{
    kReplace, // set over an existing front cover
    kAdd,     // set where there is no front cover
    kRemove,
    kRemoveFirstPicture // remove where the first picture stands in as the cover
};

using CoverCase = std::tuple<int, Change>;

std::string CoverCaseName(const testing::TestParamInfo<CoverCase>& info)
{
    const auto& [version, change] = info.param;
    const char* names[] = {"Replace", "Add", "Remove", "RemoveFirstPicture"};
    return "V" + std::to_string(version) + names[static_cast<int>(change)];
}

class CoverChanges : public CoverSave, public testing::WithParamInterface<CoverCase>
{
};

TEST_P(CoverChanges, OnlyTheCoverFrameChanges)
{
    const auto [version, change] = GetParam();
    const bool frontCover = change == Change::kReplace || change == Change::kRemove;
    Frames before{
        {"TIT2", Latin1Text("Title")},
        {"APIC", Apic("image/jpeg", 0, "other", TinyJpeg())},
        {"COMM", Latin1Comment("eng", "", "Comment")},
        {"APIC", Apic("image/png", 4, "back", TinyPng())},
        {"TRCK", Latin1Text("4/9")},
    };
    if (frontCover) {
        before.insert(before.begin() + 3, {"APIC", Apic("image/jpeg", 3, "front", TinyJpeg())});
    }
    Id3v2Builder builder;
    builder.Version(static_cast<std::uint8_t>(version));
    for (const auto& [id, data] : before) {
        builder.Frame(id, data);
    }
    Write(builder.Padding(256).Build());

    Frames expected = before;
    const Bytes png = TinyPng();
    SaveResult result;
    switch (change) {
    case Change::kReplace:
        result = SaveCover(SetCover(png));
        expected[3].second = Apic("image/png", 3, "front", png); // the description stays
        break;
    case Change::kAdd:
        result = SaveCover(SetCover(png));
        expected.emplace_back("APIC", Apic("image/png", 3, "", png));
        break;
    case Change::kRemove:
        result = SaveCover(kRemoveCover);
        expected.erase(expected.begin() + 3);
        break;
    case Change::kRemoveFirstPicture:
        result = SaveCover(kRemoveCover);
        expected.erase(expected.begin() + 1);
        break;
    }
    ASSERT_TRUE(result.Id3v2Saved) << result.Failures.at(0).Status;
    const Frames after = LoadFrames(Path());
    EXPECT_EQ(after, expected) << "loaded:\n"
                               << Describe(after) << "expected:\n"
                               << Describe(expected);
    EXPECT_EQ(ReadFile(Path())[3], version);
    ExpectAudioAndId3v1Kept(Path());

    const CoverRead cover = ReadCover(Path());
    EXPECT_EQ(cover.PictureCount, static_cast<std::size_t>(std::count_if(
                                      expected.begin(), expected.end(),
                                      [](const auto& frame) { return frame.first == "APIC"; })));
    if (change == Change::kReplace || change == Change::kAdd) {
        ASSERT_TRUE(cover.Cover.has_value());
        EXPECT_EQ(cover.Cover->Data, png);
        EXPECT_EQ(cover.Check.Format, ImageFormat::kPng);
        EXPECT_EQ(cover.Check.Width, 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(BothVersions, CoverChanges,
                         testing::Combine(testing::Values(3, 4),
                                          testing::Values(Change::kReplace, Change::kAdd,
                                                          Change::kRemove,
                                                          Change::kRemoveFirstPicture)),
                         CoverCaseName);

// ---- Files without a tag, refusals, several files ----

TEST_F(CoverSave, FileWithoutATagGetsAVersionThreeTagWithTheCoverAndTheFields)
{
    Write({});
    ASSERT_TRUE(SaveCover(SetCover(TinyJpeg())).Id3v2Saved);
    const LoadedId3v2 loaded = LoadId3v2(Path());
    EXPECT_EQ(loaded.Major, 3);
    EXPECT_EQ(loaded.Title, "V1 Title") << "the fields the row shows go in with the cover";
    const CoverRead cover = ReadCover(Path());
    ASSERT_TRUE(cover.Cover.has_value());
    EXPECT_EQ(cover.Cover->PictureType, picturetype::kFrontCover);
    EXPECT_EQ(cover.Cover->Mime, "image/jpeg");
    EXPECT_EQ(cover.Cover->Data, TinyJpeg());
    ExpectAudioAndId3v1Kept(Path());
}

TEST_F(CoverSave, PictureTheCheckRefusesLeavesTheFileByteIdentical)
{
    Write(Id3v2Builder().Version(3).TextFrame("TIT2", "Title").Build());
    const Bytes before = ReadFile(Path());
    const FileRow row = FolderReader().ReadRow(m_dir.Path(), "song.mp3", 0);
    TagFields edited = row.Fields;
    edited.Title = "New title";
    Bytes broken = TinyPng();
    broken.pop_back();
    for (const Bytes& image : {ToBytes("GIF89a not really"), broken, Bytes{}}) {
        const SaveResult result = TagSaver().SaveSingle(m_dir.Path(), row, edited, SetCover(image));
        EXPECT_FALSE(result.Id3v2Saved);
        ASSERT_EQ(result.Failures.size(), 1u);
        EXPECT_EQ(result.Failures[0].Status, status::kInvalidValue);
        EXPECT_EQ(ReadFile(Path()), before) << "changed by " << Hex(image);
    }
}

TEST_F(CoverSave, CoverAndFieldsGoInOneSave)
{
    Write(Id3v2Builder().Version(4).TextFrame("TIT2", "Old").Build());
    const FileRow row = FolderReader().ReadRow(m_dir.Path(), "song.mp3", 0);
    TagFields edited = row.Fields;
    edited.Title = "New";
    ASSERT_TRUE(TagSaver().SaveContent(m_dir.Path(), row, edited, SetCover(TinyPng())).Id3v2Saved);
    EXPECT_EQ(LoadId3v2(Path()).Title, "New");
    EXPECT_EQ(ReadCover(Path()).Cover->Data, TinyPng());
}

TEST_F(CoverSave, RemovingWhereThereIsNoPictureStillSaves)
{
    const Bytes tag = Id3v2Builder().Version(3).TextFrame("TIT2", "Title").Padding(64).Build();
    Write(tag);
    EXPECT_TRUE(SaveCover(kRemoveCover).Id3v2Saved);
    EXPECT_EQ(LoadFrames(Path()), (Frames{{"TIT2", Latin1Text("Title")}}));
    EXPECT_EQ(ReadCover(Path()).PictureCount, 0u);
}

TEST_F(CoverSave, MultiSaveSetsAndRemovesTheCoverOfEveryFile)
{
    const Bytes back = Apic("image/png", 4, "back", TinyPng());
    Write(Id3v2Builder().Version(3).TextFrame("TIT2", "One").Build(), "one.mp3");
    Write(Id3v2Builder().Version(4).Frame("APIC", back).Build(), "two.mp3");
    Write({}, "three.mp3");
    const FolderReader reader;
    std::vector<FileRow> rows;
    for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
        rows.push_back(reader.ReadRow(m_dir.Path(), name, 0));
    }
    std::vector<FileRow*> pointers{&rows[0], &rows[1], &rows[2]};
    TagSaver saver;
    EXPECT_TRUE(
        saver.SaveMultiple(m_dir.Path(), pointers, {}, FieldMask{}, SetCover(TinyJpeg())).empty());
    for (const FileRow& row : rows) {
        const CoverRead cover = ReadCover(Path(row.FileName));
        ASSERT_TRUE(cover.Cover.has_value()) << row.FileName;
        EXPECT_EQ(cover.Cover->Data, TinyJpeg()) << row.FileName;
        ExpectAudioAndId3v1Kept(Path(row.FileName));
    }
    EXPECT_EQ(ReadCover(Path("two.mp3")).PictureCount, 2u);

    EXPECT_TRUE(saver.SaveMultiple(m_dir.Path(), pointers, {}, FieldMask{}, kRemoveCover).empty());
    EXPECT_EQ(LoadFrames(Path("one.mp3")), (Frames{{"TIT2", Latin1Text("One")}}));
    EXPECT_EQ(LoadFrames(Path("two.mp3")), (Frames{{"APIC", back}}));
    EXPECT_EQ(ReadCover(Path("three.mp3")).PictureCount, 0u);
}

// ---- Reading covers and picture files ----

TEST_F(CoverSave, CoverTooLargeIsReportedWithItsSizeOnly)
{
    const Bytes large(kLargestPicture + 10, 0xAB);
    Write(Id3v2Builder().Version(3).Frame("APIC", Apic("image/jpeg", 3, "", large)).Build());
    const CoverRead cover = ReadCover(Path());
    EXPECT_TRUE(status::IsSuccess(cover.Status));
    ASSERT_TRUE(cover.Cover.has_value());
    EXPECT_EQ(cover.Cover->Size, large.size());
    EXPECT_TRUE(cover.Cover->Data.empty());
    EXPECT_EQ(cover.Check.Format, ImageFormat::kNone);
}

TEST_F(CoverSave, FileWithoutATagHasNoCover)
{
    Write({});
    const CoverRead cover = ReadCover(Path());
    EXPECT_EQ(cover.Status.Error(), status::kNoTag);
    EXPECT_FALSE(cover.Cover.has_value());
}

struct PictureFileCase
{
    std::string Name;
    std::optional<Bytes> Content; // none: a folder
    std::string Refusal;          // the start of the reason; empty when taken
    // Instead of Content: this many 0xFF bytes, made when the test runs, not
    // each time the test program starts.
    std::size_t Filler = 0;
};

class PictureFiles : public testing::TestWithParam<PictureFileCase>
{
};

TEST_P(PictureFiles, AreTakenOrRefusedWithTheReason)
{
    const PictureFileCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("picture");
    if (c.Filler > 0) {
        WriteFile(path, Bytes(c.Filler, 0xFF));
    } else if (c.Content) {
        WriteFile(path, *c.Content);
    } else {
        std::filesystem::create_directory(path);
    }
    const PictureFile picture = ReadPictureFile(path);
    EXPECT_EQ(picture.Refusal.substr(0, c.Refusal.size()), c.Refusal) << picture.Refusal;
    EXPECT_EQ(picture.Refusal.empty(), c.Refusal.empty()) << picture.Refusal;
    if (c.Refusal.empty()) {
        EXPECT_EQ(picture.Bytes, *c.Content);
        EXPECT_NE(picture.Check.Format, ImageFormat::kNone);
    } else {
        EXPECT_TRUE(picture.Bytes.empty());
    }
}

std::string PictureFileName(const testing::TestParamInfo<PictureFileCase>& info)
{
    return info.param.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictureFiles,
    testing::Values(PictureFileCase{"Png", TinyPng(), ""}, PictureFileCase{"Jpeg", TinyJpeg(), ""},
                    PictureFileCase{"Text", ToBytes("hello"), "not a JPEG or PNG picture"},
                    PictureFileCase{"Empty", Bytes{}, "not a JPEG or PNG picture"},
                    PictureFileCase{"TooLarge", Bytes{}, "larger than 16 MiB", kLargestPicture + 1},
                    PictureFileCase{"Folder", std::nullopt, "cannot be read: "}),
    PictureFileName);

TEST(PictureFile, MissingFileCannotBeRead)
{
    TempDir dir;
    EXPECT_EQ(ReadPictureFile(dir.File("missing.png")).Refusal.rfind("cannot be read: ", 0), 0u);
}

} // namespace
} // namespace varnello
