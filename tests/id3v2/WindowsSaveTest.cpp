// Saves on Windows: the read-only attribute, the forms a path takes there,
// a file another program holds open, and the attributes a replaced file
// keeps.

#include "WriterTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace varnello::writertest {
namespace {

using testsupport::Id3v2Builder;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

std::wstring Wide(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

std::string Utf8(const std::wstring& wide)
{
    const std::u8string text = std::filesystem::path(wide).u8string();
    return std::string(text.begin(), text.end());
}

// The names in a folder of any path length, hidden files among them.
std::vector<std::string> Names(const std::wstring& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(Utf8(name));
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

DWORD Attributes(const std::string& path)
{
    return ::GetFileAttributesW(Wide(path).c_str());
}

Bytes OldFile()
{
    Bytes file = Id3v2Builder().TextFrame("TIT2", "Old title").Padding(100).Build();
    testsupport::Append(file, Pattern(20000));
    return file;
}

// A tag that fits the old one's place (written in place), or one that does
// not (written to a temporary file that replaces the old one).
void FillTag(Tid3v2tag& tag, bool grows)
{
    AddText(tag, "TIT2", "A new title");
    if (grows) {
        AddFrame(tag, "PRIV", Pattern(3000, 9));
    }
}

// The new title when the file on disk holds it.
std::string TitleOf(const std::string& path)
{
    const Bytes file = ReadFile(path);
    const std::string text(file.begin(), file.end());
    return text.find("A new title") != std::string::npos ? "A new title" : "(old title)";
}

// The audio after the tag, as the file on disk has it.
Bytes AudioOf(const std::string& path)
{
    Tid3v2tag loaded;
    if (loaded.LoadFromFile(path, 0) != status::kOk) {
        return {};
    }
    return Slice(ReadFile(path), loaded.TagSize + 10);
}

class ReadOnlyAttribute : public testing::TestWithParam<bool>
{
};

TEST_P(ReadOnlyAttribute, IsRefusedAndNeverCleared)
{
    TempDir dir;
    const std::string path = dir.File("locked.mp3");
    WriteFile(path, OldFile());
    ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    Tid3v2tag tag;
    FillTag(tag, GetParam());
    EXPECT_EQ(Save(tag, path), status::kReadOnly);
    EXPECT_NE(Attributes(path) & FILE_ATTRIBUTE_READONLY, 0u) << "the attribute was cleared";
    EXPECT_EQ(ReadFile(path), OldFile());
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"locked.mp3"});
    ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

INSTANTIATE_TEST_SUITE_P(InPlaceAndReplaced, ReadOnlyAttribute, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& grows) {
                             return grows.param ? std::string("TagGrows") : "TagFits";
                         });

struct PathCase
{
    const char* Name;
    const char* FileName; // UTF-8
    int Depth;            // folders of 60 letters between the temporary folder and the file
    bool Prefixed;        // given with \\?\ in front
    bool ForwardSlashes;
};

void PrintTo(const PathCase& c, std::ostream* out)
{
    *out << c.Name;
}

class PathForms : public testing::TestWithParam<PathCase>
{
};

// The full path with a drive letter, each form of it saved through and
// loaded again.
TEST_P(PathForms, SaveAndLoadAgain)
{
    const PathCase& c = GetParam();
    TempDir dir;
    std::wstring full(MAX_PATH, L'\0');
    const DWORD got = ::GetFullPathNameW(Wide(dir.Path()).c_str(), MAX_PATH, full.data(), nullptr);
    ASSERT_GT(got, 0u);
    full.resize(got);
    ASSERT_EQ(full[1], L':') << "the temporary folder has no drive letter";
    for (int level = 0; level < c.Depth; ++level) {
        full += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + level));
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + full).c_str(), nullptr)) << level;
    }
    full += L"\\" + Wide(c.FileName);
    WriteFile(Utf8(L"\\\\?\\" + full), OldFile());

    std::string path = Utf8(c.Prefixed ? L"\\\\?\\" + full : full);
    if (c.ForwardSlashes) {
        std::replace(path.begin(), path.end(), '\\', '/');
    }
    for (const bool grows : {false, true}) {
        Tid3v2tag tag;
        FillTag(tag, grows);
        ASSERT_EQ(Save(tag, path), status::kOk) << path << (grows ? " (tag grows)" : "");
        EXPECT_EQ(TitleOf(path), "A new title") << path;
        EXPECT_EQ(AudioOf(path), Pattern(20000)) << path;
    }
    const std::wstring folder = L"\\\\?\\" + full.substr(0, full.rfind(L'\\'));
    EXPECT_EQ(Names(folder), std::vector<std::string>{c.FileName}) << "a leftover";
}

INSTANTIATE_TEST_SUITE_P(
    Windows, PathForms,
    testing::Values(
        PathCase{"DriveLetter", "plain.mp3", 0, false, false},
        PathCase{"ForwardSlashes", "plain.mp3", 0, false, true},
        PathCase{"LongPathPrefix", "plain.mp3", 0, true, false},
        PathCase{"LongerThanMaxPath", "deep.mp3", 5, false, false},
        PathCase{"LongerThanMaxPathPrefixed", "deep.mp3", 5, true, false},
        PathCase{"NonAsciiName", "Sigur R\xC3\xB3s \xE2\x80\x93 \xC3\x81g\xC3\xA6tis.mp3", 0, false,
                 false},
        PathCase{"NonBmpName", "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5.mp3", 0, false, false}),
    [](const testing::TestParamInfo<PathCase>& c) { return std::string(c.param.Name); });

struct HeldCase
{
    const char* Name;
    DWORD Share;      // what the other program lets others do
    StatusWord Saved; // the save's result
};

void PrintTo(const HeldCase& c, std::ostream* out)
{
    *out << c.Name;
}

class HeldOpen : public testing::TestWithParam<HeldCase>
{
};

// Another program has the file open for reading: a player that lets others
// write goes on playing while the save works; one that does not share
// writing gets a clear status and its file untouched.
TEST_P(HeldOpen, ByAnotherProgram)
{
    const HeldCase& c = GetParam();
    for (const bool grows : {false, true}) {
        TempDir dir;
        const std::string path = dir.File("held.mp3");
        WriteFile(path, OldFile());
        const HANDLE other = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, c.Share, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        Tid3v2tag tag;
        FillTag(tag, grows);
        const StatusWord saved = Save(tag, path);
        ::CloseHandle(other);
        const std::string where = grows ? " (tag grows)" : " (tag fits)";
        EXPECT_EQ(saved, c.Saved) << where;
        if (c.Saved == status::kOk) {
            EXPECT_EQ(TitleOf(path), "A new title") << where;
            EXPECT_EQ(AudioOf(path), Pattern(20000)) << where;
        } else {
            EXPECT_EQ(ReadFile(path), OldFile()) << where;
        }
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"held.mp3"}) << where;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sharing, HeldOpen,
    testing::Values(HeldCase{"SharesEverything",
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, status::kOk},
                    HeldCase{"SharesReadAndWrite", FILE_SHARE_READ | FILE_SHARE_WRITE, status::kOk},
                    HeldCase{"SharesOnlyReading", FILE_SHARE_READ, status::kReadOnly},
                    HeldCase{"SharesNothing", 0, status::kReadOnly}),
    [](const testing::TestParamInfo<HeldCase>& c) { return std::string(c.param.Name); });

class KeptAttributes : public testing::TestWithParam<DWORD>
{
};

// A tag that grows needs a new file, or (where the open file cannot be
// replaced) the audio moved inside the old one: either way the file keeps
// its attributes.
TEST_P(KeptAttributes, WhenTheTagGrows)
{
    TempDir dir;
    const std::string path = dir.File("kept.mp3");
    WriteFile(path, OldFile());
    ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), GetParam()));
    Tid3v2tag tag;
    FillTag(tag, true);
    ASSERT_EQ(Save(tag, path), status::kOk);
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    EXPECT_EQ(Attributes(path) & kept, GetParam() & kept);
    EXPECT_EQ(TitleOf(path), "A new title");
    EXPECT_EQ(AudioOf(path), Pattern(20000));
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"kept.mp3"});
    ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, KeptAttributes,
    testing::Values(DWORD{FILE_ATTRIBUTE_ARCHIVE},
                    DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
                    DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE}),
    [](const testing::TestParamInfo<DWORD>& a) { return "Attributes" + std::to_string(a.param); });

} // namespace
} // namespace varnello::writertest
