#include "FolderReader.h"

#include "FileCheck.h"
#include "FileTestHelpers.h"
#include "Mp3Builder.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace varnello {
namespace {

using namespace testsupport;

void WriteAudioOnly(const std::string& path)
{
    Mp3Builder().Audio(4).WriteTo(path);
}

std::string Describe(const FileRow& row)
{
    const TagFields& f = row.Fields;
    return row.FileName + " kind " + std::to_string(static_cast<int>(row.TagKind)) + " [" +
           f.Title + "|" + f.Artist + "|" + f.Album + "|" + f.Year + "|" + f.Genre + "|" +
           f.Comment + "]";
}

TEST(FolderReader, ListsMp3FilesInCaseInsensitiveOrder)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, which Windows gives only with a privilege";
#else
    TempDir dir;
    for (const char* name : {"b.mp3", "A.mp3", "c.MP3", ".hidden.mp3", "notes.txt", "x.mp3.bak",
                             "song.Mp3", "Été.mp3", "zeta.mp3"}) {
        WriteAudioOnly(dir.File(name));
    }
    std::filesystem::create_directory(dir.File("folder.mp3"));
    std::filesystem::create_symlink(dir.File("b.mp3"), dir.File("link.mp3"));

    // Non-ASCII names follow the ASCII ones, by code point.
    const std::vector<std::string> expected{"A.mp3",    "b.mp3",    "c.MP3",  "link.mp3",
                                            "song.Mp3", "zeta.mp3", "Été.mp3"};
    EXPECT_EQ(FolderReader::ListMp3Names(dir.Path()), expected);

    const std::vector<FileRow> rows = FolderReader().ReadFolder(dir.Path());
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].No, static_cast<int>(i));
        EXPECT_EQ(rows[i].FileName, expected[i]);
        EXPECT_EQ(rows[i].TagKind, tagkind::kNone) << Describe(rows[i]);
    }
#endif
}

TEST(FolderReader, RecursiveListingWalksSubfoldersOnceEachWithoutLoops)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, which Windows gives only with a privilege";
#else
    TempDir dir;
    namespace fs = std::filesystem;
    for (const char* folder : {"Live/Disc 2", "Empty", ".hidden", "Zed"}) {
        fs::create_directories(dir.File(folder));
    }
    for (const char* name : {"b.mp3", "A.mp3", "Live/02.mp3", "Live/01.MP3", "Live/Disc 2/x.mp3",
                             "Live/notes.txt", ".hidden/h.mp3", "Zed/z.mp3"}) {
        WriteAudioOnly(dir.File(name));
    }
    // A link back up, and a second way into a folder already listed.
    fs::create_directory_symlink("..", dir.File("Live/up"));
    fs::create_directory_symlink("../Live", dir.File("Zed/again"));
    fs::create_directory_symlink("missing", dir.File("Zed/dangling"));

    std::error_code error;
    std::vector<FolderReader::SkippedFolder> skipped;
    const std::vector<std::string> names =
        FolderReader::ListMp3NamesRecursive(dir.Path(), error, skipped);
    EXPECT_FALSE(error) << error.message();
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(names, (std::vector<std::string>{"A.mp3", "b.mp3", "Live/01.MP3", "Live/02.mp3",
                                               "Live/Disc 2/x.mp3", "Zed/z.mp3"}));
    EXPECT_EQ(FolderReader().ReadRow(dir.Path(), names[4], 4).TagKind, tagkind::kNone)
        << "a relative path reads like a name";

    FolderReader::ListMp3NamesRecursive(dir.File("missing"), error, skipped);
    EXPECT_TRUE(error) << "a folder that cannot be read at all is an error";
#endif
}

// Root reads any folder: the listing then runs in a child process as the
// unprivileged user "nobody" (uid 65534).
TEST(FolderReader, RecursiveListingSkipsAnUnreadableSubfolderAndNamesIt)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs fork, setuid and POSIX permission bits";
#else
    TempDir dir;
    std::filesystem::create_directories(dir.File("Locked/Inner"));
    std::filesystem::create_directories(dir.File("Open"));
    for (const char* name : {"a.mp3", "Locked/l.mp3", "Open/o.mp3"}) {
        WriteAudioOnly(dir.File(name));
    }
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dir.File("Open").c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dir.File("Locked").c_str(), 0), 0);
    const int result = InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 10;
        }
        std::error_code error;
        std::vector<FolderReader::SkippedFolder> skipped;
        const std::vector<std::string> names =
            FolderReader::ListMp3NamesRecursive(dir.Path(), error, skipped);
        if (error || names != std::vector<std::string>{"a.mp3", "Open/o.mp3"}) {
            return 11;
        }
        const bool named = skipped.size() == 1 && skipped[0].Path == "Locked" &&
                           skipped[0].Error == std::errc::permission_denied;
        return named ? 0 : 12;
    });
    ::chmod(dir.File("Locked").c_str(), 0700);
    EXPECT_EQ(result, 0) << "10: could not drop root; 11: wrong names or an error; 12: the "
                            "skipped folder was not named";
#endif
}

TEST(FolderReader, MissingFolderGivesNoNamesAndAnError)
{
    TempDir dir;
    std::error_code error;
    EXPECT_TRUE(FolderReader::ListMp3Names(dir.File("missing"), error).empty());
    EXPECT_TRUE(error);
    WriteAudioOnly(dir.File("a.mp3"));
    EXPECT_TRUE(FolderReader::ListMp3Names(dir.File("a.mp3"), error).empty());
    EXPECT_TRUE(error) << "a file is not a folder";
    EXPECT_EQ(FolderReader::ListMp3Names(dir.Path(), error).size(), 1u);
    EXPECT_FALSE(error);
    EXPECT_TRUE(FolderReader().ReadFolder(dir.File("missing")).empty());
}

TEST(FolderReader, ProgressCountsFilesAndCanStop)
{
    TempDir dir;
    for (const char* name : {"1.mp3", "2.mp3", "3.mp3", "4.mp3"}) {
        WriteAudioOnly(dir.File(name));
    }
    std::vector<std::pair<std::size_t, std::size_t>> calls;
    const auto rows =
        FolderReader().ReadFolder(dir.Path(), [&](std::size_t done, std::size_t total) {
            calls.emplace_back(done, total);
            return done < 2;
        });
    EXPECT_EQ(rows.size(), 2u);
    const std::vector<std::pair<std::size_t, std::size_t>> expected{{1, 4}, {2, 4}};
    EXPECT_EQ(calls, expected);
}

TEST(FolderReader, ParallelReadersKeepTableOrderAndStopWhenAsked)
{
    TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
        const std::string name = std::to_string(1000 + i) + ".mp3";
        Mp3Builder()
            .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", name).Build())
            .Audio(1)
            .WriteTo(dir.File(name));
        names.push_back(name);
    }
    for (const unsigned readers : {1u, 3u, 8u}) {
        std::vector<FileRow> rows;
        FolderReader().ReadRows(
            dir.Path(), names,
            [&](std::vector<FileRow>&& batch) {
                EXPECT_LE(batch.size(), FolderReader::kBatchSize);
                rows.insert(rows.end(), batch.begin(), batch.end());
                return true;
            },
            readers);
        ASSERT_EQ(rows.size(), names.size()) << readers << " readers";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            ASSERT_EQ(rows[i].No, static_cast<int>(i)) << readers << " readers";
            ASSERT_EQ(rows[i].Fields.Title, names[i]) << readers << " readers";
        }
        std::size_t handed = 0;
        FolderReader().ReadRows(
            dir.Path(), names,
            [&](std::vector<FileRow>&& batch) {
                handed += batch.size();
                return false;
            },
            readers);
        EXPECT_EQ(handed, FolderReader::kBatchSize) << "one batch, then the sink said stop";
    }
}

TEST(FolderReader, Id3v2WinsEvenWhenItsFramesAreEmpty)
{
    TempDir dir;
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).Frame("TIT2", {0x00}).Frame("TRCK", Latin1Text("3")).Build())
        .Audio(4)
        .Id3v1(MakeId3v1("V1 Title", "V1 Artist", "V1 Album", "1999", "V1 Comment", 17))
        .WriteTo(dir.File("both.mp3"));

    const FileRow row = FolderReader().ReadRow(dir.Path(), "both.mp3", 7);
    EXPECT_EQ(row.No, 7);
    EXPECT_EQ(row.TagKind, tagkind::kBoth);
    TagFields expected;
    expected.Track = "3"; // the only text the ID3v2 tag holds
    EXPECT_EQ(row.Fields, expected) << Describe(row);
}

TEST(FolderReader, FailedId3v2LoadFallsBackToId3v1)
{
    TempDir dir;
    // A frame larger than the tag: the load fails.
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "V2 Title")
                 .Frame("TPE1", {0x00, 0x41}, 0, 0, {}, 100)
                 .Build())
        .Audio(4)
        .Id3v1(MakeId3v1("V1 Title", "V1 Artist", "V1 Album", "1999", "V1 Comment", 17))
        .WriteTo(dir.File("bad.mp3"));

    const FileRow row = FolderReader().ReadRow(dir.Path(), "bad.mp3", 0);
    EXPECT_EQ(row.TagKind, tagkind::kId3v1);
    const TagFields expected{"V1 Title", "V1 Artist", "V1 Album", "1999", "Rock", "V1 Comment"};
    EXPECT_EQ(row.Fields, expected) << Describe(row);
}

TEST(FolderReader, Id3v1GenreZeroIsEmptyAndOtherNumbersUseTheList)
{
    TempDir dir;
    const std::vector<std::pair<std::uint8_t, std::string>> cases{
        {0, ""}, {17, "Rock"}, {125, "Dance Hall"}, {126, ""}, {255, ""}};
    for (const auto& [genre, text] : cases) {
        const std::string name = "g" + std::to_string(genre) + ".mp3";
        Mp3Builder().Audio(4).Id3v1(MakeId3v1("T", "", "", "", "", genre)).WriteTo(dir.File(name));
        const FileRow row = FolderReader().ReadRow(dir.Path(), name, 0);
        EXPECT_EQ(row.TagKind, tagkind::kId3v1) << name;
        EXPECT_EQ(row.Fields.Genre, text) << "genre byte " << int(genre);
    }
}

TEST(FolderReader, Id3v2CellsAreTrimmedAndDecoded)
{
    TempDir dir;
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "  Caf\xE9  ")
                 .Frame("TPE1", Utf16BomText(u"\u3042\u3044 "))
                 .TextFrame("TALB", "Album")
                 .TextFrame("TYER", " 2001")
                 .TextFrame("TCON", "(17)")
                 .Frame("COMM", Latin1Comment("deu", "", " two\nlines \n"))
                 .Build())
        .Audio(4)
        .WriteTo(dir.File("v3.mp3"));
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(4)
                 .Frame("TIT2", Utf8Text("日本語のタイトル"))
                 .Frame("TDRC", Utf8Text("2004-05-06"))
                 .Build())
        .Audio(4)
        .WriteTo(dir.File("v4.mp3"));

    const FileRow v3 = FolderReader().ReadRow(dir.Path(), "v3.mp3", 0);
    EXPECT_EQ(v3.TagKind, tagkind::kId3v2);
    const TagFields expectedV3{"Café", "あい", "Album", "2001", "(17)", "two\nlines"};
    EXPECT_EQ(v3.Fields, expectedV3) << Describe(v3);

    const FileRow v4 = FolderReader().ReadRow(dir.Path(), "v4.mp3", 1);
    EXPECT_EQ(v4.TagKind, tagkind::kId3v2);
    EXPECT_EQ(v4.Fields.Title, "日本語のタイトル");
    EXPECT_EQ(v4.Fields.Year, "2004-05-06");
}

TEST(FolderReader, FilesWithoutTagsAndNonMp3FilesGiveEmptyRows)
{
    TempDir dir;
    WriteAudioOnly(dir.File("plain.mp3"));
    WriteFile(dir.File("text.mp3"), ToBytes("just some text, not an MP3 file at all"));
    WriteFile(dir.File("empty.mp3"), {});
    // A header that claims far more bytes than the file holds.
    WriteFile(dir.File("short.mp3"), Id3v2Builder().Version(3).SizeOverride(100000).Build());
    for (const char* name : {"plain.mp3", "text.mp3", "empty.mp3", "short.mp3", "gone.mp3"}) {
        const FileRow row = FolderReader().ReadRow(dir.Path(), name, 0);
        EXPECT_EQ(row.TagKind, tagkind::kNone) << name;
        EXPECT_EQ(row.Fields, TagFields{}) << Describe(row);
    }
}

TEST(FolderReader, FifoAndFolderNamedMp3GiveEmptyRowsWithoutWaiting)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a FIFO (POSIX)";
#else
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("pipe.mp3").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder.mp3"));
    for (const char* name : {"pipe.mp3", "folder.mp3"}) {
        const FileRow row = FolderReader().ReadRow(dir.Path(), name, 0);
        EXPECT_EQ(row.TagKind, tagkind::kNone) << name;
    }
    EXPECT_TRUE(FolderReader::ListMp3Names(dir.Path()).empty());
#endif
}

TEST(FolderReader, Id3v1NeedsAnMp3NameInAnyCase)
{
    TempDir dir;
    const Id3v1Fields fields = MakeId3v1("Title", "", "", "", "", 17);
    Mp3Builder().Audio(4).Id3v1(fields).WriteTo(dir.File("SONG.MP3"));
    Mp3Builder().Audio(4).Id3v1(fields).WriteTo(dir.File("song.mp2"));
    Mp3Builder().Audio(4).Id3v1(fields).WriteTo(dir.File("song.wav"));
    EXPECT_EQ(FolderReader().ReadRow(dir.Path(), "SONG.MP3", 0).TagKind, tagkind::kId3v1);
    EXPECT_EQ(FolderReader().ReadRow(dir.Path(), "song.mp2", 0).TagKind, tagkind::kId3v1);
    EXPECT_EQ(FolderReader().ReadRow(dir.Path(), "song.wav", 0).TagKind, tagkind::kNone)
        << "the ID3v1 reader takes only .mp3 and .mp2 files";
}

TEST(FileRow, JoinPathAddsOneSeparator)
{
#ifdef _WIN32
    EXPECT_EQ(JoinPath("C:\\music", "x.mp3"), "C:\\music\\x.mp3");
    EXPECT_EQ(JoinPath("C:\\music\\", "x.mp3"), "C:\\music\\x.mp3");
    EXPECT_EQ(JoinPath("/music", "x.mp3"), "/music\\x.mp3");
#endif
    EXPECT_EQ(JoinPath("/music/", "x.mp3"), "/music/x.mp3");
#ifndef _WIN32
    EXPECT_EQ(JoinPath("/music", "x.mp3"), "/music/x.mp3");
    EXPECT_EQ(JoinPath("/", "x.mp3"), "/x.mp3");
#endif
    EXPECT_EQ(JoinPath("", "x.mp3"), "x.mp3");
}

} // namespace
} // namespace varnello
