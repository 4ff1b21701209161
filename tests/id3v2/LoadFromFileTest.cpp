#include "ReaderFixture.h"

#include <filesystem>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace varnello;
using namespace varnello::readertest;
using testsupport::Id3v2Builder;
using testsupport::ToBytes;

namespace {

constexpr std::uint64_t k4GiB = 1ull << 32;

// Writes bytes at a position of a file, growing it sparsely.
void WriteAt(const std::string& path, std::uint64_t position, const Bytes& bytes)
{
    if (!std::filesystem::exists(path)) {
        std::ofstream(path, std::ios::binary).flush();
    }
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    ASSERT_TRUE(file) << path;
    file.seekp(static_cast<std::streamoff>(position));
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    ASSERT_FALSE(file.fail()) << path;
}

void Resize(const std::string& path, std::uint64_t size)
{
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    ASSERT_FALSE(error) << path << ": " << error.message();
}

// Sparse files cost no disk space where the file system supports them.
bool IsSparse(const std::string& path)
{
#ifdef _WIN32
    static_cast<void>(path);
    return false; // a Windows file is sparse only when asked to be
#else
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 &&
           static_cast<std::uint64_t>(info.st_blocks) * 512u < (64u << 20);
#endif
}

Bytes SampleTag(const std::string& title)
{
    return Id3v2Builder()
        .ExtendedHeaderV3(64)
        .TextFrame("TIT2", title)
        .TextFrame("TPE1", "Artist of " + title)
        .CompressedFrameV3("COMM", testsupport::Latin1Comment("eng", "", title + " comment"))
        .Padding(64)
        .Build();
}

} // namespace

TEST_F(ReaderTest, MissingFolderAndEmptyNamesCannotBeOpened)
{
    m_tag.Frames.AddFrame("TIT2");
    m_tag.FileName = "before";
    EXPECT_EQ(m_tag.LoadFromFile(m_dir.File("missing.mp3"), 0), status::kCannotOpen);
    EXPECT_EQ(m_tag.LoadFromFile("", 0), status::kCannotOpen);
    const std::string folder = m_dir.File("folder.mp3");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(m_tag.LoadFromFile(folder, 0), status::kCannotOpen) << "a folder is not a file";
    EXPECT_EQ(m_tag.Frames.Count(), 1u) << "the object is left as it was";
    EXPECT_EQ(m_tag.FileName, "before");
    EXPECT_TRUE(m_tag.LoadComplete);
}

TEST_F(ReaderTest, OffsetAtOrPastTheEndOfTheFile)
{
    const std::string path = m_dir.File("short.mp3");
    testsupport::WriteFile(path, SampleTag("x"));
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path));
    EXPECT_EQ(m_tag.LoadFromFile(path, size), status::kPastEof);
    EXPECT_EQ(m_tag.LoadFromFile(path, size + 1000), status::kPastEof);
    EXPECT_EQ(m_tag.LoadFromFile(path, -1), status::kPastEof);
    EXPECT_TRUE(m_tag.FileName.empty()) << "FileName is set only once the tag is read";
    EXPECT_EQ(m_tag.LoadFromFile(path, size - 9), status::kNoTag) << "9 bytes left";
    EXPECT_EQ(m_tag.LoadFromFile(path, 0), status::kOk);
    EXPECT_EQ(m_tag.FileName, path);
    EXPECT_FALSE(m_tag.ReadOnly);
}

TEST_F(ReaderTest, TagAtAnOffsetAfterOtherData)
{
    const std::string path = m_dir.File("offset.mp3");
    Bytes file = testsupport::MpegFrames(3);
    const auto offset = static_cast<std::int64_t>(file.size());
    testsupport::Append(file, SampleTag("later"));
    testsupport::WriteFile(path, file);
    ASSERT_EQ(m_tag.LoadFromFile(path, offset), status::kOk);
    EXPECT_EQ(m_tag.TagOffset, static_cast<std::uint64_t>(offset));
    EXPECT_EQ(m_tag.Frames.Count(), 3u);
}

TEST_F(ReaderTest, ReadOnlyFileLoadsAndIsMarked)
{
    const std::string path = m_dir.File("ro.mp3");
    testsupport::WriteFile(path, SampleTag("ro"));
    std::filesystem::permissions(path, std::filesystem::perms(0444));
    ASSERT_EQ(m_tag.LoadFromFile(path, 0), status::kOk);
    EXPECT_TRUE(m_tag.ReadOnly);
    std::filesystem::permissions(path, std::filesystem::perms(0644));
    ASSERT_EQ(m_tag.LoadFromFile(path, 0), status::kOk);
    EXPECT_FALSE(m_tag.ReadOnly);
}

TEST_F(ReaderTest, FileThatShrinksDuringTheLoadGivesReadError)
{
    const std::string path = m_dir.File("shrinks.mp3");
    const Bytes big(200000, 0x41);
    testsupport::WriteFile(path, Id3v2Builder().Frame("TXXX", big).Build());
    bool cut = false;
    m_tag.OnProgress = [&](const Tid3v2tag& tag) {
        if (!cut && tag.Progress > 0 && tag.Progress < 100) {
            cut = true;
            Resize(path, 1000);
        }
    };
    EXPECT_EQ(m_tag.LoadFromFile(path, 0), status::kReadError);
    EXPECT_TRUE(cut);
    EXPECT_EQ(m_tag.LoadStatus, status::kReadError)
        << "a half-read tag must not look loaded to a later save";
}

// Every prefix of a tag, and every shortened tag size, must give a status:
// no crash, no hang, no read past what the tag declares.
TEST_F(ReaderTest, TruncatedTagsAtEveryLengthGiveAStatus)
{
    const Bytes v3 = Id3v2Builder()
                         .Unsync()
                         .ExtendedHeaderV3(20, 0x12345678u)
                         .TextFrame("TIT2", "\xFF\xE0 title")
                         .CompressedFrameV3("COMM", testsupport::Latin1Comment("eng", "", "c"))
                         .Frame("TXXX", {1}, 0xE0, 0xE0, {0, 0, 0, 9, 1, 2})
                         .Padding(20)
                         .Build();
    Bytes added{0x42, 0x81};
    testsupport::AppendSyncsafe32(added, 3);
    const Bytes v4 = Id3v2Builder()
                         .Version(4)
                         .ExtendedHeaderV4(true, 0xABCDEF01u, 0x12)
                         .TextFrame("TIT2", "title")
                         .Frame("TXXX", {1, 2, 3}, 0x70, 0x4F, added)
                         .Padding(10)
                         .Build();
    const Bytes audio = testsupport::MpegFrames(1);
    for (const Bytes* tag : {&v3, &v4}) {
        for (std::size_t length = 0; length <= tag->size(); ++length) {
            // The file itself ends early.
            Bytes cut(tag->begin(), tag->begin() + static_cast<std::ptrdiff_t>(length));
            const StatusWord fileCut = LoadFile(cut);
            EXPECT_TRUE(length < tag->size() ? !status::IsSuccess(fileCut) : fileCut == status::kOk)
                << "cut at " << length << ": " << StatusHex(fileCut);
            // The tag says it ends early; audio follows.
            if (length >= 10) {
                Bytes shortened = cut;
                const auto body = static_cast<std::uint32_t>(length - 10);
                for (int k = 0; k < 4; ++k) {
                    shortened[static_cast<std::size_t>(9 - k)] =
                        static_cast<std::uint8_t>((body >> (7 * k)) & 0x7F);
                }
                testsupport::Append(shortened, audio);
                const StatusWord got = LoadFile(shortened);
                EXPECT_TRUE(status::IsSuccess(got) || got.Error() == status::kBadTag ||
                            got.Error() == status::kBadFrameId)
                    << "size " << body << ": " << StatusHex(got);
                EXPECT_TRUE(m_tag.LoadComplete);
            }
        }
    }
}

TEST_F(ReaderTest, TwoThreadsLoadDifferentTagsAtOnce)
{
    const std::string first = m_dir.File("first.mp3");
    const std::string second = m_dir.File("second.mp3");
    const Bytes big(150000, 0x5A);
    testsupport::Mp3Builder()
        .Tag(Id3v2Builder().Unsync().TextFrame("TIT2", "First").Frame("TXXX", big).Build())
        .Audio(2)
        .WriteTo(first);
    testsupport::Mp3Builder()
        .Tag(Id3v2Builder().Version(4).TextFrame("TIT2", "Second").Padding(70000).Build())
        .Audio(2)
        .WriteTo(second);
    const auto worker = [](const std::string& path, const char* title, int& failures) {
        for (int round = 0; round < 40; ++round) {
            Tid3v2tag tag;
            const StatusWord got = tag.LoadFromFile(path, 0);
            const bool ok = got == status::kOk && tag.Frames.Count() >= 1 &&
                            tag.Frames.Record(1).Data == testsupport::Latin1Text(title);
            failures += ok ? 0 : 1;
        }
    };
    int firstFailures = 0;
    int secondFailures = 0;
    std::thread a(worker, std::cref(first), "First", std::ref(firstFailures));
    std::thread b(worker, std::cref(second), "Second", std::ref(secondFailures));
    a.join();
    b.join();
    EXPECT_EQ(firstFailures, 0);
    EXPECT_EQ(secondFailures, 0);
}

// Positions above 4 GiB must not wrap: a tag there is read from there, and
// a tag straddling the 4 GiB mark is read whole.
TEST_F(ReaderTest, TagsBeyondFourGiBInASparseFile)
{
    const std::string path = m_dir.File("huge.mp3");
    const Bytes tag = SampleTag("far away");
    const std::uint64_t far = k4GiB + 4096;
    const std::uint64_t straddling = k4GiB - 20;
    // Something that looks like a tag where a wrapped position would land.
    WriteAt(path, 4096, Id3v2Builder().TextFrame("TIT2", "decoy").Build());
    WriteAt(path, straddling, tag);
    WriteAt(path, far, tag);
    Resize(path, far + tag.size() + 1000);
    if (!IsSparse(path)) {
        GTEST_SKIP() << "the temporary folder does not support sparse files";
    }
    for (const std::uint64_t offset : {far, straddling}) {
        Tid3v2tag loaded;
        ASSERT_EQ(loaded.LoadFromFile(path, static_cast<std::int64_t>(offset)), status::kOk)
            << offset;
        EXPECT_EQ(loaded.TagOffset, offset);
        ASSERT_EQ(loaded.Frames.Count(), 3u) << offset;
        EXPECT_EQ(loaded.Frames.Record(1).Data, testsupport::Latin1Text("far away"));
    }
    // A tag whose size runs past the end is still refused at 4 GiB and beyond.
    Bytes tooLong = tag;
    tooLong[9] = 0x7F;
    tooLong[8] = 0x7F;
    WriteAt(path, far, tooLong);
    Tid3v2tag loaded;
    EXPECT_EQ(loaded.LoadFromFile(path, static_cast<std::int64_t>(far)), status::kBadTagSize);
}

TEST_F(ReaderTest, Version3FrameMayNotEndPastTheLargestTagSize)
{
    // A sparse tag of the largest size the header can state, whose single
    // frame runs a few bytes past 256 MiB from the tag offset.
    const std::string path = m_dir.File("largest.mp3");
    const std::uint32_t tagSize = 0x0FFFFFFF;
    Bytes start = Id3v2Builder().SizeOverride(tagSize).Build();
    Bytes frame = ToBytes("TXXX");
    testsupport::AppendBE32(frame, tagSize - 10);
    frame.insert(frame.end(), {0, 0});
    testsupport::Append(start, frame);
    WriteAt(path, 0, start);
    Resize(path, std::uint64_t{tagSize} + 10 + 100);
    if (!IsSparse(path)) {
        GTEST_SKIP() << "the temporary folder does not support sparse files";
    }
    EXPECT_EQ(m_tag.LoadFromFile(path, 0), status::kBadTag);
    EXPECT_EQ(m_tag.Frames.Count(), 0u);
}
