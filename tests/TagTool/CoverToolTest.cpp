// varnello-tag's cover options and command, run on generated files.

#include "FileTestHelpers.h"
#include "Mp3Builder.h"
#include "RunTool.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace varnello::testsupport {
namespace {

namespace fs = std::filesystem;

class CoverTool : public testing::Test
{
protected:
    void SetUp() override
    {
        WriteFile(m_dir.File("cover.png"), TinyPng());
        WriteFile(m_dir.File("cover.jpg"), TinyJpeg());
        WriteSong("song.mp3", {Apic("image/jpeg", 0, "other", TinyJpeg())});
    }

    void WriteSong(const std::string& name, const std::vector<Bytes>& pictures) const
    {
        Id3v2Builder tag;
        tag.Version(3).TextFrame("TIT2", "Title");
        for (const Bytes& picture : pictures) {
            tag.Frame("APIC", picture);
        }
        Mp3Builder().Tag(tag.Build()).Audio(4).WriteTo(m_dir.File(name));
    }

    ToolRun Run(const std::vector<std::string>& args) const
    {
        return RunProgram(VARNELLO_TAG_PROGRAM, args, m_dir.Path());
    }

    // Runs the tool and expects it to succeed.
    std::string Succeed(const std::vector<std::string>& args) const
    {
        const ToolRun run = Run(args);
        EXPECT_EQ(run.ExitStatus, 0) << args.front() << ": " << run.Err;
        EXPECT_EQ(run.Err, "") << args.front();
        return run.Out;
    }

    TempDir m_dir;
};

TEST_F(CoverTool, SetCoverWritesItShowListsItAndCoverCopiesItOut)
{
    Succeed({"set", "--title", "New", "--cover", "cover.png", "song.mp3"});
    const std::string shown = Succeed({"show", "song.mp3"});
    for (const char* part :
         {"\"New\"", "  Pictures: 2\n", "    0 Other  \"image/jpeg\"  \"other\"  141 bytes  1x1\n",
          "    3 Front cover  \"image/png\"  \"\"  74 bytes  2x3\n"}) {
        EXPECT_NE(shown.find(part), std::string::npos) << part << " in\n" << shown;
    }
    Succeed({"cover", "song.mp3", "out.png"});
    EXPECT_EQ(ReadFile(m_dir.File("out.png")), TinyPng());

    // A second picture replaces the front cover; OUT is replaced whole.
    Succeed({"set", "--cover", "cover.jpg", "song.mp3"});
    Succeed({"cover", "song.mp3", "out.png"});
    EXPECT_EQ(ReadFile(m_dir.File("out.png")), TinyJpeg());
    EXPECT_EQ(FolderEntries(m_dir.Path()),
              (std::vector<std::string>{"cover.jpg", "cover.png", "out.png", "song.mp3"}))
        << "no temporary file is left";

    if (HavePython()) {
        const std::string json = Succeed({"show", "--json", "song.mp3"});
        WriteFile(m_dir.File("show.json"), ToBytes(json));
        std::string error;
        const std::string canonical = CanonicalJson(m_dir.File("show.json"), error);
        EXPECT_NE(canonical.find(R"("pictures":[{"description":"other","height":1,)"
                                 R"("mime":"image/jpeg","size":141,"type":0,"typeName":"Other",)"
                                 R"("width":1},{"description":"","height":1,"mime":"image/jpeg",)"
                                 R"("size":141,"type":3,"typeName":"Front cover","width":1}])"),
                  std::string::npos)
            << canonical << error;
    }
}

TEST_F(CoverTool, RemoveCoverTakesTheFrontCoverElseTheFirstPicture)
{
    WriteSong("two.mp3", {Apic("image/jpeg", 0, "other", TinyJpeg()),
                          Apic("image/png", 3, "front", TinyPng())});
    Succeed({"set", "--remove-cover", "two.mp3"});
    Succeed({"cover", "two.mp3", "out.jpg"});
    EXPECT_EQ(ReadFile(m_dir.File("out.jpg")), TinyJpeg()) << "the first picture stands in";
    Succeed({"set", "--remove-cover", "two.mp3"});
    EXPECT_EQ(Succeed({"show", "two.mp3"}).find("Pictures:"), std::string::npos);

    const ToolRun run = Run({"cover", "two.mp3", "none.png"});
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Err, "varnello-tag: two.mp3: has no picture\n");
    EXPECT_FALSE(fs::exists(m_dir.File("none.png")));
}

struct BadSet
{
    std::string Name;
    std::vector<std::string> Args;
    std::string Error; // a part of the first error line
};

class CoverToolBadSet : public CoverTool, public testing::WithParamInterface<BadSet>
{
};

TEST_P(CoverToolBadSet, IsAUsageErrorAndTouchesNoFile)
{
    WriteFile(m_dir.File("text.png"), ToBytes("not a picture"));
    WriteFile(m_dir.File("large.jpg"), Bytes((std::size_t{16} << 20) + 1, 0xFF));
    const Bytes before = ReadFile(m_dir.File("song.mp3"));
    std::vector<std::string> args{"set"};
    args.insert(args.end(), GetParam().Args.begin(), GetParam().Args.end());
    args.push_back("song.mp3");
    const ToolRun run = Run(args);
    EXPECT_EQ(run.ExitStatus, 2) << run.Err;
    EXPECT_NE(run.Err.find(GetParam().Error), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFile(m_dir.File("song.mp3")), before);
}

std::string BadSetName(const testing::TestParamInfo<BadSet>& info)
{
    return info.param.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, CoverToolBadSet,
    testing::Values(
        BadSet{"NotAPicture", {"--title", "T", "--cover", "text.png"}, "not a JPEG or PNG picture"},
        BadSet{"TooLarge", {"--cover", "large.jpg"}, "larger than 16 MiB"},
        BadSet{"Missing", {"--cover", "missing.png"}, "--cover missing.png: cannot be read: "},
        BadSet{"Folder", {"--cover", "."}, "cannot be read: "},
        BadSet{"Both", {"--cover", "cover.png", "--remove-cover"}, "not both"}),
    BadSetName);

TEST_F(CoverTool, CoverRefusesAnOutThatIsALinkOrNoRegularFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, which Windows gives only with a privilege";
#else
    WriteFile(m_dir.File("target.png"), ToBytes("kept"));
    fs::create_symlink("target.png", m_dir.File("link.png"));
    fs::create_directory(m_dir.File("folder.png"));
    for (const char* out : {"link.png", "folder.png"}) {
        const ToolRun run = Run({"cover", "song.mp3", out});
        EXPECT_EQ(run.ExitStatus, 1) << out;
        EXPECT_NE(run.Err.find(std::string(out) + ": is "), std::string::npos) << run.Err;
    }
    EXPECT_EQ(ReadFile(m_dir.File("target.png")), ToBytes("kept"));
    EXPECT_TRUE(fs::is_symlink(m_dir.File("link.png")));

    const ToolRun usage = Run({"cover", "song.mp3"});
    EXPECT_EQ(usage.ExitStatus, 2);
    EXPECT_EQ(Run({"cover", "--help"}).Out.rfind("Usage: varnello-tag cover FILE OUT\n", 0), 0u);
#endif
}

} // namespace
} // namespace varnello::testsupport
