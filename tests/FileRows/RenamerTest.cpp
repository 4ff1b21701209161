// Renames from tags on disk: the plan's verdicts, and that applying it never
// replaces a file, whatever appears meanwhile.

#include "Renamer.h"

#include "FileTestHelpers.h"
#include "Platform.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace varnello {
namespace {

using namespace testsupport;

class Renames : public testing::Test
{
protected:
    // A file with bytes of its own, and its row with the track and title.
    FileRow Add(const std::string& name, std::string track, std::string title)
    {
        WriteFile(m_dir.File(name), Pattern(64, m_seed++));
        FileRow row;
        row.FileName = name;
        row.Fields.Track = std::move(track);
        row.Fields.Title = std::move(title);
        return row;
    }
    // A file outside the renamed set.
    void Other(const std::string& name) { WriteFile(m_dir.File(name), Pattern(64, m_seed++)); }

    RenamePlan Plan(const std::vector<FileRow>& rows, const char* pattern = "%track:2% %title%")
    {
        const ParsedNamePattern parsed = ParseNamePattern(pattern, NamePatternUse::kFormat);
        EXPECT_EQ(parsed.Error, "");
        return PlanRenames(m_dir.Path(), rows, parsed.Pattern, NameRules::kPosix);
    }

    // Every file's bytes, by name: renames move bytes, never change them.
    std::map<std::string, Bytes> Contents(const std::string& sub = {}) const
    {
        std::map<std::string, Bytes> contents;
        for (const std::string& name : FolderEntries(m_dir.File(sub))) {
            if (name != "sub") {
                contents[sub + name] = ReadFile(m_dir.File(sub + name));
            }
        }
        return contents;
    }

    TempDir m_dir;
    std::uint32_t m_seed = 1;
};

std::string Checks(const RenamePlan& plan)
{
    std::string text;
    for (const PlannedRename& item : plan.Items) {
        constexpr const char* kNames[] = {"rename", "unchanged", "collision", "refused"};
        text += item.OldName + " -> " + item.NewName + " " + kNames[static_cast<int>(item.Check)] +
                "\n";
    }
    return text;
}

TEST_F(Renames, PlanTellsRenamesCollisionsAndRefusalsAndApplyMovesOnlyTheGoodOnes)
{
#ifdef _WIN32
    GTEST_SKIP() << "two of its new names differ in case only, which is one name on Windows";
#else
    ASSERT_TRUE(std::filesystem::create_directory(m_dir.File("sub")));
    const std::vector<FileRow> rows = {
        Add("a.mp3", "1", "One"),        // renamed
        Add("02 Two.mp3", "2/9", "Two"), // already right
        Add("c.mp3", "3", "Three"),      // the name of a file outside the set
        Add("d.mp3", "4", "Same"),       // two files, one new name
        Add("e.MP3", "4", "Same"),       // (the extension differs)
        Add("f.mp3", "5", "Same"),       // ... and this one takes the other
        Add("g.mp3", "", "No track"),    // refused
        Add("h.mp3", "6", "f"),          // "06 f.mp3": free
        Add("sub/i.mp3", "7", "In/Sub"), // in its own folder, "/" replaced
    };
    Other("03 Three.mp3");
    const std::map<std::string, Bytes> before = Contents();
    const RenamePlan plan = Plan(rows);
    EXPECT_EQ(Checks(plan), "a.mp3 -> 01 One.mp3 rename\n"
                            "02 Two.mp3 -> 02 Two.mp3 unchanged\n"
                            "c.mp3 -> 03 Three.mp3 collision\n"
                            "d.mp3 -> 04 Same.mp3 rename\n"
                            "e.MP3 -> 04 Same.MP3 rename\n"
                            "f.mp3 -> 05 Same.mp3 rename\n"
                            "g.mp3 ->  refused\n"
                            "h.mp3 -> 06 f.mp3 rename\n"
                            "sub/i.mp3 -> sub/07 In_Sub.mp3 rename\n");
    EXPECT_EQ(Contents(), before) << "planning must not touch a file";

    const std::vector<RenameOutcome> outcomes = ApplyRenames(plan);
    ASSERT_EQ(outcomes.size(), 6u);
    for (const RenameOutcome& outcome : outcomes) {
        EXPECT_TRUE(outcome.Renamed) << outcome.OldName << ": " << outcome.Reason;
    }
    const std::map<std::string, Bytes> after = Contents();
    EXPECT_EQ(after.at("01 One.mp3"), before.at("a.mp3"));
    EXPECT_EQ(after.at("03 Three.mp3"), before.at("03 Three.mp3"));
    EXPECT_EQ(after.at("c.mp3"), before.at("c.mp3"));
    EXPECT_EQ(after.at("g.mp3"), before.at("g.mp3"));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(Contents("sub/").count("sub/07 In_Sub.mp3"), 1u);
#endif
}

TEST_F(Renames, SameNewNameForTwoFilesIsACollisionForBoth)
{
    const RenamePlan plan = Plan({Add("a.mp3", "1", "X"), Add("b.mp3", "01", "X")});
    EXPECT_EQ(Checks(plan), "a.mp3 -> 01 X.mp3 collision\nb.mp3 -> 01 X.mp3 collision\n");
    EXPECT_TRUE(ApplyRenames(plan).empty());
}

TEST_F(Renames, AFileThatStaysKeepsItsNameTaken)
{
    // b.mp3 cannot move (no title), so a.mp3 may not take its name.
    const RenamePlan plan = Plan({Add("a.mp3", "1", "b"), Add("b.mp3", "2", "")}, "%title%");
    EXPECT_EQ(Checks(plan), "a.mp3 -> b.mp3 collision\nb.mp3 ->  refused\n");
}

TEST_F(Renames, ChainsMoveInTurnAndCyclesAreReportedWithNothingReplaced)
{
    const std::vector<FileRow> rows = {Add("a.mp3", "", "b"), Add("b.mp3", "", "c"),
                                       Add("x.mp3", "", "y"), Add("y.mp3", "", "x")};
    const std::map<std::string, Bytes> before = Contents();
    const std::vector<RenameOutcome> outcomes = ApplyRenames(Plan(rows, "%title%"));
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_TRUE(outcomes[0].Renamed && outcomes[1].Renamed);
    EXPECT_FALSE(outcomes[2].Renamed || outcomes[3].Renamed);
    EXPECT_NE(outcomes[2].Reason.find("exists"), std::string::npos) << outcomes[2].Reason;
    const std::map<std::string, Bytes> after = Contents();
    EXPECT_EQ(after.at("b.mp3"), before.at("a.mp3"));
    EXPECT_EQ(after.at("c.mp3"), before.at("b.mp3"));
    EXPECT_EQ(after.at("x.mp3"), before.at("x.mp3"));
    EXPECT_EQ(after.at("y.mp3"), before.at("y.mp3"));
}

TEST_F(Renames, ANameTakenAfterThePlanIsNeverReplaced)
{
    const RenamePlan plan = Plan({Add("a.mp3", "1", "New")});
    Other("01 New.mp3");
    const std::map<std::string, Bytes> before = Contents();
    const std::vector<RenameOutcome> outcomes = ApplyRenames(plan);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].Renamed);
    EXPECT_NE(outcomes[0].Reason.find("exists now; not replaced"), std::string::npos)
        << outcomes[0].Reason;
    EXPECT_EQ(Contents(), before);
}

TEST_F(Renames, NoReplaceRenameRefusesAnExistingName)
{
    Other("a.mp3");
    Other("b.mp3");
    platform::Handle folder;
    ASSERT_FALSE(platform::OpenFolder(m_dir.Path(), folder));
    EXPECT_EQ(platform::RenameNoReplace(folder, "a.mp3", "b.mp3"), std::errc::file_exists);
    EXPECT_FALSE(platform::RenameNoReplace(folder, "a.mp3", "c.mp3"));
    EXPECT_EQ(FolderEntries(m_dir.Path()), (std::vector<std::string>{"b.mp3", "c.mp3"}));
}

} // namespace
} // namespace varnello
