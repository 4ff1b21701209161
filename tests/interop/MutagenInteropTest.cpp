// Files written by the engine are read by mutagen, a widely used ID3 reader
// of its own, which must find the version, frames and texts that were
// written: both versions, with and without unsynchronisation, compression
// and CRC; and the fields set by the module's save and by varnello-tag.

#include "FolderReader.h"
#include "FrameFlags.h"
#include "Mp3Builder.h"
#include "StatusWord.h"
#include "TagSaver.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace varnello;
using testsupport::TempDir;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string Hexed(std::string_view text)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out += digits[byte >> 4];
        out += digits[byte & 0x0F];
    }
    return out.empty() ? "-" : out;
}

// Runs a command and returns its standard output, or nothing when it fails.
std::optional<std::string> RunCommand(const std::string& command)
{
    std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), &::pclose);
    if (!pipe) {
        return std::nullopt;
    }
    std::string out;
    std::array<char, 4096> buffer{};
    while (const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) {
        out.append(buffer.data(), got);
    }
    if (::pclose(pipe.release()) != 0) {
        return std::nullopt;
    }
    return out;
}

std::vector<std::string> SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool MutagenAvailable()
{
    return ::access(kPython, X_OK) == 0 &&
           RunCommand(std::string(kPython) + " -c 'import mutagen.id3' 2>/dev/null").has_value();
}

using Combination = std::tuple<int, bool, bool, bool>; // version, unsync, compression, CRC

class MutagenInterop : public testing::TestWithParam<Combination>
{
};

std::string CombinationName(const testing::TestParamInfo<Combination>& info)
{
    const auto& [version, unsync, compress, crc] = info.param;
    return "V" + std::to_string(version) + (unsync ? "Unsync" : "") +
           (compress ? "Compressed" : "") + (crc ? "Crc" : "") + "Tag";
}

} // namespace

TEST_P(MutagenInterop, ReadsWhatTheEngineWrote)
{
    if (!MutagenAvailable()) {
        GTEST_SKIP() << "python3-mutagen is not installed";
    }
    const auto [version, unsync, compress, crc] = GetParam();
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    // mutagen reads the body of a tag with an extended header from after that
    // header with the full tag size, so it takes in the first bytes behind
    // the tag too; were they an MPEG sync, its unsynchronisation decoding
    // would give up on the whole tag. Some silence first keeps it reading.
    testsupport::Mp3Builder()
        .Tag(testsupport::Id3v2Builder().TextFrame("TIT2", "Old").Padding(64).Build())
        .Raw(testsupport::Bytes(32, 0x00))
        .Audio(40)
        .WriteTo(path);

    Tid3v2tag tag;
    tag.MajorVersion = static_cast<std::uint8_t>(version);
    const std::string title = "Caf\xC3\xA9 \xC3\xBF\xC3\xA9t\xC3\xA9";             // Café ÿété
    const std::string artist = "\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0"; // Cyrillic
    std::string lyrics;
    for (int i = 0; i < 200; ++i) {
        lyrics += "la la la ";
    }
    ASSERT_EQ(tag.SetTextFrame("TIT2", title), textresult::kOk);
    ASSERT_EQ(tag.SetTextFrame("TPE1", artist), textresult::kOk);
    ASSERT_EQ(tag.SetTextFrame("TALB", "Album"), textresult::kOk);
    ASSERT_EQ(tag.SetTextFrame("TCON", "Rock"), textresult::kOk);
    ASSERT_EQ(tag.SetTextFrame("TIT3", lyrics), textresult::kOk);
    ASSERT_EQ(tag.SetYear("2024"), textresult::kOk);
    COMM comment;
    comment.Language = "eng";
    comment.Text = "A comment \xC3\xBF";
    ASSERT_EQ(tag.SetComment(comment, "", "eng"), textresult::kOk);
    tag.SetCrcPresent(crc);
    const std::uint8_t requested =
        (compress ? frameflags::kCompression : 0) | (unsync ? frameflags::kUnsynchronisation : 0);
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        tag.Frames.SetFlags(i, 2, requested);
    }
    ASSERT_EQ(tag.SaveToFile(path, 255, 255, 0), status::kOk);

    const std::optional<std::string> output =
        RunCommand(std::string(kPython) + " " + VARNELLO_MUTAGEN_SCRIPT + " " + path);
    ASSERT_TRUE(output.has_value()) << "mutagen could not read the file";
    const std::string yearId = version == 3 ? "TYER" : "TDRC";
    std::vector<std::string> expected{
        "version " + std::to_string(version),    "frame TIT2 " + Hexed(title),
        "frame TPE1 " + Hexed(artist),           "frame TALB " + Hexed("Album"),
        "frame TCON " + Hexed("Rock"),           "frame TIT3 " + Hexed(lyrics),
        "frame " + yearId + " " + Hexed("2024"), "frame COMM eng - " + Hexed(comment.Text),
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedLines(*output), expected) << "mutagen printed:\n" << *output;
}

INSTANTIATE_TEST_SUITE_P(AllFlags, MutagenInterop,
                         testing::Combine(testing::Values(3, 4), testing::Bool(), testing::Bool(),
                                          testing::Bool()),
                         CombinationName);

// A version 2.2 tag saved with its own version becomes a version 3 tag that
// mutagen reads with the converted frames: the picture with a MIME type.
TEST(MutagenInteropV22, ReadsTheConvertedTag)
{
    if (!MutagenAvailable()) {
        GTEST_SKIP() << "python3-mutagen is not installed";
    }
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const testsupport::Bytes image{0x89, 'P', 'N', 'G', 0xFF, 0x00, 0xE0, 0x01};
    testsupport::Mp3Builder()
        .Tag(testsupport::Id3v2Builder()
                 .Version(2)
                 .FrameV22("TT2", testsupport::Latin1Text("Title"))
                 .FrameV22("TP1", testsupport::Latin1Text("Artist"))
                 .FrameV22("TRK", testsupport::Latin1Text("3/12"))
                 .FrameV22("PIC", testsupport::PicV22("PNG", 3, "", image))
                 .Build())
        .Raw(testsupport::Bytes(32, 0x00))
        .Audio(40)
        .WriteTo(path);
    Tid3v2tag tag;
    ASSERT_EQ(tag.LoadFromFile(path, 0), status::kOk);
    ASSERT_EQ(tag.SaveToFile(path, 255, 255, 0), status::kOk);

    const std::optional<std::string> output =
        RunCommand(std::string(kPython) + " " + VARNELLO_MUTAGEN_SCRIPT + " " + path);
    ASSERT_TRUE(output.has_value()) << "mutagen could not read the file";
    std::vector<std::string> expected{
        "version 3",
        "frame TIT2 " + Hexed("Title"),
        "frame TPE1 " + Hexed("Artist"),
        "frame TRCK " + Hexed("3/12"),
        "frame APIC " + Hexed("image/png") + " 89504e47ff00e001",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedLines(*output), expected) << "mutagen printed:\n" << *output;
}

namespace {

struct Repaired
{
    const char* Name;
    testsupport::Id3v2Builder Tag;
};

class MutagenRepaired : public testing::TestWithParam<Repaired>
{
};

// A picture whose unsynchronisation shows if it is done once too often.
testsupport::Bytes Picture()
{
    testsupport::Bytes data{0x00, 'i', 'm', 'a', 'g',  'e',  '/',
                            'j',  'p', 'e', 'g', 0x00, 0x03, 0x00};
    for (const int b : {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0xFF, 0xFF, 0xFF, 0x00}) {
        data.push_back(static_cast<std::uint8_t>(b));
    }
    for (int i = 0; i < 300; ++i) {
        data.push_back(static_cast<std::uint8_t>(i * 37));
    }
    return data;
}

std::vector<Repaired> RepairedCases()
{
    using testsupport::Id3v2Builder;
    const testsupport::Bytes junk{0x00, 0x00, 0x00, 0x00, 'J', 'U', 'N', 'K', 0x00, 0x00, 0x00};
    return {
        {"HeaderUnsync", Id3v2Builder()
                             .Version(4)
                             .HeaderFlags(0x80)
                             .TextFrame("TIT2", "Old")
                             .Frame("APIC", testsupport::UnsyncBytes(Picture()))},
        {"PlainSizes", Id3v2Builder()
                           .Version(4)
                           .PlainFrameSizes()
                           .TextFrame("TIT2", "Old")
                           .Frame("APIC", Picture())},
        {"JunkPadding",
         Id3v2Builder().Version(4).TextFrame("TIT2", "Old").Frame("APIC", Picture()).Raw(junk)},
    };
}

std::string RepairedName(const testing::TestParamInfo<Repaired>& param)
{
    return param.param.Name;
}

} // namespace

// Version 4 tags that older taggers got wrong are read leniently and written
// back correctly: mutagen finds the new title and the picture's exact bytes.
TEST_P(MutagenRepaired, ReadsTheRepairedTag)
{
    if (!MutagenAvailable()) {
        GTEST_SKIP() << "python3-mutagen is not installed";
    }
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    testsupport::Mp3Builder().Tag(GetParam().Tag.Build()).Audio(10).WriteTo(path);
    Tid3v2tag tag;
    ASSERT_TRUE(status::IsSuccess(tag.LoadFromFile(path, 0)));
    ASSERT_EQ(tag.SetTextFrame("TIT2", "New"), textresult::kOk);
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), status::kOk);

    const std::optional<std::string> output =
        RunCommand(std::string(kPython) + " " + VARNELLO_MUTAGEN_SCRIPT + " " + path);
    ASSERT_TRUE(output.has_value()) << "mutagen could not read the file";
    const testsupport::Bytes picture = Picture();
    const std::string data(picture.begin() + 14, picture.end());
    std::vector<std::string> expected{"version 4", "frame TIT2 " + Hexed("New"),
                                      "frame APIC " + Hexed("image/jpeg") + " " + Hexed(data)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedLines(*output), expected) << "mutagen printed:\n" << *output;
}

INSTANTIATE_TEST_SUITE_P(Version4, MutagenRepaired, testing::ValuesIn(RepairedCases()),
                         RepairedName);

namespace {

// Who writes the track, the disc and the album artist: the module's save, or
// varnello-tag set.
enum class Writer
{
    kSaver,
    kTool,
};

using MoreFieldsCase = std::tuple<int, Writer>;

class MutagenMoreFields : public testing::TestWithParam<MoreFieldsCase>
{
};

std::string MoreFieldsName(const testing::TestParamInfo<MoreFieldsCase>& param)
{
    const auto& [version, writer] = param.param;
    return "V" + std::to_string(version) + (writer == Writer::kSaver ? "Saver" : "Tool");
}

} // namespace

TEST_P(MutagenMoreFields, ReadsTheTrackDiscAndAlbumArtistSet)
{
    if (!MutagenAvailable()) {
        GTEST_SKIP() << "python3-mutagen is not installed";
    }
    const auto [version, writer] = GetParam();
    const auto major = static_cast<std::uint8_t>(version);
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const testsupport::Bytes title = testsupport::Latin1Text("Title");
    const testsupport::Bytes comment = testsupport::Latin1Comment("eng", "", "Kept");
    const testsupport::Bytes image{0x89, 'P', 'N', 'G', 0xFF, 0x00, 0xE0, 0x01};
    testsupport::Bytes picture{0x00};
    testsupport::Append(picture, testsupport::ToBytes("image/png"));
    picture.insert(picture.end(), {0x00, 0x03, 0x00});
    testsupport::Append(picture, image);
    testsupport::Mp3Builder()
        .Tag(testsupport::Id3v2Builder()
                 .Version(major)
                 .Frame("TIT2", title)
                 .Frame("APIC", picture)
                 .Frame("COMM", comment)
                 .Frame("TRCK", testsupport::Latin1Text("1"))
                 .Padding(128)
                 .Build())
        .Raw(testsupport::Bytes(32, 0x00))
        .Audio(40)
        .WriteTo(path);

    const std::string band = "Caf\xC3\xA9 Band";
    if (writer == Writer::kSaver) {
        FileRow row = FolderReader().ReadRow(dir.Path(), "song.mp3", 0);
        std::vector<FileRow*> rows{&row};
        TagFields values;
        values.Track = "3/12";
        values.Disc = "1/2";
        values.AlbumArtist = band;
        EXPECT_TRUE(
            TagSaver()
                .SaveMultiple(dir.Path(), rows, values,
                              fieldmask::kTrack | fieldmask::kDisc | fieldmask::kAlbumArtist)
                .empty());
    } else {
        ASSERT_TRUE(RunCommand(std::string(VARNELLO_TAG_PROGRAM) +
                               " set --track 3/12 --disc 1/2 --album-artist '" + band + "' '" +
                               path + "'")
                        .has_value());
    }

    const TagFields read = FolderReader().ReadRow(dir.Path(), "song.mp3", 0).Fields;
    EXPECT_EQ(read.Track, "3/12");
    EXPECT_EQ(read.Disc, "1/2");
    EXPECT_EQ(read.AlbumArtist, band);
    const testsupport::Bytes file = testsupport::ReadFile(path);
    for (const auto& [id, data] :
         {std::pair{"TIT2", title}, {"APIC", picture}, {"COMM", comment}}) {
        const testsupport::Bytes frame =
            testsupport::Id3v2Builder().Version(major).Frame(id, data).Body();
        EXPECT_NE(std::search(file.begin(), file.end(), frame.begin(), frame.end()), file.end())
            << id << " changed";
    }

    const std::optional<std::string> output =
        RunCommand(std::string(kPython) + " " + VARNELLO_MUTAGEN_SCRIPT + " " + path);
    ASSERT_TRUE(output.has_value()) << "mutagen could not read the file";
    std::vector<std::string> expected{
        "version " + std::to_string(version),
        "frame TIT2 " + Hexed("Title"),
        "frame APIC " + Hexed("image/png") + " 89504e47ff00e001",
        "frame COMM eng - " + Hexed("Kept"),
        "frame TRCK " + Hexed("3/12"),
        "frame TPOS " + Hexed("1/2"),
        "frame TPE2 " + Hexed(band),
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedLines(*output), expected) << "mutagen printed:\n" << *output;
}

INSTANTIATE_TEST_SUITE_P(BothWriters, MutagenMoreFields,
                         testing::Combine(testing::Values(3, 4),
                                          testing::Values(Writer::kSaver, Writer::kTool)),
                         MoreFieldsName);

namespace {

class MutagenCover : public testing::TestWithParam<std::tuple<int, Writer>>
{
protected:
    // Sets (an image given) or removes the front cover of the file.
    static void ChangeCover(Writer writer, const std::string& path,
                            const std::optional<testsupport::Bytes>& image)
    {
        if (writer == Writer::kSaver) {
            FileRow row = FolderReader().ReadRow("", path, 0);
            std::vector<FileRow*> rows{&row};
            const CoverEdit cover{image ? CoverAction::kSet : CoverAction::kRemove,
                                  image.value_or(testsupport::Bytes{})};
            EXPECT_TRUE(TagSaver().SaveMultiple("", rows, {}, FieldMask{}, cover).empty());
            return;
        }
        std::string option = "--remove-cover";
        if (image) {
            const std::string picture = path + ".png";
            testsupport::WriteFile(picture, *image);
            option = "--cover '" + picture + "'";
        }
        EXPECT_TRUE(
            RunCommand(std::string(VARNELLO_TAG_PROGRAM) + " set " + option + " '" + path + "'")
                .has_value());
    }

    static std::string PictureLine(int type, std::string_view mime, std::string_view description,
                                   const testsupport::Bytes& data)
    {
        const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
        return "picture " + std::to_string(type) + " " + Hexed(mime) + " " + Hexed(description) +
               " " + Hexed(bytes);
    }

    static std::string Pictures(const std::string& path)
    {
        return RunCommand(std::string(kPython) + " " + VARNELLO_MUTAGEN_SCRIPT + " --pictures " +
                          path)
            .value_or("mutagen could not read the file");
    }
};

std::string CoverName(const testing::TestParamInfo<std::tuple<int, Writer>>& info)
{
    const auto& [version, writer] = info.param;
    return "V" + std::to_string(version) + (writer == Writer::kSaver ? "Saver" : "Tool");
}

} // namespace

TEST_P(MutagenCover, ReadsTheFrontCoverSetAndFindsItGoneAfterRemoval)
{
    if (!MutagenAvailable()) {
        GTEST_SKIP() << "python3-mutagen is not installed";
    }
    const auto [version, writer] = GetParam();
    TempDir dir;
    const std::string path = dir.File("song.mp3");
    const testsupport::Bytes jpeg = testsupport::TinyJpeg();
    const testsupport::Bytes png = testsupport::TinyPng();
    testsupport::Mp3Builder()
        .Tag(testsupport::Id3v2Builder()
                 .Version(static_cast<std::uint8_t>(version))
                 .TextFrame("TIT2", "Title")
                 .Frame("APIC", testsupport::Apic("image/jpeg", 0, "other", jpeg))
                 .Frame("APIC", testsupport::Apic("image/png", 4, "back", png))
                 .Padding(64)
                 .Build())
        .Raw(testsupport::Bytes(32, 0x00))
        .Audio(20)
        .WriteTo(path);
    const std::string other = PictureLine(0, "image/jpeg", "other", jpeg);
    const std::string back = PictureLine(4, "image/png", "back", png);

    ChangeCover(writer, path, png);
    EXPECT_EQ(Pictures(path),
              other + "\n" + back + "\n" + PictureLine(3, "image/png", "", png) + "\n");
    ChangeCover(writer, path, jpeg);
    EXPECT_EQ(Pictures(path),
              other + "\n" + back + "\n" + PictureLine(3, "image/jpeg", "", jpeg) + "\n");
    ChangeCover(writer, path, std::nullopt);
    EXPECT_EQ(Pictures(path), other + "\n" + back + "\n");
}

INSTANTIATE_TEST_SUITE_P(BothWriters, MutagenCover,
                         testing::Combine(testing::Values(3, 4),
                                          testing::Values(Writer::kSaver, Writer::kTool)),
                         CoverName);
