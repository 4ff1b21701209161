// Saves that keep the file's modification time, on each way a save writes:
// in place, through a temporary file, moving the audio under a journal, and
// the ID3v1 block alone.

#include "FileCheck.h"
#include "FolderReader.h"
#include "Platform.h"
#include "TagSaver.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace varnello {
namespace {

using namespace testsupport;

// 2001-09-09 01:46:40 and some nanoseconds: no clock gives it by chance.
constexpr std::int64_t kOldSeconds = 1'000'000'000;
#ifdef _WIN32
constexpr std::int64_t kOldNanoseconds = 123'456'700; // file times count 100 ns
#else
constexpr std::int64_t kOldNanoseconds = 123'456'789;
#endif
constexpr std::int64_t kOldTime = kOldSeconds * 1'000'000'000 + kOldNanoseconds;

platform::FileInfo Stat(const std::string& path)
{
    platform::FileInfo info;
    EXPECT_FALSE(platform::QueryPath(path, platform::Follow::Links, info)) << path;
    return info;
}

struct KeptTimeCase
{
    const char* Name;
    bool InPlace;    // the file keeps its inode
    bool SecondLink; // a hard link keeps the audio move in the file
    bool OnlyId3v1;  // the file has no ID3v2 tag; the save empties the title
};

void PrintTo(const KeptTimeCase& c, std::ostream* out)
{
    *out << c.Name;
}

class KeptModificationTime : public testing::TestWithParam<KeptTimeCase>
{
};

TEST_P(KeptModificationTime, IsTheOldOneAfterTheSave)
{
    const KeptTimeCase& c = GetParam();
    if (!c.InPlace && !platform::CanReplaceOpenFile()) {
        GTEST_SKIP() << "no save replaces the open file here: the tag grows inside it";
    }
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    if (c.OnlyId3v1) {
        Mp3Builder().Audio(4).Id3v1(MakeId3v1("Old")).WriteTo(path);
    } else {
        // 64 bytes of padding: a short title fits, a long one does not.
        Mp3Builder()
            .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "Old").Padding(64).Build())
            .Audio(4)
            .WriteTo(path);
    }
    if (c.SecondLink) {
        ASSERT_NO_THROW(std::filesystem::create_hard_link(path, dir.File("link.mp3")));
    }
    {
        platform::Handle file;
        ASSERT_FALSE(platform::Open(path, platform::Access::ReadWrite, file));
        ASSERT_FALSE(platform::SetModifiedTime(file, kOldTime));
    }
    const std::uint64_t inode = Stat(path).Inode;

    FileRow row = FolderReader().ReadRow(dir.Path(), "a.mp3", 0);
    TagFields values;
    values.Title = c.OnlyId3v1 ? "" : c.InPlace ? "New" : std::string(200, 'n');
    std::vector<FileRow*> rows{&row};
    TagSaver saver;
    saver.KeepModificationTimes(true);
    ASSERT_TRUE(saver.SaveMultiple(dir.Path(), rows, values, fieldmask::kTitle).empty());

    const platform::FileInfo after = Stat(path);
    EXPECT_EQ(FolderReader().ReadRow(dir.Path(), "a.mp3", 0).Fields.Title, values.Title);
    EXPECT_EQ(after.Inode == inode, c.InPlace) << "not the save path the case is about";
    EXPECT_EQ(after.ModifiedNanoseconds, kOldTime);

    // Without the setting the time moves on.
    values.Title = "Again";
    ASSERT_TRUE(TagSaver().SaveMultiple(dir.Path(), rows, values, fieldmask::kTitle).empty());
    EXPECT_NE(Stat(path).ModifiedNanoseconds / 1'000'000'000, kOldSeconds);
}

INSTANTIATE_TEST_SUITE_P(SavePaths, KeptModificationTime,
                         testing::Values(KeptTimeCase{"FitsInPlace", true, false, false},
                                         KeptTimeCase{"TemporaryFile", false, false, false},
                                         KeptTimeCase{"JournaledMove", true, true, false},
                                         KeptTimeCase{"Id3v1BlockOnly", true, false, true}),
                         [](const testing::TestParamInfo<KeptTimeCase>& kept) {
                             return kept.param.Name;
                         });

} // namespace
} // namespace varnello
