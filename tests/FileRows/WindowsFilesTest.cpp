// Files on Windows: one written whole (a cover picture, an exported table)
// replaces the old one in one rename and keeps its attributes, one that
// another program holds open stays as it was; hidden and system files are
// not listed.

#include "FileTestHelpers.h"
#include "FolderReader.h"
#include "WholeFile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

namespace varnello {
namespace {

using namespace testsupport;

std::wstring Wide(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

class WholeFileAttributes : public testing::TestWithParam<DWORD>
{
};

TEST_P(WholeFileAttributes, AreKeptByTheReplace)
{
    TempDir dir;
    const std::string path = dir.File("cover.jpg");
    WriteFile(path, Pattern(500, 1));
    ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), GetParam()));
    const Bytes written = Pattern(700, 2);
    EXPECT_EQ(WriteFileWhole(path, written), "");
    EXPECT_EQ(ReadFile(path), written);
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    EXPECT_EQ(::GetFileAttributesW(Wide(path).c_str()) & kept, GetParam() & kept);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"cover.jpg"});
    ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WholeFileAttributes,
    testing::Values(DWORD{FILE_ATTRIBUTE_ARCHIVE}, DWORD{FILE_ATTRIBUTE_HIDDEN},
                    DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE}),
    [](const testing::TestParamInfo<DWORD>& a) { return "Attributes" + std::to_string(a.param); });

TEST(WholeFile, HeldOpenWithoutDeleteSharingStaysAsItWas)
{
    TempDir dir;
    const std::string path = dir.File("table.csv");
    WriteFile(path, Pattern(500, 1));
    const HANDLE other =
        ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const std::string refused = WriteFileWhole(path, Pattern(700, 2));
    ::CloseHandle(other);
    EXPECT_NE(refused, "");
    EXPECT_EQ(ReadFile(path), Pattern(500, 1));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"table.csv"}) << "a leftover";
}

TEST(FolderReader, LeavesOutHiddenAndSystemFiles)
{
    TempDir dir;
    for (const char* name : {"hidden.mp3", "system.mp3", "shown.mp3"}) {
        Mp3Builder().Audio(2).WriteTo(dir.File(name));
    }
    ASSERT_TRUE(::SetFileAttributesW(Wide(dir.File("hidden.mp3")).c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::SetFileAttributesW(Wide(dir.File("system.mp3")).c_str(), FILE_ATTRIBUTE_SYSTEM));
    std::error_code error;
    EXPECT_EQ(FolderReader::ListMp3Names(dir.Path(), error), std::vector<std::string>{"shown.mp3"});
    EXPECT_FALSE(error) << error.message();
}

} // namespace
} // namespace varnello
