// Undo and redo on disk: each way a save writes is taken back to the old
// file byte for byte and done again, renames go back to their names, and a
// file changed since is left alone.

#include "FileCheck.h"
#include "FileTestHelpers.h"
#include "FolderReader.h"
#include "Platform.h"
#include "TagSaver.h"
#include "UndoHistory.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace varnello {
namespace {

using namespace testsupport;

// Longer than the old tag's padding: the audio must move.
constexpr const char* kLongTitle = "A title that does not fit into the sixty-four bytes of padding "
                                   "the old tag has, so the tag grows";

struct UndoCase
{
    const char* Name;
    bool Id3v2;      // the file starts with an ID3v2 tag (64 bytes of padding)
    bool Id3v1;      // and ends with an ID3v1 tag
    bool SecondLink; // a hard link keeps the save in the file (journaled move)
    const char* Title;
};

void PrintTo(const UndoCase& c, std::ostream* out)
{
    *out << c.Name;
}

class Undo : public testing::Test
{
protected:
    // A file whose ID3v2 tag, when it has one, holds the title and, unless
    // `onlyTitle`, a frame no save touches.
    std::string Make(const std::string& name, bool id3v2, bool id3v1, std::uint32_t seed = 1,
                     bool onlyTitle = false)
    {
        Mp3Builder file;
        if (id3v2) {
            Id3v2Builder tag;
            tag.Version(4).TextFrame("TIT2", "Old");
            if (!onlyTitle) {
                tag.TextFrame("TXXX", "keep");
            }
            file.Tag(tag.Padding(64).Build());
        }
        file.Audio(4 + seed);
        if (id3v1) {
            file.Id3v1(MakeId3v1("Old", "Artist"));
        }
        file.WriteTo(m_dir.File(name));
        return m_dir.File(name);
    }

    // Saves the titles into the files as one step of the history.
    std::vector<SaveFailure> Save(const std::vector<std::string>& names, const std::string& title,
                                  std::uint64_t limit = kUndoMemoryLimit)
    {
        std::vector<FileRow> rows;
        for (const std::string& name : names) {
            rows.push_back(FolderReader().ReadRow(m_dir.Path(), name, 0));
        }
        std::vector<FileRow*> pointers;
        for (FileRow& row : rows) {
            pointers.push_back(&row);
        }
        UndoRecorder recorder(limit);
        TagSaver saver;
        saver.RecordUndo(&recorder);
        TagFields values;
        values.Title = title;
        auto failures = saver.SaveMultiple(m_dir.Path(), pointers, values, fieldmask::kTitle);
        m_history.Push(recorder.Take("Save"));
        return failures;
    }

    RevertResult UndoLast() { return RevertLast(false); }
    RevertResult RedoLast() { return RevertLast(true); }

    // What Edit > Undo and Redo do with the history.
    RevertResult RevertLast(bool redo)
    {
        std::optional<UndoStep> step = redo ? m_history.TakeRedo() : m_history.TakeUndo();
        EXPECT_TRUE(step) << (redo ? "nothing to redo" : "nothing to undo");
        RevertResult result = step ? RevertStep(*step, false) : RevertResult{};
        if (redo) {
            m_history.PushUndoKeepingRedo(std::move(result.Reverse));
        } else {
            m_history.PushRedo(std::move(result.Reverse));
        }
        return result;
    }

    TempDir m_dir;
    UndoHistory m_history;
};

class UndoSavePaths : public Undo, public testing::WithParamInterface<UndoCase>
{
};

TEST_P(UndoSavePaths, GivesBackTheOldFileAndRedoTheNewOne)
{
    const UndoCase& c = GetParam();
    const bool removesTag = std::string_view(c.Title).empty() && c.Id3v2;
    const std::string path = Make("a.mp3", c.Id3v2, c.Id3v1, 1, removesTag);
    if (c.SecondLink) {
        ASSERT_NO_THROW(std::filesystem::create_hard_link(path, m_dir.File("link.mp3")));
    }
    const Bytes old = ReadFile(path);
    ASSERT_TRUE(Save({"a.mp3"}, c.Title).empty());
    const Bytes saved = ReadFile(path);
    ASSERT_NE(saved, old) << "the save changed nothing";

    RevertResult undone = UndoLast();
    EXPECT_TRUE(undone.Failures.empty()) << undone.Failures.front().Reason;
    EXPECT_EQ(ReadFile(path), old) << "undo did not give back the old file";

    RevertResult redone = RedoLast();
    EXPECT_TRUE(redone.Failures.empty()) << redone.Failures.front().Reason;
    EXPECT_EQ(ReadFile(path), saved) << "redo did not give back the saved file";

    UndoLast();
    EXPECT_EQ(ReadFile(path), old) << "a second undo";
    if (c.SecondLink) {
        EXPECT_EQ(ReadFile(m_dir.File("link.mp3")), old) << "the other link lost the change";
    }
}

INSTANTIATE_TEST_SUITE_P(Saves, UndoSavePaths,
                         testing::Values(UndoCase{"InPlace", true, true, false, "New"},
                                         UndoCase{"TemporaryFile", true, false, false, kLongTitle},
                                         UndoCase{"JournaledMove", true, true, true, kLongTitle},
                                         UndoCase{"NewTag", false, true, false, "New"},
                                         UndoCase{"TagRemoved", true, false, false, ""},
                                         UndoCase{"Id3v1Only", false, true, false, ""}),
                         [](const testing::TestParamInfo<UndoCase>& test) {
                             return test.param.Name;
                         });

TEST_F(Undo, LeavesAFileChangedSinceAndUndoesTheOthers)
{
    const std::string a = Make("a.mp3", true, true, 1);
    const std::string b = Make("b.mp3", true, true, 2);
    const Bytes oldB = ReadFile(b);
    ASSERT_TRUE(Save({"a.mp3", "b.mp3"}, "New").empty());
    // Another program rewrites a's audio: same size, same tags.
    Bytes changed = ReadFile(a);
    changed[changed.size() - 200] ^= 0xFF;
    WriteFile(a, changed);

    const RevertResult result = UndoLast();
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_EQ(result.Failures[0].Name, a);
    EXPECT_EQ(ReadFile(a), changed) << "a file changed since was touched";
    EXPECT_EQ(ReadFile(b), oldB) << "the unchanged file was not undone";
}

TEST_F(Undo, StepsOnOneFileGoBackOneAfterTheOther)
{
    const std::string a = Make("a.mp3", true, true);
    const Bytes old = ReadFile(a);
    ASSERT_TRUE(Save({"a.mp3"}, "First").empty());
    const Bytes first = ReadFile(a);
    ASSERT_TRUE(Save({"a.mp3"}, kLongTitle).empty());
    const Bytes second = ReadFile(a);

    // Each undo writes the file, and the next undo must not take that write
    // for a change by someone else.
    EXPECT_TRUE(UndoLast().Failures.empty());
    EXPECT_EQ(ReadFile(a), first);
    EXPECT_TRUE(UndoLast().Failures.empty());
    EXPECT_EQ(ReadFile(a), old);
    EXPECT_TRUE(RedoLast().Failures.empty());
    EXPECT_EQ(ReadFile(a), first);
    EXPECT_TRUE(RedoLast().Failures.empty());
    EXPECT_EQ(ReadFile(a), second);
}

TEST_F(Undo, LeavesAFileWhoseTagWasSavedAgain)
{
    const std::string a = Make("a.mp3", true, false);
    ASSERT_TRUE(Save({"a.mp3"}, "First").empty());
    // A save outside the history.
    FileRow row = FolderReader().ReadRow(m_dir.Path(), "a.mp3", 0);
    TagFields values = row.Fields;
    values.Title = "Other";
    ASSERT_TRUE(TagSaver().SaveSingle(m_dir.Path(), row, values).Failures.empty());
    const Bytes other = ReadFile(a);

    const RevertResult result = UndoLast();
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_EQ(ReadFile(a), other);
    EXPECT_FALSE(m_history.NextRedo()) << "a step that undid nothing can be redone";
}

TEST_F(Undo, TakesBackRenamesWithoutReplacingAFile)
{
    Make("a.mp3", false, false, 1);
    Make("b.mp3", false, false, 2);
    Make("c.mp3", false, false, 3);
    const Bytes a = ReadFile(m_dir.File("a.mp3"));
    const Bytes b = ReadFile(m_dir.File("b.mp3"));
    // A chain: b to c's old place after c moved on, a to b's.
    RenamePlan plan;
    plan.Folder = m_dir.Path();
    plan.Items = {{"a.mp3", "b.mp3", RenameCheck::kRename, {}},
                  {"b.mp3", "c.mp3", RenameCheck::kRename, {}},
                  {"c.mp3", "d.mp3", RenameCheck::kRename, {}}};
    m_history.Push(RenameStep("Rename", plan.Folder, ApplyRenames(plan)));
    ASSERT_EQ(ReadFile(m_dir.File("b.mp3")), a);

    RevertResult result = UndoLast();
    EXPECT_TRUE(result.Failures.empty());
    EXPECT_EQ(ReadFile(m_dir.File("a.mp3")), a);
    EXPECT_EQ(ReadFile(m_dir.File("b.mp3")), b);
    platform::FileInfo info;
    EXPECT_EQ(platform::QueryPath(m_dir.File("d.mp3"), platform::Follow::NoLinks, info),
              std::errc::no_such_file_or_directory);

    // Redo, then a new file takes a's old name: the undo leaves it.
    RedoLast();
    const Bytes newcomer = Pattern(40, 9);
    WriteFile(m_dir.File("a.mp3"), newcomer);
    // Its old name taken, b.mp3 cannot go back, and so neither can the
    // files that would take the names it keeps.
    result = UndoLast();
    EXPECT_EQ(result.Failures.size(), 3u);
    EXPECT_EQ(ReadFile(m_dir.File("a.mp3")), newcomer) << "a file was replaced";
    EXPECT_EQ(ReadFile(m_dir.File("b.mp3")), a);
}

TEST_F(Undo, RenamesBackOnlyTheFileThatWasRenamed)
{
    Make("a.mp3", false, false);
    RenamePlan plan{m_dir.Path(), {{"a.mp3", "b.mp3", RenameCheck::kRename, {}}}};
    m_history.Push(RenameStep("Rename", plan.Folder, ApplyRenames(plan)));
    // Another file now has the new name (made first: it cannot reuse the
    // renamed file's inode).
    const Bytes other = Pattern(50, 7);
    WriteFile(m_dir.File("other"), other);
    ASSERT_NO_THROW(std::filesystem::rename(m_dir.File("other"), m_dir.File("b.mp3")));

    const RevertResult result = UndoLast();
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_EQ(ReadFile(m_dir.File("b.mp3")), other);
    EXPECT_TRUE(FolderEntries(m_dir.Path()) == std::vector<std::string>{"b.mp3"});
}

TEST_F(Undo, AStepBeyondTheLimitIsNotKeptAndOlderStepsMakeRoom)
{
    Make("a.mp3", true, false, 1);
    Make("b.mp3", true, false, 2);
    ASSERT_TRUE(Save({"a.mp3", "b.mp3"}, "New", 200).empty());
    ASSERT_TRUE(m_history.NextUndo());
    EXPECT_TRUE(m_history.NextUndo()->TooLarge);
    EXPECT_TRUE(m_history.NextUndo()->Tags.empty()) << "the tags of a step too large are kept";
    EXPECT_FALSE(m_history.TakeUndo());

    UndoHistory small(2000);
    for (int i = 0; i < 5; ++i) {
        UndoStep step;
        step.Title = std::to_string(i);
        step.Tags.push_back({"x", {Bytes(600), {}, 0, 0}, {Bytes(100), {}, 0, 0}});
        small.Push(std::move(step));
    }
    EXPECT_LE(small.MemorySize(), 2000u);
    ASSERT_TRUE(small.NextUndo());
    EXPECT_EQ(small.NextUndo()->Title, "4");
}

} // namespace
} // namespace varnello
