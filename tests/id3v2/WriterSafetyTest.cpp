// A save must never damage the file it writes: failures and crashes at any
// moment leave either the old file or the new one.

#include "FileStream.h"
#include "WriterTestSupport.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace varnello;
using namespace varnello::writertest;
using testsupport::Id3v2Builder;
#ifndef _WIN32
using testsupport::InChild;
#endif
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

Bytes OldFile(std::size_t audioSize)
{
    Bytes file = Id3v2Builder().TextFrame("TIT2", "Old title").Padding(100).Build();
    testsupport::Append(file, Pattern(audioSize));
    return file;
}

// A tag that no longer fits the old one's place, so the audio must move.
void FillGrowingTag(Tid3v2tag& tag)
{
    AddText(tag, "TIT2", "A new title");
    AddFrame(tag, "PRIV", Pattern(3000, 9));
}

void ThrowFor(SaveOperation op)
{
    switch (op) {
    case SaveOperation::Read:
        throw EReadError("injected read failure");
    case SaveOperation::Truncate:
        throw EInOutError("injected failure");
    case SaveOperation::CreateTemporary:
        throw EFileOpenError("injected: folder not writable");
    default:
        throw EWriteError("injected write failure");
    }
}

StatusWord ExpectedStatus(SaveOperation op)
{
    switch (op) {
    case SaveOperation::Read:
        return status::kReadError;
    case SaveOperation::Truncate:
        return status::kIoError;
    default:
        return status::kWriteError;
    }
}

} // namespace

TEST(SafeSave, EveryFailureBeforeTheRenameLeavesTheOriginal)
{
    const Bytes original = OldFile(100000);
    Bytes saved;
    {
        TempDir dir;
        WriteFile(dir.File("a.mp3"), original);
        Tid3v2tag tag;
        FillGrowingTag(tag);
        ASSERT_EQ(Save(tag, dir.File("a.mp3")), status::kOk);
        saved = ReadFile(dir.File("a.mp3"));
    }
    bool completed = false;
    for (int failAt = 0; !completed && failAt < 1000; ++failAt) {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        WriteFile(path, original);
        int seen = 0;
        std::optional<SaveOperation> failed;
        SaveOptions options;
        options.BeforeOperation = [&](SaveOperation op) {
            if (seen++ == failAt) {
                failed = op;
                ThrowFor(op);
            }
        };
        Tid3v2tag tag;
        FillGrowingTag(tag);
        const StatusWord result = Save(tag, path, 255, options);
        if (!failed) {
            completed = true;
            EXPECT_EQ(result, status::kOk);
            EXPECT_EQ(ReadFile(path), saved);
        } else if (*failed == SaveOperation::CreateTemporary) {
            // No temporary file: the audio moves inside the file instead.
            EXPECT_EQ(result, status::kOk) << "operation " << failAt;
            EXPECT_EQ(ReadFile(path), saved) << "operation " << failAt;
        } else {
            EXPECT_EQ(result, ExpectedStatus(*failed)) << "operation " << failAt;
            EXPECT_EQ(ReadFile(path), original)
                << "operation " << failAt << " (" << static_cast<int>(*failed)
                << ") damaged the file";
        }
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"a.mp3"})
            << "operation " << failAt << " left a temporary file";
    }
    EXPECT_TRUE(completed);
}

TEST(SafeSave, AFileSizeLimitFailsTheSaveAndKeepsTheOriginal)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs fork and a file size limit (POSIX)";
#else
    const Bytes original = OldFile(200000);
    for (const rlim_t limit : {rlim_t{0}, rlim_t{4096}, rlim_t{100000}, rlim_t{original.size()}}) {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        WriteFile(path, original);
        const int code = InChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit fsize{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &fsize);
            Tid3v2tag tag;
            FillGrowingTag(tag);
            return static_cast<int>(Save(tag, path).ErrorCode());
        });
        EXPECT_EQ(code, status::kWriteError.ErrorCode()) << "limit " << limit;
        EXPECT_EQ(ReadFile(path), original) << "limit " << limit;
        EXPECT_EQ(FolderEntries(dir.Path()).size(), 1u) << "limit " << limit;
    }
#endif
}

TEST(SafeSave, AFullDiskStopsAMoveInsideTheFileBeforeAnyAudioMoves)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs fork and a file size limit (POSIX)";
#else
    // A second hard link rules out the temporary file: a rename would cut
    // the link.
    const Bytes original = OldFile(200000);
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    WriteFile(path, original);
    ASSERT_EQ(::link(path.c_str(), dir.File("b.mp3").c_str()), 0);
    const int code = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fsize{original.size() + 10, original.size() + 10};
        ::setrlimit(RLIMIT_FSIZE, &fsize);
        Tid3v2tag tag;
        FillGrowingTag(tag);
        return static_cast<int>(Save(tag, path).ErrorCode());
    });
    EXPECT_EQ(code, status::kWriteError.ErrorCode());
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_EQ(Inode(path), Inode(dir.File("b.mp3")));
#endif
}

TEST(SafeSave, AKilledSaveLeavesTheOldOrTheNewFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs fork and kill (POSIX)";
#else
    const Bytes original = OldFile(1 << 20);
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    WriteFile(path, original);
    const auto started = std::chrono::steady_clock::now();
    {
        Tid3v2tag tag;
        FillGrowingTag(tag);
        ASSERT_EQ(Save(tag, path), status::kOk);
    }
    const auto saveTime = std::chrono::steady_clock::now() - started;
    const Bytes saved = ReadFile(path);
    ASSERT_NE(saved, original);

    std::mt19937 random(12345);
    const auto window = std::chrono::duration_cast<std::chrono::microseconds>(saveTime) * 3 / 2;
    std::uniform_int_distribution<long> delay(0, std::max<long>(window.count(), 1000));
    int oldSeen = 0;
    int newSeen = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (int round = 0; round < 40 && std::chrono::steady_clock::now() < deadline; ++round) {
        WriteFile(path, original);
        const pid_t pid = ::fork();
        if (pid == 0) {
            Tid3v2tag tag;
            FillGrowingTag(tag);
            ::_exit(static_cast<int>(Save(tag, path).ErrorCode()));
        }
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const Bytes now = ReadFile(path);
        if (now == original) {
            ++oldSeen;
        } else {
            ASSERT_EQ(now, saved) << "round " << round << ": a mix of old and new";
            ++newSeen;
        }
        for (const std::string& name : FolderEntries(dir.Path())) {
            if (name != "a.mp3") {
                ::unlink(dir.File(name).c_str()); // left by the killed save
            }
        }
    }
    EXPECT_GT(oldSeen + newSeen, 0);
    std::cout << "[          ] killed saves: " << oldSeen << " left the old file, " << newSeen
              << " the new one\n";
#endif
}

TEST(SafeSave, KeepsThePermissionBitsOfAReplacedFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs POSIX permission bits";
#else
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    WriteFile(path, OldFile(5000));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::uint64_t inode = Inode(path);
    Tid3v2tag tag;
    FillGrowingTag(tag);
    ASSERT_EQ(Save(tag, path), status::kOk);
    ASSERT_NE(Inode(path), inode) << "expected the save through a temporary file";
    struct stat info
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
#endif
}

TEST(SafeSave, ASymbolicLinkStaysALink)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, which Windows gives only with a privilege";
#else
    TempDir dir;
    const std::string target = dir.File("real.mp3");
    const std::string link = dir.File("link.mp3");
    WriteFile(target, OldFile(5000));
    ASSERT_EQ(::symlink("real.mp3", link.c_str()), 0);
    Tid3v2tag tag;
    FillGrowingTag(tag);
    ASSERT_EQ(Save(tag, link), status::kOk);
    struct stat info
    {
    };
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFile(target), ReadFile(link));
    EXPECT_EQ(Slice(ReadFile(target), 0, 3), (Bytes{'I', 'D', '3'}));
    EXPECT_NE(ReadFile(target), OldFile(5000));
#endif
}

TEST(SaveToFile, SameFileNameAndNegativeOffsetMeanTheLoadedPlace)
{
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const Bytes junk = Pattern(100, 5);
    Bytes original = junk;
    testsupport::Append(original, OldFile(500));
    WriteFile(path, original);
    Tid3v2tag tag;
    tag.FileName = path;
    tag.TagOffset = 100;
    tag.PaddingMode = 0;
    AddText(tag, "TIT2", "At 100");
    ASSERT_EQ(tag.SaveToFile("=", 255, 255, -1), status::kOk);
    Bytes expected = junk;
    testsupport::Append(expected, Id3v2Builder().TextFrame("TIT2", "At 100").Build());
    testsupport::Append(expected, Pattern(500));
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(tag.TagOffset, 100u);

    // Another name with a negative offset means offset 0.
    const std::string other = dir.File("b.mp3");
    WriteFile(other, Pattern(50));
    ASSERT_EQ(tag.SaveToFile(other, 255, 255, -5), status::kOk);
    EXPECT_EQ(Slice(ReadFile(other), 0, 3), (Bytes{'I', 'D', '3'}));
    EXPECT_EQ(tag.FileName, other);
    EXPECT_EQ(tag.TagOffset, 0u);
}

TEST(SaveToFile, RefusesWithoutOpeningTheFile)
{
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const Bytes original = OldFile(500);
    WriteFile(path, original);
    int operations = 0;
    SaveOptions options;
    options.BeforeOperation = [&operations](SaveOperation) { ++operations; };

    Tid3v2tag failedLoad;
    AddText(failedLoad, "TIT2", "x");
    failedLoad.LoadStatus = status::kBadTagSize;
    EXPECT_EQ(Save(failedLoad, path, 255, options), status::kBadTag);

    Tid3v2tag tag;
    AddText(tag, "TIT2", "x");
    EXPECT_EQ(Save(tag, dir.File("missing.mp3"), 255, options), status::kCannotOpen);
    EXPECT_EQ(Save(tag, dir.Path(), 255, options), status::kCannotOpen) << "a folder";
    EXPECT_EQ(SaveTagToFile(tag, "=", 255, 255, -1, options), status::kCannotOpen)
        << "no file name yet";
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(Save(tag, path, 255, options), status::kReadOnly);
    EXPECT_EQ(operations, 0);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_TRUE(tag.FileName.empty()) << "only a successful save sets the file name";
}

TEST(SafeSave, AFolderThatRefusesTheRenameGetsTheMoveInsideTheFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs setuid and sticky folders (POSIX)";
#else
    // A sticky folder lets others create files but not replace this one; the
    // file itself is writable for everyone, so the save still works.
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs to act as another user";
    }
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string folder = dir.File("shared");
    ASSERT_EQ(::mkdir(folder.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 01777), 0);
    const std::string path = folder + "/a.mp3";
    WriteFile(path, OldFile(50000));
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    const std::uint64_t inode = Inode(path);
    const int code = InChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            return 99;
        }
        Tid3v2tag tag;
        FillGrowingTag(tag);
        return static_cast<int>(Save(tag, path).ErrorCode());
    });
    ASSERT_NE(code, 99) << "could not become another user";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Inode(path), inode) << "the file stays the same file, with the same owner";
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"a.mp3"});
    Tid3v2tag loaded;
    ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk);
    EXPECT_EQ(loaded.Frames.Count(), 2u);
    EXPECT_EQ(Slice(ReadFile(path), loaded.TagSize + 10), Pattern(50000));
#endif
}
