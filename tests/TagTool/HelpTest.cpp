// Every program answers --help and -h with its usage, exit 0, and touches
// nothing: run in an empty folder that is also the temporary folder, the
// folder stays empty.

#include "Mp3Builder.h"
#include "RunTool.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace varnello::testsupport {
namespace {

namespace fs = std::filesystem;

struct Program
{
    std::string Name;         // as the usage names it
    std::string RelativePath; // in the build folder
};

class HelpTest : public testing::TestWithParam<Program>
{
};

// Points the temporary folder of the programs run at `folder` while alive.
class TemporaryFolderOverride
{
public:
    explicit TemporaryFolderOverride(const std::string& folder)
    {
        if (const char* old = std::getenv("TMPDIR")) {
            m_old = old;
        }
        Set(folder);
    }
    ~TemporaryFolderOverride()
    {
        if (m_old) {
            Set(*m_old);
        } else {
#ifdef _WIN32
            ::_putenv_s("TMPDIR", "");
#else
            ::unsetenv("TMPDIR");
#endif
        }
    }
    TemporaryFolderOverride(const TemporaryFolderOverride&) = delete;
    TemporaryFolderOverride& operator=(const TemporaryFolderOverride&) = delete;

private:
    static void Set(const std::string& folder)
    {
#ifdef _WIN32
        ::_putenv_s("TMPDIR", folder.c_str());
#else
        ::setenv("TMPDIR", folder.c_str(), 1);
#endif
    }

    std::optional<std::string> m_old;
};

TEST_P(HelpTest, PrintsUsageAndTouchesNothing)
{
#ifdef _WIN32
    const std::string program =
        std::string(VARNELLO_BINARY_DIR) + "/" + GetParam().RelativePath + ".exe";
    if (!fs::exists(program)) {
#else
    const std::string program = std::string(VARNELLO_BINARY_DIR) + "/" + GetParam().RelativePath;
    if (::access(program.c_str(), X_OK) != 0) {
#endif
        GTEST_SKIP() << GetParam().Name << " is not built";
    }
    const TempDir dir;
    const TemporaryFolderOverride temporary(dir.Path());
    for (const char* option : {"--help", "-h"}) {
        const ToolRun run = RunProgram(program, {option}, dir.Path());
        EXPECT_EQ(run.ExitStatus, 0) << GetParam().Name << " " << option << "\n" << run.Err;
        EXPECT_EQ(run.Out.rfind("Usage: " + GetParam().Name + " ", 0), 0u)
            << GetParam().Name << " " << option << ":\n"
            << run.Out;
        EXPECT_EQ(run.Err, "") << GetParam().Name << " " << option;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir.Path())) {
            ADD_FAILURE() << GetParam().Name << " " << option << " made " << entry.path();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, HelpTest,
                         testing::Values(Program{"varnello-tag", "TagTool/varnello-tag"},
                                         Program{"varnello-demo", "tests/support/varnello-demo"},
                                         Program{"varnello", "Main/varnello"},
                                         Program{"varnello-listbench", "bench/varnello-listbench"},
                                         Program{"varnello-guibench", "bench/varnello-guibench"},
                                         Program{"varnello-savebench", "bench/varnello-savebench"}),
                         [](const testing::TestParamInfo<Program>& param) {
                             std::string name;
                             for (const char c : param.param.Name) {
                                 name += c == '-' ? '_' : c;
                             }
                             return name;
                         });

} // namespace
} // namespace varnello::testsupport
