// Saves against failures, kills, rivals and tricks: whatever happens, the
// file ends as the complete old or the complete new file, no leftover of a
// save stays in the folder, and the file keeps its owner, mode and
// attributes. Runs that need root are skipped without it; VARNELLO_STRESS=1
// makes the random runs long.

#include "FileCheck.h"
#include "FileTestHelpers.h"
#include "FolderReader.h"
#include "Mp3Builder.h"
#include "SaveJournal.h"
#include "SaveToFile.h"
#include "TagSaver.h"
#include "UndoHistory.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace varnello {
namespace {

using namespace testsupport;

constexpr std::size_t kAudioSize = 40000; // audio that moves in several pieces

bool Stress()
{
    const char* value = std::getenv("VARNELLO_STRESS");
    return value != nullptr && std::string(value) == "1";
}

int Rounds(int normal, int stress)
{
    return Stress() ? stress : normal;
}

std::vector<std::string> Leftovers(const std::string& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : FolderEntries(folder)) {
        if (name.starts_with(".varnello-")) {
            found.push_back(name);
        }
    }
    return found;
}

struct stat Stat(const std::string& path)
{
    struct stat info
    {
    };
    ::lstat(path.c_str(), &info);
    return info;
}

std::size_t FirstDifference(const Bytes& a, const Bytes& b)
{
    const std::size_t common = std::min(a.size(), b.size());
    return static_cast<std::size_t>(
        std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common), b.begin()).first -
        a.begin());
}

std::string Describe(const Bytes& now, const Bytes& old, const Bytes& saved)
{
    return "file of " + std::to_string(now.size()) + " bytes (old " + std::to_string(old.size()) +
           ", new " + std::to_string(saved.size()) + "), starting " + Hex(now, 24);
}

// ---------------------------------------------------------------------------
// Every step of every way a save can go.

enum class SavePath
{
    Temporary,           // the tag grows: a new file replaces the old one
    MoveUpHardLinked,    // the tag grows in a file with two names
    MoveDownHardLinked,  // the tag shrinks in a file with two names
    MoveUpStateJournal,  // the tag grows, and the folder takes no file of the user
    InPlaceWithId3v1,    // the tag fits, and the ID3v1 block changes too
    InPlaceWithoutId3v1, // the tag fits, nothing else changes
};

struct PathCase
{
    SavePath Path;
    const char* Name;
    bool HardLinked;
    bool Id3v1;
    SaveOperation MustSee; // the operation that shows the path was taken
    bool AsOtherUser;      // saved by a user who may write the file but not its folder
};

std::ostream& operator<<(std::ostream& out, const PathCase& c)
{
    return out << c.Name;
}

constexpr uid_t kOtherUser = 12346;

bool IsRoot()
{
    return ::geteuid() == 0;
}

bool BecomeOtherUser()
{
    return ::setgroups(0, nullptr) == 0 && ::setgid(kOtherUser) == 0 && ::setuid(kOtherUser) == 0;
}

bool Grows(SavePath path)
{
    return path == SavePath::Temporary || path == SavePath::MoveUpHardLinked ||
           path == SavePath::MoveUpStateJournal;
}

Bytes OldFile(const PathCase& c)
{
    Id3v2Builder tag;
    tag.TextFrame("TIT2", "Old title");
    if (c.Path == SavePath::MoveDownHardLinked) {
        tag.Frame("PRIV", Pattern(20000, 7));
    }
    tag.Padding(Grows(c.Path) ? 10 : 500);
    Mp3Builder file;
    file.Tag(tag.Build()).Raw(Pattern(kAudioSize));
    if (c.Id3v1) {
        file.Id3v1(MakeId3v1("Old v1 title", "Artist"));
    }
    return file.Build();
}

std::array<std::uint8_t, 128> NewId3v1()
{
    const Bytes block = Id3v1Block(MakeId3v1("New v1 title", "Artist"));
    std::array<std::uint8_t, 128> out{};
    std::copy(block.begin(), block.end(), out.begin());
    return out;
}

// The case's save through one locked open, as the module makes it.
StatusWord SaveCase(const PathCase& c, const std::string& path, const SaveOptions& options)
{
    SaveTarget target;
    if (const StatusWord opened = target.Open(path); !status::IsSuccess(opened)) {
        return opened;
    }
    RecoverLockedFile(target);
    Tid3v2tag tag;
    if (const StatusWord loaded = LoadTagFromTarget(tag, target, 0); !status::IsSuccess(loaded)) {
        return loaded;
    }
    if (Grows(c.Path)) {
        tag.SetTextFrame("TIT2", "A new title");
        tag.SetTextFrame("TALB", std::string(3000, 'a'));
        tag.PaddingMode = 0;
    } else if (c.Path == SavePath::MoveDownHardLinked) {
        tag.Frames.DeleteFrame(tag.Frames.Find("PRIV"));
        tag.PaddingMode = 0;
    } else {
        tag.SetTextFrame("TIT2", "New title");
        tag.PaddingMode = 1;
        tag.PaddingLimit = tag.PaddingBlock - 1;
    }
    std::optional<std::array<std::uint8_t, 128>> tail;
    if (c.Id3v1) {
        tail = NewId3v1();
    }
    return SaveTagToTarget(tag, target, 255, 255, 0, options, tail);
}

void InjectFailure(SaveOperation op)
{
    switch (op) {
    case SaveOperation::Read:
        throw EReadError("injected read failure");
    case SaveOperation::Truncate:
    case SaveOperation::Journal:
        throw EInOutError("injected failure");
    case SaveOperation::CreateTemporary:
        throw EFileOpenError("injected: folder not writable");
    default:
        throw EWriteError("injected write failure");
    }
}

enum class Fault
{
    None,
    Throw, // the step fails
    Kill,  // the process dies before the step
};

struct Outcome
{
    bool Saved = false;    // the save reported success
    bool Reached = false;  // the faulty step came
    bool Killed = false;   // the process died
    bool TookPath = false; // the path under test was taken
    bool Exited = true;    // false when the child could not become the other user
};

class SaveSweep : public testing::TestWithParam<PathCase>
{
protected:
    void SetUp() override
    {
        if (!GetParam().AsOtherUser) {
            return;
        }
        if (!IsRoot()) {
            GTEST_SKIP() << "needs root to act as another user";
        }
        // The user's state folder takes the journal that the folder refuses.
        m_state = std::make_unique<TempDir>();
        ASSERT_EQ(::chown(m_state->Path().c_str(), kOtherUser, kOtherUser), 0);
        if (const char* old = std::getenv("XDG_STATE_HOME")) {
            m_oldState = old;
        }
        ::setenv("XDG_STATE_HOME", m_state->Path().c_str(), 1);
    }

    void TearDown() override
    {
        if (!m_state) {
            return;
        }
        if (m_oldState) {
            ::setenv("XDG_STATE_HOME", m_oldState->c_str(), 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
    }

    // A folder with the case's old file as a.mp3 (and b.mp3, a second name).
    std::string Prepare(const TempDir& dir) const
    {
        const std::string path = dir.File("a.mp3");
        WriteFile(path, OldFile(GetParam()));
        if (GetParam().HardLinked) {
            EXPECT_EQ(::link(path.c_str(), dir.File("b.mp3").c_str()), 0);
        }
        if (GetParam().AsOtherUser) {
            EXPECT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
            EXPECT_EQ(::chown(path.c_str(), kOtherUser, kOtherUser), 0);
        }
        return path;
    }

    std::vector<std::string> Names() const
    {
        return GetParam().HardLinked ? std::vector<std::string>{"a.mp3", "b.mp3"}
                                     : std::vector<std::string>{"a.mp3"};
    }

    std::vector<std::string> StateJournals() const
    {
        const std::string folder = m_state ? m_state->File("varnello") : std::string();
        return folder.empty() || !std::filesystem::exists(folder) ? std::vector<std::string>{}
                                                                  : FolderEntries(folder);
    }

    // The save, with the fault at step `at`; in a child process when it is
    // killed or made by the other user.
    Outcome Run(const std::string& path, Fault fault, int at = -1) const
    {
        const PathCase c = GetParam();
        const auto save = [&] {
            Outcome outcome;
            int seen = 0;
            SaveOptions options;
            options.BeforeOperation = [&](SaveOperation op) {
                outcome.TookPath = outcome.TookPath || op == c.MustSee;
                if (seen++ == at && fault != Fault::None) {
                    outcome.Reached = true;
                    if (fault == Fault::Kill) {
                        ::raise(SIGKILL);
                    }
                    InjectFailure(op);
                }
            };
            outcome.Saved = status::IsSuccess(SaveCase(c, path, options));
            return outcome;
        };
        if (fault != Fault::Kill && !c.AsOtherUser) {
            return save();
        }
        const int code = InChild([&] {
            if (c.AsOtherUser && !BecomeOtherUser()) {
                return 99;
            }
            const Outcome outcome = save();
            return (outcome.Saved ? 1 : 0) | (outcome.Reached ? 2 : 0) | (outcome.TookPath ? 4 : 0);
        });
        Outcome outcome;
        outcome.Exited = code != 99;
        outcome.Killed = code == 128 + SIGKILL;
        outcome.Reached = outcome.Killed || (code & 2) != 0;
        outcome.Saved = !outcome.Killed && (code & 1) != 0;
        outcome.TookPath = !outcome.Killed && (code & 4) != 0;
        return outcome;
    }

    // The new file: the result of the save left alone.
    Bytes Saved() const
    {
        TempDir dir;
        const std::string path = Prepare(dir);
        const Outcome outcome = Run(path, Fault::None);
        EXPECT_TRUE(outcome.Exited) << "could not become another user";
        EXPECT_TRUE(outcome.Saved);
        EXPECT_TRUE(outcome.TookPath) << "the save did not take the path under test";
        if (GetParam().Path == SavePath::InPlaceWithoutId3v1) {
            std::vector<SaveOperation> seen;
            SaveOptions options;
            options.BeforeOperation = [&seen](SaveOperation op) { seen.push_back(op); };
            WriteFile(dir.File("c.mp3"), OldFile(GetParam()));
            EXPECT_EQ(SaveCase(GetParam(), dir.File("c.mp3"), options), status::kOk);
            EXPECT_EQ(std::count(seen.begin(), seen.end(), SaveOperation::Journal), 0);
            EXPECT_EQ(std::count(seen.begin(), seen.end(), SaveOperation::CreateTemporary), 0);
        }
        return ReadFile(path);
    }

    // After the save and a recovery of its folder: the old or the new file
    // under every name, and nothing else in the folder.
    void CheckAfter(const TempDir& dir, const Bytes& old, const Bytes& saved,
                    const std::string& where) const
    {
        RecoverFolder(dir.Path());
        const Bytes now = ReadFile(dir.File("a.mp3"));
        EXPECT_TRUE(now == old || now == saved) << where << ": " << Describe(now, old, saved);
        if (GetParam().HardLinked) {
            EXPECT_EQ(Stat(dir.File("a.mp3")).st_ino, Stat(dir.File("b.mp3")).st_ino) << where;
        }
        EXPECT_EQ(FolderEntries(dir.Path()), Names()) << where << " left a file behind";
        EXPECT_EQ(StateJournals(), std::vector<std::string>{}) << where << " left a journal";
    }

    std::unique_ptr<TempDir> m_state;
    std::optional<std::string> m_oldState;
};

TEST_P(SaveSweep, AFailureAtAnyStepLeavesTheOldOrTheNewFile)
{
    const Bytes old = OldFile(GetParam());
    const Bytes saved = Saved();
    ASSERT_NE(old, saved);
    bool completed = false;
    int steps = 0;
    for (int failAt = 0; !completed && failAt < 2000; ++failAt) {
        TempDir dir;
        const std::string path = Prepare(dir);
        const Outcome outcome = Run(path, Fault::Throw, failAt);
        ASSERT_TRUE(outcome.Exited) << "could not become another user";
        completed = !outcome.Reached;
        const std::string where = "failure at step " + std::to_string(failAt);
        const Bytes now = ReadFile(path);
        if (outcome.Saved) {
            EXPECT_EQ(now, saved) << where << ": reported success";
        } else {
            EXPECT_EQ(now, old) << where << ": reported failure";
        }
        CheckAfter(dir, old, saved, where);
        steps = failAt;
    }
    EXPECT_TRUE(completed);
    std::cout << "[          ] a failure at each of " << steps << " steps\n";
}

TEST_P(SaveSweep, AKillAtAnyStepLeavesTheOldOrTheNewFile)
{
    const Bytes old = OldFile(GetParam());
    const Bytes saved = Saved();
    bool completed = false;
    int oldSeen = 0;
    int journalsLeft = 0;
    int steps = 0;
    for (int killAt = 0; !completed && killAt < 2000; ++killAt) {
        TempDir dir;
        const std::string path = Prepare(dir);
        const Outcome outcome = Run(path, Fault::Kill, killAt);
        ASSERT_TRUE(outcome.Exited) << "could not become another user";
        completed = !outcome.Killed;
        const std::string where = "kill at step " + std::to_string(killAt);
        if (completed) {
            EXPECT_TRUE(outcome.Saved) << where;
        }
        oldSeen += ReadFile(path) == old ? 1 : 0;
        journalsLeft += StateJournals().empty() ? 0 : 1;
        CheckAfter(dir, old, saved, where);
        // The next save of the file finishes any recovery and works.
        EXPECT_TRUE(Run(path, Fault::None).Saved) << where;
        EXPECT_EQ(ReadFile(path), saved) << where << ": the save after the kill";
        steps = killAt;
    }
    std::cout << "[          ] a kill at each of " << steps << " steps, " << oldSeen
              << " left the old file\n";
    EXPECT_TRUE(completed);
    EXPECT_GT(oldSeen, 0);
    if (GetParam().Path == SavePath::MoveUpStateJournal) {
        EXPECT_GT(journalsLeft, 0) << "no kill left a journal in the state folder";
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryPath, SaveSweep,
    testing::Values(PathCase{SavePath::Temporary, "Temporary", false, false,
                             SaveOperation::CreateTemporary, false},
                    PathCase{SavePath::MoveUpHardLinked, "MoveUpHardLinked", true, false,
                             SaveOperation::Journal, false},
                    PathCase{SavePath::MoveDownHardLinked, "MoveDownHardLinked", true, false,
                             SaveOperation::Journal, false},
                    PathCase{SavePath::MoveUpStateJournal, "MoveUpStateJournal", false, false,
                             SaveOperation::Journal, true},
                    PathCase{SavePath::InPlaceWithId3v1, "InPlaceWithId3v1", false, true,
                             SaveOperation::Journal, false},
                    PathCase{SavePath::InPlaceWithoutId3v1, "InPlaceWithoutId3v1", false, false,
                             SaveOperation::Write, false}),
    [](const testing::TestParamInfo<PathCase>& param) { return std::string(param.param.Name); });

// ---------------------------------------------------------------------------
// Kills at random moments of a move inside a hard-linked file.

bool GrowingSave(const std::string& path, std::size_t growth)
{
    Tid3v2tag tag;
    SaveTarget target;
    EXPECT_EQ(target.Open(path), status::kOk);
    EXPECT_EQ(LoadTagFromTarget(tag, target, 0), status::kOk);
    tag.SetTextFrame("TIT2", "Grown");
    tag.SetTextFrame("TALB", std::string(growth, 'g'));
    tag.PaddingMode = 0;
    const StatusWord result = SaveTagToTarget(tag, target, 255, 255, 0, {});
    if (!status::IsSuccess(result)) {
        std::cout << "save failed with " << result << "\n";
    }
    return status::IsSuccess(result);
}

// Runs `work` in a child process killed after `delay` microseconds, then
// recovers the folder as the next save would; the number of files rolled
// back from a journal.
int KillAfterAndRecover(double delay, const std::string& folder, const std::function<bool()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(work() ? 0 : 1);
    }
    ::usleep(static_cast<useconds_t>(delay));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    int rolledBack = 0;
    for (const RecoveredSave& recovered : RecoverFolder(folder)) {
        rolledBack += recovered.Restored ? 1 : 0;
    }
    return rolledBack;
}

TEST(SaveKills, AKilledMoveOfAHardLinkedFileIsRolledBack)
{
    const int kills = Rounds(40, 320);
    TempDir dir;
    TempDir scratch;
    const std::string path = dir.File("a.mp3");
    const Bytes old = Mp3Builder()
                          .Tag(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(10).Build())
                          .Raw(Pattern(1 << 20))
                          .Build();
    WriteFile(path, old);
    ASSERT_EQ(::link(path.c_str(), dir.File("b.mp3").c_str()), 0);
    const std::string reference = scratch.File("a.mp3");
    WriteFile(reference, old);
    ASSERT_EQ(::link(reference.c_str(), scratch.File("b.mp3").c_str()), 0);

    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> growth(5000, 40000);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int oldSeen = 0;
    int newSeen = 0;
    int rolledBack = 0; // killed while the audio moved
    for (int round = 0; round < kills; ++round) {
        const std::size_t grow = growth(random);
        WriteFile(reference, old);
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(GrowingSave(reference, grow));
        const double took =
            static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now() - started)
                                    .count());
        const Bytes saved = ReadFile(reference);
        // Half the delays spread evenly over their logarithm (microseconds
        // up), half evenly over the save, so that every phase gets its kills.
        const double window = std::max(2000.0, took * 2);
        const double delay =
            round % 2 == 0 ? std::pow(window, unit(random)) : window * unit(random);

        WriteFile(path, old);
        rolledBack +=
            KillAfterAndRecover(delay, dir.Path(), [&] { return GrowingSave(path, grow); });
        const Bytes now = ReadFile(path);
        ASSERT_TRUE(now == old || now == saved)
            << "round " << round << ": " << Describe(now, old, saved);
        (now == old ? oldSeen : newSeen)++;
        ASSERT_EQ(Leftovers(dir.Path()), std::vector<std::string>{}) << "round " << round;
    }
    std::cout << "[          ] " << kills << " kills: " << oldSeen << " left the old file, "
              << newSeen << " the new one, " << rolledBack << " rolled back from the journal\n";
    EXPECT_GT(oldSeen, 0);

    // One more save and a listing leave only the two names.
    const FileRow row = FolderReader().ReadRow(dir.Path(), "a.mp3", 0);
    TagFields edited = row.Fields;
    edited.Title = "After the kills";
    EXPECT_TRUE(TagSaver().SaveSingle(dir.Path(), row, edited).Id3v2Saved);
    EXPECT_EQ(FolderReader::ListMp3Names(dir.Path()), (std::vector<std::string>{"a.mp3", "b.mp3"}));
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"a.mp3", "b.mp3"}));
    EXPECT_EQ(LoadId3v2(path).Title, "After the kills");
}

// An undo puts the old tag back with a save's own machinery: killed at any
// moment, it too leaves the saved file or the old one, in a file whose other
// link keeps the audio move inside it (journaled) and in one replaced
// through a temporary file.
TEST(SaveKills, AKilledUndoLeavesTheSavedFileOrTheOldOne)
{
    const int kills = Rounds(20, 160);
    TempDir dir;
    const Bytes old = Mp3Builder()
                          .Tag(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(10).Build())
                          .Raw(Pattern(1 << 20))
                          .Build();
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int oldSeen = 0;
    int rolledBack = 0;
    for (const bool linked : {true, false}) {
        const std::string path = dir.File(linked ? "linked.mp3" : "single.mp3");
        WriteFile(path, old);
        if (linked) {
            ASSERT_EQ(::link(path.c_str(), dir.File("link.mp3").c_str()), 0);
        }
        // The save to take back: a title longer than the old tag's padding.
        UndoRecorder recorder;
        TagSaver saver;
        saver.RecordUndo(&recorder);
        const FileRow row = FolderReader().ReadRow(dir.Path(), platform::NameOf(path), 0);
        TagFields edited = row.Fields;
        edited.Title = std::string(3000, 't');
        ASSERT_TRUE(saver.SaveSingle(dir.Path(), row, edited).Id3v2Saved);
        const UndoStep step = recorder.Take("save");
        ASSERT_EQ(step.Tags.size(), 1u);
        const Bytes saved = ReadFile(path);
        const std::int64_t savedTime = step.Tags.front().After.ModifiedNanoseconds;
        const std::array<timespec, 2> times{
            {{0, UTIME_OMIT}, {savedTime / 1'000'000'000, savedTime % 1'000'000'000}}};
        for (int round = 0; round < kills; ++round) {
            WriteFile(path, saved); // as the save left it, time and all
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times.data(), 0), 0);
            const double window = 20000; // microseconds: an undo takes a few
            const double delay =
                round % 2 == 0 ? std::pow(window, unit(random)) : window * unit(random);
            rolledBack += KillAfterAndRecover(
                delay, dir.Path(), [&] { return RevertStep(step, false).Failures.empty(); });
            const Bytes now = ReadFile(path);
            ASSERT_TRUE(now == old || now == saved) << (linked ? "linked" : "single") << " round "
                                                    << round << ": " << Describe(now, saved, old);
            oldSeen += now == old ? 1 : 0;
            ASSERT_EQ(Leftovers(dir.Path()), std::vector<std::string>{}) << "round " << round;
        }
    }
    std::cout << "[          ] " << 2 * kills << " kills of an undo: " << oldSeen
              << " left it undone, " << 2 * kills - oldSeen << " the file as saved, " << rolledBack
              << " rolled back from the journal\n";
}

// A power cut can leave a journal whose header reached the disk and whose
// old bytes did not (the save stops before the file changes until the whole
// journal is flushed). Recovery must not write such bytes into the file.
TEST(SaveKills, AJournalWhoseOldBytesDoNotMatchTheirCrcIsNotApplied)
{
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const Bytes old = Mp3Builder()
                          .Tag(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(10).Build())
                          .Raw(Pattern(200000))
                          .Build();
    WriteFile(path, old);
    ASSERT_EQ(::link(path.c_str(), dir.File("b.mp3").c_str()), 0);
    // Stopped as the move begins: the journal is complete and the file not
    // changed yet.
    const int exited = InChild([&] {
        Tid3v2tag tag;
        SaveTarget target;
        if (target.Open(path) != status::kOk || LoadTagFromTarget(tag, target, 0) != status::kOk) {
            return 2;
        }
        tag.SetTextFrame("TALB", std::string(20000, 'g'));
        tag.PaddingMode = 0;
        SaveOptions options;
        options.BeforeOperation = [](SaveOperation op) {
            if (op == SaveOperation::Extend) {
                ::_exit(0);
            }
        };
        SaveTagToTarget(tag, target, 255, 255, 0, options);
        return 1;
    });
    ASSERT_EQ(exited, 0) << "the save did not reach the move";
    std::vector<std::string> journals;
    for (const std::string& name : FolderEntries(dir.Path())) {
        if (IsJournalName(name)) {
            journals.push_back(name);
        }
    }
    ASSERT_EQ(journals.size(), 1u);
    // The last old byte as a torn write leaves it.
    Bytes journal = ReadFile(dir.File(journals.front()));
    journal.back() ^= 0x5A;
    WriteFile(dir.File(journals.front()), journal);

    RecoverFolder(dir.Path());
    EXPECT_EQ(ReadFile(path), old) << "the torn journal was applied";
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"a.mp3", "b.mp3"}))
        << "the torn journal was kept";
}

TEST(SaveKills, ARecoveryBesideRunningSavesTakesNothingFromThem)
{
    // A listing in another window recovers the folder while saves run: it
    // must tell their journals and temporary files from leftovers.
    const int saves = Rounds(60, 400);
    TempDir dir;
    TempDir scratch;
    const Bytes old = Mp3Builder()
                          .Tag(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(10).Build())
                          .Raw(Pattern(200000))
                          .Build();
    WriteFile(scratch.File("a.mp3"), old);
    ASSERT_TRUE(GrowingSave(scratch.File("a.mp3"), 8000));
    const Bytes saved = ReadFile(scratch.File("a.mp3"));
    const std::string linked = dir.File("linked.mp3"); // moved inside, under a journal
    const std::string single = dir.File("single.mp3"); // replaced by a temporary file
    WriteFile(linked, old);
    ASSERT_EQ(::link(linked.c_str(), dir.File("other.mp3").c_str()), 0);

    std::atomic<bool> stop{false};
    std::atomic<int> recoveries{0};
    std::thread recovering([&] {
        while (!stop) {
            RecoverFolder(dir.Path());
            ++recoveries;
        }
    });
    int failed = 0;
    for (int i = 0; i < saves; ++i) {
        const std::string& path = i % 2 == 0 ? linked : single;
        WriteFile(path, old);
        const bool ok = GrowingSave(path, 8000);
        failed += ok ? 0 : 1;
        const Bytes now = ReadFile(path);
        if (now != (ok ? saved : old)) {
            ADD_FAILURE() << "save " << i << (ok ? " succeeded" : " failed") << " and left a "
                          << Describe(now, old, saved) << ", first difference at "
                          << FirstDifference(now, ok ? saved : old);
            break;
        }
    }
    stop = true;
    recovering.join();
    EXPECT_EQ(failed, 0) << "saves refused because a recovery ran beside them";
    EXPECT_EQ(Leftovers(dir.Path()), std::vector<std::string>{});
    std::cout << "[          ] " << saves << " saves beside " << recoveries << " recoveries, "
              << failed << " failed\n";
}

// ---------------------------------------------------------------------------
// Two processes saving the same file.

TEST(SaveRivals, TwoProcessesSavingOneFileLoseNoChange)
{
    const int rounds = Rounds(100, 300);
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const Bytes audio = Pattern(300000, 3);
    Mp3Builder()
        .Tag(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(100).Build())
        .Raw(audio)
        .WriteTo(path);
    int bothSaved = 0;
    for (int round = 0; round < rounds; ++round) {
        // Titles of changing length: some saves fit the tag's place, some
        // replace the file while the other save waits for it.
        const std::string titles[2] = {
            "A" + std::to_string(round) +
                std::string(static_cast<std::size_t>(round * 61 % 5000), 'a'),
            "B" + std::to_string(round)};
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        pid_t children[2];
        for (int k = 0; k < 2; ++k) {
            children[k] = ::fork();
            if (children[k] == 0) {
                ::close(start[1]);
                char go = 0;
                static_cast<void>(::read(start[0], &go, 1));
                const FileRow row = FolderReader().ReadRow(dir.Path(), "a.mp3", 0);
                TagFields edited = row.Fields;
                edited.Title = titles[k];
                // Each also sets a field of its own, which the other must keep.
                (k == 0 ? edited.Artist : edited.Album) = titles[k].substr(0, 8);
                ::_exit(TagSaver().SaveSingle(dir.Path(), row, edited).Id3v2Saved ? 0 : 1);
            }
        }
        ::close(start[0]);
        ::close(start[1]); // both start now
        int saved[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            int wstatus = 0;
            ::waitpid(children[k], &wstatus, 0);
            saved[k] = WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0;
        }
        const LoadedId3v2 now = LoadId3v2(path);
        ASSERT_EQ(now.Status, status::kOk) << "round " << round;
        const Bytes file = ReadFile(path);
        ASSERT_TRUE(ContainsBytes(file, audio)) << "round " << round << ": the audio is damaged";
        ASSERT_TRUE(now.Title == titles[0] || now.Title == titles[1])
            << "round " << round << ": title " << now.Title.substr(0, 20);
        const int last = now.Title == titles[0] ? 0 : 1;
        EXPECT_TRUE(saved[last]) << "round " << round << ": a failed save's title is in the file";
        if (saved[0] && saved[1]) {
            ++bothSaved;
            // Serialised: the last save loaded the first one's result.
            EXPECT_EQ(now.Artist, titles[0].substr(0, 8)) << "round " << round << " lost a change";
            EXPECT_EQ(now.Album, titles[1].substr(0, 8)) << "round " << round << " lost a change";
        }
        ASSERT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"a.mp3"})
            << "round " << round;
    }
    EXPECT_EQ(bothSaved, rounds) << "a save failed although the other one ends within the wait";
}

// ---------------------------------------------------------------------------
// Root only: tricks with links and identities.

Bytes SmallFile()
{
    return Mp3Builder()
        .Tag(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(10).Build())
        .Raw(Pattern(20000, 5))
        .Build();
}

void FillGrowingTag(Tid3v2tag& tag)
{
    tag.SetTextFrame("TIT2", "Grown title");
    tag.SetTextFrame("TALB", std::string(3000, 'x'));
}

TEST(SaveRace, ASymbolicLinkSwappedInNeverLeadsTheSaveToAnotherFile)
{
    if (!IsRoot()) {
        GTEST_SKIP() << "needs root: the other file is root's and the swap must not reach it";
    }
    const int tries = Rounds(200, 1500);
    TempDir dir;
    TempDir elsewhere;
    const Bytes old = SmallFile();
    const std::string secret = elsewhere.File("secret.mp3");
    WriteFile(secret, old);
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    // What a save that follows the link on purpose makes of the other file.
    Bytes savedSecret;
    {
        TempDir scratch;
        WriteFile(scratch.File("x.mp3"), old);
        Tid3v2tag tag;
        FillGrowingTag(tag);
        ASSERT_EQ(SaveTagToFile(tag, scratch.File("x.mp3"), 255, 255, 0, {}), status::kOk);
        savedSecret = ReadFile(scratch.File("x.mp3"));
    }
    const std::string song = dir.File("song.mp3");
    WriteFile(song, old);

    std::atomic<bool> stop{false};
    // The name is a regular file and a link to the other file by turns, for
    // random spells of up to a fifth of a millisecond each.
    std::thread swapper([&] {
        const std::string link = dir.File("swap-link");
        const std::string regular = dir.File("swap-regular");
        std::mt19937 random(7);
        std::uniform_int_distribution<useconds_t> spell(0, 200);
        while (!stop) {
            WriteFile(regular, old);
            static_cast<void>(::rename(regular.c_str(), song.c_str()));
            ::usleep(spell(random));
            static_cast<void>(::symlink(secret.c_str(), link.c_str()));
            static_cast<void>(::rename(link.c_str(), song.c_str()));
            ::usleep(spell(random));
        }
    });
    ino_t secretInode = Stat(secret).st_ino;
    int throughLink = 0;
    int intoSong = 0;
    std::map<std::uint16_t, int> refused;
    for (int attempt = 0; attempt < tries; ++attempt) {
        Tid3v2tag tag;
        FillGrowingTag(tag);
        const StatusWord result = SaveTagToFile(tag, song, 255, 255, 0, {});
        const struct stat info = Stat(secret);
        const bool reported = status::IsSuccess(result) && tag.FileName == secret;
        if (reported) {
            ++throughLink;
            EXPECT_EQ(ReadFile(secret), savedSecret) << "attempt " << attempt;
            // Back to the old file, in place, for the next attempts.
            const int fd = ::open(secret.c_str(), O_WRONLY | O_TRUNC);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::write(fd, old.data(), old.size()), static_cast<ssize_t>(old.size()));
            ::close(fd);
            secretInode = Stat(secret).st_ino;
        } else {
            intoSong += status::IsSuccess(result) ? 1 : 0;
            if (!status::IsSuccess(result)) {
                ++refused[result.Value()];
            }
            ASSERT_EQ(ReadFile(secret), old)
                << "attempt " << attempt << ": saved " << tag.FileName << ", status " << result;
            ASSERT_EQ(info.st_ino, secretInode) << "attempt " << attempt << ": replaced";
        }
        ASSERT_EQ(info.st_uid, 0u) << "attempt " << attempt;
        ASSERT_EQ(info.st_gid, 0u) << "attempt " << attempt;
        ASSERT_EQ(info.st_mode & 07777, 0600u) << "attempt " << attempt;
        ASSERT_TRUE(S_ISREG(info.st_mode)) << "attempt " << attempt;
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(FolderEntries(elsewhere.Path()), std::vector<std::string>{"secret.mp3"});
    std::cout << "[          ] " << tries << " saves during swaps: " << throughLink
              << " saved the link's target as reported, " << intoSong << " the regular file;";
    for (const auto& [code, count] : refused) {
        std::cout << " status " << std::hex << code << std::dec << ": " << count;
    }
    std::cout << "\n";
}

// A POSIX access ACL as the kernel stores it: version 2, then entries of
// tag, permissions and id (little-endian), in the order the kernel wants.
Bytes AccessAcl(std::uint32_t namedUser)
{
    Bytes acl{2, 0, 0, 0};
    const auto entry = [&acl](std::uint16_t tag, std::uint16_t perm, std::uint32_t id) {
        for (int i = 0; i < 2; ++i) {
            acl.push_back(static_cast<std::uint8_t>(tag >> (8 * i)));
        }
        for (int i = 0; i < 2; ++i) {
            acl.push_back(static_cast<std::uint8_t>(perm >> (8 * i)));
        }
        for (int i = 0; i < 4; ++i) {
            acl.push_back(static_cast<std::uint8_t>(id >> (8 * i)));
        }
    };
    entry(0x01, 7, 0xFFFFFFFFu); // owner
    entry(0x02, 6, namedUser);   // a named user
    entry(0x04, 5, 0xFFFFFFFFu); // owning group
    entry(0x10, 5, 0xFFFFFFFFu); // mask
    entry(0x20, 5, 0xFFFFFFFFu); // others
    return acl;
}

Bytes Attribute(const std::string& path, const char* name)
{
    Bytes value(4096);
    const ssize_t got = ::getxattr(path.c_str(), name, value.data(), value.size());
    value.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return value;
}

TEST(SaveIdentity, AReplacedFileKeepsOwnerModeSetuidAttributesAndAcl)
{
    if (!IsRoot()) {
        GTEST_SKIP() << "needs root to give the file another owner";
    }
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    WriteFile(path, SmallFile());
    ASSERT_EQ(::chown(path.c_str(), 12345, 23456), 0);
    const Bytes acl = AccessAcl(12347);
    const Bytes user = ToBytes("kept value");
    if (::setxattr(path.c_str(), "user.test", user.data(), user.size(), 0) != 0 ||
        ::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
        GTEST_SKIP() << "the file system takes no extended attributes or ACLs: "
                     << std::strerror(errno);
    }
    ASSERT_EQ(::chmod(path.c_str(), 04755), 0);
    const struct stat before = Stat(path);
    const Bytes aclBefore = Attribute(path, "system.posix_acl_access");
    ASSERT_FALSE(aclBefore.empty());

    Tid3v2tag tag;
    FillGrowingTag(tag);
    ASSERT_EQ(SaveTagToFile(tag, path, 255, 255, 0, {}), status::kOk);
    const struct stat after = Stat(path);
    EXPECT_NE(after.st_ino, before.st_ino) << "expected a replaced file";
    EXPECT_EQ(after.st_uid, 12345u);
    EXPECT_EQ(after.st_gid, 23456u);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777) << std::oct << after.st_mode;
    EXPECT_EQ(after.st_mode & 07777, 04755u) << std::oct << after.st_mode;
    EXPECT_EQ(Attribute(path, "user.test"), user);
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), aclBefore)
        << Hex(Attribute(path, "system.posix_acl_access"));
    EXPECT_EQ(LoadId3v2(path).Title, "Grown title");
}

TEST(SaveIdentity, AReplacedFileTakesNoAclFromItsFolder)
{
    if (!IsRoot()) {
        GTEST_SKIP() << "needs root for the ACL of a folder";
    }
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    WriteFile(path, SmallFile());
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    // New files in the folder would let another user write them; this one
    // was made before and does not.
    const Bytes acl = AccessAcl(12347);
    if (::setxattr(dir.Path().c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) !=
        0) {
        GTEST_SKIP() << "the file system takes no ACLs: " << std::strerror(errno);
    }
    const struct stat before = Stat(path);
    ASSERT_TRUE(Attribute(path, "system.posix_acl_access").empty());

    Tid3v2tag tag;
    FillGrowingTag(tag);
    ASSERT_EQ(SaveTagToFile(tag, path, 255, 255, 0, {}), status::kOk);
    const struct stat after = Stat(path);
    EXPECT_NE(after.st_ino, before.st_ino) << "expected a replaced file";
    EXPECT_EQ(after.st_mode & 07777, 0640u) << std::oct << after.st_mode;
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), Bytes{})
        << "the new file grants what the old one did not: "
        << Hex(Attribute(path, "system.posix_acl_access"));
}

TEST(SaveIdentity, AGroupMemberSavesAnotherUsersFileInPlace)
{
    if (!IsRoot()) {
        GTEST_SKIP() << "needs root to act as two other users";
    }
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string folder = dir.File("shared");
    ASSERT_EQ(::mkdir(folder.c_str(), 0770), 0);
    ASSERT_EQ(::chown(folder.c_str(), 12345, 23456), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0770), 0);
    const std::string path = folder + "/song.mp3";
    const Bytes audio = Pattern(20000, 5);
    WriteFile(path, SmallFile());
    ASSERT_EQ(::chown(path.c_str(), 12345, 23456), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
    const struct stat before = Stat(path);

    const int code = InChild([&] {
        const gid_t groups[] = {23456};
        if (::setgroups(1, groups) != 0 || ::setgid(23457) != 0 || ::setuid(12346) != 0) {
            return 99;
        }
        const FileRow row = FolderReader().ReadRow(folder, "song.mp3", 0);
        TagFields edited = row.Fields;
        edited.Title = "Saved by a group member";
        edited.Album = std::string(3000, 'm'); // the tag outgrows its place
        const SaveResult result = TagSaver().SaveSingle(folder, row, edited);
        return result.Id3v2Saved ? 0 : 1;
    });
    ASSERT_NE(code, 99) << "could not become another user";
    EXPECT_EQ(code, 0);
    const struct stat after = Stat(path);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
    EXPECT_EQ(after.st_uid, 12345u);
    EXPECT_EQ(after.st_gid, 23456u);
    EXPECT_EQ(after.st_mode & 07777, 0660u);
    EXPECT_EQ(LoadId3v2(path).Title, "Saved by a group member");
    EXPECT_TRUE(ContainsBytes(ReadFile(path), audio));
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"song.mp3"});
}

// ---------------------------------------------------------------------------
// Files that are not plain runs of bytes, and limits of the system.

TEST(SaveSparse, AHoleInTheAudioStaysAHole)
{
    constexpr off_t kHole = 64 << 20;
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const Bytes tag = Id3v2Builder().TextFrame("TIT2", "Old title").Padding(10).Build();
    const Bytes head = Pattern(100000, 1);
    const Bytes end = Pattern(100000, 2);
    Bytes start = tag;
    Append(start, head);
    WriteFile(path, start);
    {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const off_t at = static_cast<off_t>(start.size()) + kHole;
        ASSERT_EQ(::pwrite(fd, end.data(), end.size(), at), static_cast<ssize_t>(end.size()));
        ::close(fd);
    }
    const struct stat before = Stat(path);
    ASSERT_LT(before.st_blocks * 512, kHole / 2) << "the file system does not keep holes";

    Tid3v2tag saving;
    FillGrowingTag(saving);
    ASSERT_EQ(SaveTagToFile(saving, path, 255, 255, 0, {}), status::kOk);
    const struct stat after = Stat(path);
    EXPECT_LT(after.st_blocks * 512, before.st_blocks * 512 + (1 << 20))
        << "allocated " << after.st_blocks * 512 << " bytes, before " << before.st_blocks * 512;

    Tid3v2tag loaded;
    ASSERT_EQ(loaded.LoadFromFile(path, 0), status::kOk);
    const Bytes file = ReadFile(path);
    const std::size_t audioAt = loaded.TagSize + 10;
    ASSERT_EQ(file.size(), audioAt + head.size() + kHole + end.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), file.begin() + audioAt));
    const auto holeAt = file.begin() + static_cast<std::ptrdiff_t>(audioAt + head.size());
    EXPECT_TRUE(std::all_of(holeAt, holeAt + kHole, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(end.begin(), end.end(), holeAt + kHole));
}

TEST(SaveLimits, TheToolUnderAFileSizeLimitFailsAndKeepsTheFile)
{
    TempDir dir;
    const std::string path = dir.File("a.mp3");
    const Bytes old = Mp3Builder()
                          .Tag(Id3v2Builder().TextFrame("TIT2", "Old title").Padding(10).Build())
                          .Raw(Pattern(300000))
                          .Id3v1(MakeId3v1("Old v1 title"))
                          .Build();
    WriteFile(path, old);
    // Units of 512 bytes: the new file cannot be written whole, the old one is
    // within the limit.
    for (const char* blocks : {"0", "8", "400", "590"}) {
        const std::string command = std::string("ulimit -f ") + blocks + " && exec '" +
                                    VARNELLO_TAG_PROGRAM + "' set --title '" +
                                    std::string(6000, 't') + "' '" + path + "' >/dev/null 2>&1";
        const int wstatus = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(wstatus)) << "limit " << blocks << ": ended by a signal";
        EXPECT_EQ(WEXITSTATUS(wstatus), 1) << "limit " << blocks;
        EXPECT_EQ(ReadFile(path), old) << "limit " << blocks;
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"a.mp3"})
            << "limit " << blocks;
    }
}

} // namespace
} // namespace varnello
