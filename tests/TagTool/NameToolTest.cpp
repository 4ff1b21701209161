// varnello-tag from-name and rename, run on generated files: what a dry run
// prints, what a run writes or renames, and that no file is ever replaced.

#include "FileTestHelpers.h"
#include "Mp3Builder.h"
#include "RunTool.h"

#include <gtest/gtest.h>

namespace varnello::testsupport {
namespace {

class NameTool : public testing::Test
{
protected:
    void Song(const std::string& name, const std::string& track, const std::string& title) const
    {
        Mp3Builder()
            .Tag(Id3v2Builder()
                     .Version(3)
                     .TextFrame("TRCK", track)
                     .TextFrame("TIT2", title)
                     .TextFrame("TALB", "Kept")
                     .Build())
            .Audio(2)
            .WriteTo(m_dir.File(name));
    }

    ToolRun Run(const std::vector<std::string>& args) const
    {
        return RunProgram(VARNELLO_TAG_PROGRAM, args, m_dir.Path());
    }

    TempDir m_dir;
};

TEST_F(NameTool, FromNameDryRunPrintsAndRunWritesSkippingNamesThatDoNotMatch)
{
    Song("07 - Caf\xC3\xA9 Song.mp3", "1", "Old");
    Song("bonus.mp3", "2", "Bonus");
    const Bytes bonus = ReadFile(m_dir.File("bonus.mp3"));
    const std::vector<std::string> args = {"from-name", "--pattern", "%track% - %title%",
                                           "07 - Caf\xC3\xA9 Song.mp3", "bonus.mp3"};
    std::vector<std::string> dryRun = args;
    dryRun.push_back("--dry-run");
    const Bytes before = ReadFile(m_dir.File("07 - Caf\xC3\xA9 Song.mp3"));
    ToolRun run = Run(dryRun);
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_EQ(run.Out, "07 - Caf\xC3\xA9 Song.mp3: Title \"Caf\xC3\xA9 Song\", Track \"07\"\n"
                       "bonus.mp3: does not match\n");
    EXPECT_EQ(ReadFile(m_dir.File("07 - Caf\xC3\xA9 Song.mp3")), before) << "a dry run writes";

    run = Run(args);
    EXPECT_EQ(run.ExitStatus, 0) << "a name that does not match is no failure\n" << run.Err;
    EXPECT_NE(run.Err.find("bonus.mp3: does not match the pattern; skipped"), std::string::npos)
        << run.Err;
    EXPECT_EQ(ReadFile(m_dir.File("bonus.mp3")), bonus);
    run = Run({"list", "--json"});
    EXPECT_NE(run.Out.find("\"title\": \"Caf\xC3\xA9 Song\""), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\"track\": \"07\""), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\"album\": \"Kept\""), std::string::npos) << run.Out;
}

TEST_F(NameTool, RenameRenamesAndReportsCollisionsWithoutReplacingAnything)
{
    Song("a.mp3", "1/12", "AC/DC");
    Song("b.mp3", "2", "Taken");
    Song("c.mp3", "3", "Twin");
    Song("d.mp3", "03", "Twin");
    Song("02 Taken.mp3", "9", "Other");
    const Bytes taken = ReadFile(m_dir.File("02 Taken.mp3"));
    const std::vector<std::string> args = {
        "rename", "--pattern", "%track:2% %title%", "a.mp3", "b.mp3", "c.mp3", "d.mp3"};
    std::vector<std::string> dryRun = args;
    dryRun.push_back("--dry-run");
    ToolRun run = Run(dryRun);
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Out, "a.mp3 -> 01 AC_DC.mp3\n");
    EXPECT_EQ(FolderEntries(m_dir.Path()),
              (std::vector<std::string>{"02 Taken.mp3", "a.mp3", "b.mp3", "c.mp3", "d.mp3"}));

    run = Run(args);
    EXPECT_EQ(run.ExitStatus, 1) << "files were left with their names";
    EXPECT_EQ(run.Out, "a.mp3 -> 01 AC_DC.mp3\n");
    EXPECT_NE(run.Err.find("b.mp3: not renamed: a file of that name exists"), std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("c.mp3: not renamed: another file would get the same name"),
              std::string::npos)
        << run.Err;
    EXPECT_EQ(FolderEntries(m_dir.Path()), (std::vector<std::string>{"01 AC_DC.mp3", "02 Taken.mp3",
                                                                     "b.mp3", "c.mp3", "d.mp3"}));
    EXPECT_EQ(ReadFile(m_dir.File("02 Taken.mp3")), taken);
}

} // namespace
} // namespace varnello::testsupport
