#include "Mp3Mng.h"

#include "Mp3Builder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

using namespace varnello;
using namespace varnello::testsupport;

// Mp3Mng's codes do not turn into bare numbers by accident.
static_assert(!std::is_convertible_v<Mp3Status, int>);

namespace {

Bytes Last128(const Bytes& file)
{
    return Bytes(file.end() - 128, file.end());
}

Bytes FieldOf(const Bytes& block, std::size_t offset, std::size_t size)
{
    return Bytes(block.begin() + static_cast<std::ptrdiff_t>(offset),
                 block.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

Bytes Padded(std::string_view text, std::size_t size)
{
    Bytes out = ToBytes(text);
    out.resize(size, 0x00);
    return out;
}

std::string WriteMp3(const TempDir& dir, std::string_view name, const Id3v1Fields& fields)
{
    const std::string path = dir.File(name);
    Mp3Builder().Audio(3).Id3v1(fields).WriteTo(path);
    return path;
}

#ifndef _WIN32
std::uint32_t ModeOf(const std::string& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return static_cast<std::uint32_t>(info.st_mode & 07777);
}
#endif

} // namespace

TEST(Mp3Mng, ReadsTheFieldsTrimmedAtZeroBytesOrBlanks)
{
    TempDir dir;
    Id3v1Fields fields;
    fields.Title = "Hello";
    fields.Artist = "Hello" + std::string(25, ' ');
    fields.Album = "  Album \x01";
    fields.Year = "1999";
    fields.Comment = "Comment";
    fields.Genre = 17;
    const std::string path = WriteMp3(dir, "song.mp3", fields);

    Mp3Mng mng;
    ASSERT_EQ(mng.Open(path), mp3status::kOk);
    ASSERT_TRUE(mng.HasTag());
    EXPECT_EQ(mng.ReadTag(), mp3status::kOk) << "a found tag is not read again";
    std::string title, artist, album, year, comment, magic;
    mng.GetTitle(title);
    mng.GetArtist(artist);
    mng.GetAlbum(album);
    mng.GetYear(year);
    mng.GetComment(comment);
    mng.GetMagic(magic);
    EXPECT_EQ(title, "Hello");
    EXPECT_EQ(artist, "Hello");
    EXPECT_EQ(album, "Album");
    EXPECT_EQ(year, "1999");
    EXPECT_EQ(comment, "Comment");
    EXPECT_EQ(magic, "TAG");
    EXPECT_EQ(mng.GetGenre(), 17);
}

TEST(Mp3Mng, MarkerIsFoundInAnyCase)
{
    TempDir dir;
    for (const char* magic : {"TAG", "Tag", "tag"}) {
        Id3v1Fields fields;
        fields.Magic = magic;
        Mp3Mng mng;
        mng.Open(WriteMp3(dir, std::string(magic) + ".mp3", fields));
        EXPECT_TRUE(mng.HasTag()) << magic;
    }
}

TEST(Mp3Mng, MarkerNeedsTheThreeLettersThemselves)
{
    TempDir dir;
    int n = 0;
    for (const char* magic : {"TA", " TA", "TA ", "TAX", "\x01TA", "T\x01G"}) {
        Id3v1Fields fields;
        fields.Magic = magic;
        Mp3Mng mng;
        mng.Open(WriteMp3(dir, "m" + std::to_string(n++) + ".mp3", fields));
        EXPECT_FALSE(mng.HasTag()) << Hex(ToBytes(magic));
    }
}

TEST(Mp3Mng, SettersTrimCutAndPadTheFields)
{
    Mp3Mng mng;
    const Bytes buffer = [&] {
        mng.SetTitle(std::string(31, 'a'));
        mng.SetArtist("  abc  ");
        mng.SetAlbum("");
        mng.SetYear("20045");
        mng.SetComment("line one\r\nline two");
        mng.SetGenre(44);
        return Bytes(mng.TagBuffer.begin(), mng.TagBuffer.end());
    }();
    EXPECT_EQ(Hex(FieldOf(buffer, 3, 30)), Hex(Bytes(30, 'a')));
    EXPECT_EQ(Hex(FieldOf(buffer, 33, 30)), Hex(Padded("abc", 30)));
    EXPECT_EQ(Hex(FieldOf(buffer, 63, 30)), Hex(Bytes(30, 0)));
    EXPECT_EQ(Hex(FieldOf(buffer, 93, 4)), Hex(ToBytes("2004")));
    EXPECT_EQ(Hex(FieldOf(buffer, 97, 28)), Hex(Padded("line one\r\nline two", 28)))
        << "line breaks inside are kept";
    EXPECT_EQ(buffer[127], 44);
    EXPECT_EQ(buffer[125], 0);
    EXPECT_EQ(buffer[126], 0);

    mng.SetTitle(std::string("ab\0cd", 5));
    EXPECT_EQ(Hex(FieldOf(Bytes(mng.TagBuffer.begin(), mng.TagBuffer.end()), 3, 30)),
              Hex(Padded("ab", 30)))
        << "the text ends at its first zero character";
}

TEST(Mp3Mng, TextIsUtf8InMemoryAndLatin1OnDisk)
{
    TempDir dir;
    Id3v1Fields fields;
    fields.Title = "Caf\xE9";
    const std::string path = WriteMp3(dir, "latin.mp3", fields);

    Mp3Mng mng;
    mng.Open(path);
    std::string title;
    mng.GetTitle(title);
    EXPECT_EQ(title, "Caf\xC3\xA9") << "ISO-8859-1 E9 reads as UTF-8 C3 A9";

    mng.SetTitle("\xE6\x97\xA5\xE6\x9C\xAC \xC3\xA9"); // two CJK characters, blank, e-acute
    mng.SetArtist(std::string(40, '\xC3') + std::string(1, 'x')); // invalid UTF-8
    std::string longText;
    for (int i = 0; i < 31; ++i) {
        longText += "\xC3\xA9";
    }
    mng.SetAlbum(longText);
    ASSERT_EQ(mng.WriteTag(), mp3status::kOk);

    const Bytes block = Last128(ReadFile(path));
    EXPECT_EQ(Hex(FieldOf(block, 3, 30)), Hex(Padded("?? \xE9", 30)))
        << "characters outside ISO-8859-1 become '?'";
    EXPECT_EQ(FieldOf(block, 33, 30)[0], '?');
    EXPECT_EQ(Hex(FieldOf(block, 63, 30)), Hex(Bytes(30, 0xE9)))
        << "cut at 30 characters, not 30 bytes of UTF-8";
}

TEST(Mp3Mng, TrackBytesSurviveEveryWrite)
{
    TempDir dir;
    Id3v1Fields fields;
    fields.Comment = "old";
    fields.Track = 7;
    const std::string path = WriteMp3(dir, "track.mp3", fields);

    Mp3Mng mng;
    mng.Open(path);
    mng.SetComment("x");
    ASSERT_EQ(mng.WriteTag(), mp3status::kOk);
    Bytes block = Last128(ReadFile(path));
    EXPECT_EQ(block[125], 0);
    EXPECT_EQ(block[126], 7);
    EXPECT_EQ(Hex(FieldOf(block, 97, 28)), Hex(Padded("x", 28)));

    mng.Open(path);
    mng.SetTitle(std::string(40, 't'));
    mng.SetArtist(std::string(40, 'a'));
    mng.SetAlbum(std::string(40, 'b'));
    mng.SetYear("12345");
    mng.SetComment(std::string(40, 'c'));
    mng.SetGenre(255);
    ASSERT_EQ(mng.WriteTag(), mp3status::kOk);
    block = Last128(ReadFile(path));
    EXPECT_EQ(block[125], 0) << Hex(block, 128);
    EXPECT_EQ(block[126], 7) << Hex(block, 128);
    EXPECT_EQ(block[127], 255);
}

TEST(Mp3Mng, WriteChangesOnlyTheLast128Bytes)
{
    TempDir dir;
    Id3v1Fields fields;
    fields.Title = "before";
    const std::string path = WriteMp3(dir, "keep.mp3", fields);
    const Bytes before = ReadFile(path);

    Mp3Mng mng;
    mng.Open(path);
    mng.SetTitle("after");
    ASSERT_EQ(mng.WriteTag(), mp3status::kOk);
    const Bytes after = ReadFile(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end() - 128, after.begin()));
    EXPECT_EQ(Hex(FieldOf(Last128(after), 0, 3)), Hex(ToBytes("TAG")));

    Mp3Mng reader;
    reader.Open(path);
    std::string title;
    reader.GetTitle(title);
    EXPECT_EQ(title, "after");
}

TEST(Mp3Mng, ReadOnlyFileIsWrittenAndReadOnlyAgainAfterwards)
{
#ifdef _WIN32
    GTEST_SKIP() << "writes a read-only file as POSIX's root does; Windows refuses it";
#else
    TempDir dir;
    const std::string path = WriteMp3(dir, "locked.mp3", {});
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    Mp3Mng mng;
    mng.Open(path);
    ASSERT_TRUE(mng.HasTag());
    mng.SetTitle("written");
    EXPECT_EQ(mng.WriteTag(), mp3status::kOk);
    EXPECT_EQ(ModeOf(path), 0444u);
    EXPECT_EQ(Hex(FieldOf(Last128(ReadFile(path)), 3, 30)), Hex(Padded("written", 30)));
#endif
}

TEST(Mp3Mng, UpperCaseExtensionIsAnMp3File)
{
    TempDir dir;
    Id3v1Fields fields;
    fields.Title = "Loud";
    const std::string path = WriteMp3(dir, "SONG.MP3", fields);

    Mp3Mng mng;
    EXPECT_EQ(mng.CheckFile(path), mp3status::kOk);
    EXPECT_EQ(mng.CheckFile(WriteMp3(dir, "Other.Mp2", {})), mp3status::kOk);
    EXPECT_EQ(mng.Open(path), mp3status::kOk);
    ASSERT_TRUE(mng.HasTag());
    std::string title;
    mng.GetTitle(title);
    EXPECT_EQ(title, "Loud");
    mng.SetTitle("Quiet");
    EXPECT_EQ(mng.WriteTag(), mp3status::kOk);
    EXPECT_EQ(Hex(FieldOf(Last128(ReadFile(path)), 3, 30)), Hex(Padded("Quiet", 30)));
}

TEST(Mp3Mng, CheckFileRefusesMissingFilesAndOtherExtensions)
{
    TempDir dir;
    Mp3Mng mng;
    EXPECT_EQ(mng.CheckFile(""), mp3status::kFileNotFound);
    EXPECT_EQ(mng.CheckFile(dir.File("missing.mp3")), mp3status::kFileNotFound);
    EXPECT_EQ(mng.CheckFile(WriteMp3(dir, "song.wav", {})), mp3status::kNotMp3);
    EXPECT_EQ(mng.CheckFile(WriteMp3(dir, "song.mp3.txt", {})), mp3status::kNotMp3);
    EXPECT_EQ(mng.CheckFile(WriteMp3(dir, "mp3", {})), mp3status::kNotMp3);
    std::filesystem::create_directory(dir.File("folder.mp3"));
    EXPECT_EQ(mng.CheckFile(dir.File("folder.mp3")), mp3status::kFileNotFound);
    std::filesystem::create_directory(dir.File("dir.mp3"));
    EXPECT_EQ(mng.CheckFile(WriteMp3(dir, "dir.mp3/noext", {})), mp3status::kNotMp3)
        << "a dot in a folder name is no extension";

    mng.Open(dir.File("song.wav"));
    EXPECT_FALSE(mng.HasTag());
    EXPECT_EQ(mng.ReadTag(), mp3status::kNotMp3);
    EXPECT_EQ(mng.WriteTag(), mp3status::kNotMp3);
}

TEST(Mp3Mng, FileShorterThanATagFailsTheRead)
{
    TempDir dir;
    const std::string path = dir.File("short.mp3");
    WriteFile(path, Bytes(100, 'T'));
    Mp3Mng mng;
    EXPECT_EQ(mng.Open(path), mp3status::kOk);
    EXPECT_FALSE(mng.HasTag());
    EXPECT_EQ(mng.ReadTag(), mp3status::kReadFailed);
    EXPECT_FALSE(mng.HasTag());
    EXPECT_EQ(mng.GetGenre(), 255);
}

TEST(Mp3Mng, FileWithoutTagKeepsCallerTextAndIsNeverWritten)
{
    TempDir dir;
    const std::string path = dir.File("plain.mp3");
    Bytes audio = MpegFrames(2);
    Append(audio, Padded(" abc", 128));
    WriteFile(path, audio);

    Mp3Mng mng;
    EXPECT_EQ(mng.Open(path), mp3status::kOk);
    EXPECT_FALSE(mng.HasTag());
    EXPECT_EQ(mng.GetGenre(), 255);
    std::string title = "unchanged";
    mng.GetTitle(title);
    EXPECT_EQ(title, "unchanged");
    std::string magic;
    mng.GetMagic(magic);
    EXPECT_EQ(magic, "ab") << "the trimmed first three bytes of the last 128";

    mng.SetTitle("would overwrite audio");
    EXPECT_EQ(mng.WriteTag(), mp3status::kNoTagInformation);
    EXPECT_EQ(Hex(ReadFile(path), 4096), Hex(audio, 4096));
}

TEST(Mp3Mng, WriteRefusesWhenTheTagVanishedSinceTheRead)
{
    TempDir dir;
    const std::string path = WriteMp3(dir, "changed.mp3", {});
    Mp3Mng mng;
    mng.Open(path);
    ASSERT_TRUE(mng.HasTag());

    // Another program appends audio after the tag was read.
    Bytes file = ReadFile(path);
    Append(file, MpegFrames(1));
    WriteFile(path, file);

    mng.SetTitle("x");
    EXPECT_EQ(mng.WriteTag(), mp3status::kNoTagInformation);
    EXPECT_EQ(Hex(ReadFile(path), 4096), Hex(file, 4096));
}

TEST(Mp3Mng, LongPathsAreKeptWhole)
{
    TempDir dir;
    std::string folder = dir.Path();
    while (folder.size() < 300) {
        folder += "/" + std::string(60, 'd');
        std::filesystem::create_directory(folder);
    }
    Id3v1Fields fields;
    fields.Title = "Deep";
    const std::string path = folder + "/song.mp3";
    Mp3Builder().Audio(1).Id3v1(fields).WriteTo(path);

    Mp3Mng mng;
    mng.Open(path);
    ASSERT_TRUE(mng.HasTag());
    mng.SetTitle("Deeper");
    EXPECT_EQ(mng.WriteTag(), mp3status::kOk);
    EXPECT_EQ(Hex(FieldOf(Last128(ReadFile(path)), 3, 30)), Hex(Padded("Deeper", 30)));
}

TEST(Mp3Mng, UnreadableFileGivesOpenFailed)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs POSIX permission bits that deny reading";
#else
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root opens every file";
    }
    TempDir dir;
    const std::string path = WriteMp3(dir, "secret.mp3", {});
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    Mp3Mng mng;
    mng.Open(path);
    EXPECT_FALSE(mng.HasTag());
    EXPECT_EQ(mng.ReadTag(), mp3status::kOpenFailed);
#endif
}

TEST(Mp3Mng, ShowStatusReachesTheHookOnlyWhenMessagesAreOn)
{
    TempDir dir;
    std::vector<std::pair<int, std::string>> shown;
    Mp3Mng mng;
    mng.StatusHook = [&shown](Mp3Status code, const std::string& text) {
        shown.emplace_back(static_cast<int>(code), text);
    };
    mng.Open(dir.File("missing.mp3"));
    EXPECT_TRUE(shown.empty()) << "ShowMessages is off after construction";

    mng.ShowMessages = true;
    mng.Open(dir.File("missing.mp3"));
    mng.Open(WriteMp3(dir, "fine.mp3", {}));
    mng.ShowStatus(mp3status::kAttributesNotRestored);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], std::make_pair(1, std::string("File not't found.")));
    EXPECT_EQ(shown[1], std::make_pair(4096, std::string("That's all right")));
}

TEST(Mp3Mng, StatusTextsAreTheProgramOwnWording)
{
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{1}), "File not't found.");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{2}), "The file is not a *.mp3 one.");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{3}), "Can't get Tag information.");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{4}), "Set flag error.");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{5}), "Set title error.");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{6}), "Set artist Error");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{7}), "Set albumError");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{8}), "Set year Error");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{9}), "Set comment Error");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{12}), "");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{14}), "Open file failed");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{15}), "Read file failed");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{16}), "");
    EXPECT_EQ(Mp3Mng::StatusText(Mp3Status{4096}), "That's all right");
}
