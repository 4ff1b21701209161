// Saves that keep the file's modification time, on each way a save writes:
// in place, through a temporary file, moving the audio under a journal, and
// the ID3v1 block alone.

#include "FileCheck.h"
#include "FolderReader.h"
#include "TagSaver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnello {
namespace {

using namespace testsupport;

// 2001-09-09 01:46:40 and some nanoseconds: no clock gives it by chance.
constexpr std::int64_t kOldSeconds = 1'000'000'000;
constexpr long kOldNanoseconds = 123'456'789;

struct stat Stat(const std::string& path)
{
    struct stat st
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
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
        ASSERT_EQ(::link(path.c_str(), dir.File("link.mp3").c_str()), 0);
    }
    const std::array<timespec, 2> times{{{0, UTIME_OMIT}, {kOldSeconds, kOldNanoseconds}}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times.data(), 0), 0);
    const ino_t inode = Stat(path).st_ino;

    FileRow row = FolderReader().ReadRow(dir.Path(), "a.mp3", 0);
    TagFields values;
    values.Title = c.OnlyId3v1 ? "" : c.InPlace ? "New" : std::string(200, 'n');
    std::vector<FileRow*> rows{&row};
    TagSaver saver;
    saver.KeepModificationTimes(true);
    ASSERT_TRUE(saver.SaveMultiple(dir.Path(), rows, values, fieldmask::kTitle).empty());

    const struct stat after = Stat(path);
    EXPECT_EQ(FolderReader().ReadRow(dir.Path(), "a.mp3", 0).Fields.Title, values.Title);
    EXPECT_EQ(after.st_ino == inode, c.InPlace) << "not the save path the case is about";
    EXPECT_EQ(after.st_mtim.tv_sec, kOldSeconds);
    EXPECT_EQ(after.st_mtim.tv_nsec, kOldNanoseconds);

    // Without the setting the time moves on.
    values.Title = "Again";
    ASSERT_TRUE(TagSaver().SaveMultiple(dir.Path(), rows, values, fieldmask::kTitle).empty());
    EXPECT_NE(Stat(path).st_mtim.tv_sec, kOldSeconds);
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
