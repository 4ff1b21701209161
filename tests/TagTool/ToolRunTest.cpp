// Runs the built varnello-tag on generated folders.

#include "Mp3Builder.h"
#include "Platform.h"
#include "RunTool.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace varnello::testsupport {
namespace {

namespace fs = std::filesystem;

const std::string kTool = VARNELLO_TAG_PROGRAM;

Id3v1Fields V1(std::string title, std::string artist, std::uint8_t genre)
{
    Id3v1Fields fields;
    fields.Title = std::move(title);
    fields.Artist = std::move(artist);
    fields.Year = "1999";
    fields.Comment = "V1 Comment";
    fields.Genre = genre;
    return fields;
}

std::size_t CountLines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class TagTool : public testing::Test
{
protected:
    void SetUp() override
    {
        // b.mp3: version 3 with UTF-16 text, quotes and a backslash, two-line comment.
        Mp3Builder()
            .Tag(Id3v2Builder()
                     .Version(3)
                     .Frame("TIT2", Utf16BomText(u"\u591c\u306b\u99c6\u3051\u308b"))
                     .TextFrame("TPE1", "A \"quoted\" \\ name")
                     .TextFrame("TYER", "2019")
                     .Frame("COMM", Latin1Comment("eng", "", "one\ntwo"))
                     .Frame("TRCK", Latin1Text("4"))
                     .Build())
            .Audio(4)
            .WriteTo(m_dir.File("b.mp3"));
        Mp3Builder().Audio(4).Id3v1(V1("V1 Title", "V1 Artist", 17)).WriteTo(m_dir.File("A.mp3"));
        Mp3Builder().Audio(4).WriteTo(m_dir.File("c.MP3"));
        Mp3Builder()
            .Tag(Id3v2Builder()
                     .Version(4)
                     .Frame("TIT2", Utf8Text("Café"))
                     .Frame("TDRC", Utf8Text("2004-05-06"))
                     .Build())
            .Audio(4)
            .WriteTo(m_dir.File("ça va.mp3"));
    }

    ToolRun Run(const std::vector<std::string>& args)
    {
        return RunProgram(kTool, args, m_dir.Path());
    }

    // `list --json` parsed by python3 and written back canonically.
    std::string ListJson()
    {
        const ToolRun run = Run({"list", "--json", m_dir.Path()});
        EXPECT_EQ(run.ExitStatus, 0) << run.Err;
        return Canonical(run.Out);
    }

    std::string Canonical(const std::string& json)
    {
        const std::string file = m_dir.File("out.json.txt");
        WriteFile(file, ToBytes(json));
        std::string error;
        const std::string canonical = CanonicalJson(file, error);
        EXPECT_EQ(error, "") << json;
        fs::remove(file);
        return canonical;
    }

    TempDir m_dir;
};

TEST_F(TagTool, ListJsonParsesAndHoldsTheRowsInTableOrder)
{
    if (!HavePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string expected =
        R"([{"album":"","albumArtist":"","artist":"V1 Artist","comment":"V1 Comment","disc":"",)"
        R"("fileName":"A.mp3","genre":"Rock","no":"0","tagKind":2,"title":"V1 Title","track":"",)"
        R"("year":"1999"},)"
        R"({"album":"","albumArtist":"","artist":"A \"quoted\" \\ name","comment":"one\ntwo",)"
        R"("disc":"","fileName":"b.mp3","genre":"","no":"1","tagKind":1,"title":"夜に駆ける",)"
        R"("track":"4","year":"2019"},)"
        R"({"album":"","albumArtist":"","artist":"","comment":"","disc":"","fileName":"c.MP3",)"
        R"("genre":"","no":"2","tagKind":0,"title":"","track":"","year":""},)"
        R"({"album":"","albumArtist":"","artist":"","comment":"","disc":"","fileName":"ça va.mp3",)"
        R"("genre":"","no":"3","tagKind":1,"title":"Café","track":"","year":"2004-05-06"}])";
    EXPECT_EQ(ListJson(), expected);
}

TEST_F(TagTool, ListWithoutFolderShowsTheWorkingFolderAsATable)
{
    const ToolRun run = Run({"list"});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_NE(run.Out.find("File Name"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("夜に駆ける"), std::string::npos) << run.Out;
    EXPECT_EQ(CountLines(run.Out), 6u) << "caption, rule and four rows:\n" << run.Out;
}

TEST_F(TagTool, SetWritesTheGivenFieldsAndListShowsThem)
{
    if (!HavePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const ToolRun run =
        Run({"set", "--artist", "Néw Ärtist", "--genre", " rock ", "A.mp3", m_dir.File("b.mp3")});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const std::string expected =
        R"([{"album":"","albumArtist":"","artist":"Néw Ärtist","comment":"V1 Comment","disc":"",)"
        R"("fileName":"A.mp3","genre":"rock","no":"0","tagKind":3,"title":"V1 Title","track":"",)"
        R"("year":"1999"},)"
        R"({"album":"","albumArtist":"","artist":"Néw Ärtist","comment":"one\ntwo","disc":"",)"
        R"("fileName":"b.mp3","genre":"rock","no":"1","tagKind":1,"title":"夜に駆ける",)"
        R"("track":"4","year":"2019"},)";
    EXPECT_EQ(ListJson().substr(0, expected.size()), expected);
    const Bytes a = ReadFile(m_dir.File("A.mp3"));
    EXPECT_EQ(a.back(), 17) << "ID3v1 genre byte of \" rock \"";
    EXPECT_EQ(std::string(a.end() - 128 + 33, a.end() - 128 + 43), "N\xE9w \xC4rtist")
        << "ID3v1 is ISO-8859-1 on disk";
}

TEST_F(TagTool, SetKeepMtimeGivesTheFileItsOldModificationTimeBack)
{
    // The time is set and read through the platform layer: MinGW's
    // std::filesystem counts file times from another epoch.
    const std::string path = m_dir.File("b.mp3");
    constexpr std::int64_t kOld = 1'000'000'000'000'000'000;
    {
        platform::Handle file;
        ASSERT_FALSE(platform::Open(path, platform::Access::ReadWrite, file));
        ASSERT_FALSE(platform::SetModifiedTime(file, kOld));
    }
    const ToolRun run = Run({"set", "--keep-mtime", "--title", "Kept time", "b.mp3"});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    platform::FileInfo info;
    ASSERT_FALSE(platform::QueryPath(path, platform::Follow::Links, info));
    EXPECT_EQ(info.ModifiedNanoseconds, kOld);
    const Bytes file = ReadFile(path);
    EXPECT_NE(std::string(file.begin(), file.end()).find("Kept time"), std::string::npos);
}

TEST_F(TagTool, ListRecursiveGivesSubfolderFilesByTheirRelativePath)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, which Windows gives only with a privilege";
#else
    fs::create_directories(m_dir.File("Disc 2"));
    Mp3Builder().Audio(2).WriteTo(m_dir.File("Disc 2/01.mp3"));
    fs::create_directory_symlink("..", m_dir.File("Disc 2/up"));
    ToolRun run = Run({"list", "--recursive", "--json"});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_NE(run.Out.find("\"fileName\": \"Disc 2/01.mp3\""), std::string::npos) << run.Out;
    EXPECT_EQ(run.Out.find("up/"), std::string::npos) << "the link back up is a loop";
    run = Run({"list", "--recursive"});
    EXPECT_EQ(CountLines(run.Out), 2 + 5u) << run.Out;
#endif
}

TEST_F(TagTool, SetNamesEachFailedFileAndExitsWithOne)
{
    fs::permissions(m_dir.File("b.mp3"), fs::perms::owner_write, fs::perm_options::remove);
    const ToolRun run = Run({"set", "--title", "T", "b.mp3", "gone.mp3", "A.mp3"});
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(CountLines(run.Err), 2u) << run.Err;
    EXPECT_NE(run.Err.find("b.mp3: file couldn't be opened for writing (status 0x0200)"),
              std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("gone.mp3: no such file"), std::string::npos) << run.Err;
    EXPECT_FALSE(fs::exists(m_dir.File("gone.mp3")));
    const Bytes a = ReadFile(m_dir.File("A.mp3"));
    EXPECT_EQ(std::string(a.end() - 128 + 3, a.end() - 128 + 4), "T") << "A.mp3 was saved";
}

TEST_F(TagTool, WrongCommandLinesExitWithTwo)
{
    const std::vector<std::vector<std::string>> cases{
        {},
        {"frobnicate"},
        {"set", "A.mp3"},
        {"set", "--title"},
        {"set", "--title", "T"},
        {"set", "--bogus", "x", "A.mp3"},
        {"list", "--bogus"},
        {"list", "a", "b"},
        {"show"},
        {"show", "A.mp3", "b.mp3"},
        {"from-name", "A.mp3"},
        {"from-name", "--pattern", "%title%"},
        {"from-name", "--pattern", "%artist%%title%", "A.mp3"},
        {"rename", "--pattern", "%nope%", "A.mp3"},
        {"rename", "--pattern", "no placeholder", "A.mp3"},
    };
    for (const auto& args : cases) {
        const ToolRun run = Run(args);
        std::string line;
        for (const auto& arg : args) {
            line += arg + " ";
        }
        EXPECT_EQ(run.ExitStatus, 2) << line;
        EXPECT_EQ(run.Out, "") << line;
        EXPECT_EQ(CountLines(run.Err), 2u) << line << ": the error and a hint\n" << run.Err;
    }
}

TEST_F(TagTool, HelpIsAvailableForEveryCommand)
{
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"list", "--help"},
                                               {"set", "--help"},
                                               {"show", "-h"},
                                               {"from-name", "--help"},
                                               {"rename", "-h"}}) {
        const ToolRun run = Run(args);
        EXPECT_EQ(run.ExitStatus, 0) << args.front();
        EXPECT_EQ(run.Out.rfind("Usage: varnello-tag", 0), 0u) << run.Out;
    }
}

TEST_F(TagTool, MissingFolderOrFileGivesOneClearLine)
{
    ToolRun run = Run({"list", m_dir.File("missing")});
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(CountLines(run.Err), 1u) << run.Err;
    EXPECT_NE(run.Err.find("cannot read folder"), std::string::npos) << run.Err;

    run = Run({"list", m_dir.File("A.mp3")});
    EXPECT_EQ(run.ExitStatus, 1) << "a file is not a folder";

    run = Run({"show", "missing.mp3"});
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Err, "varnello-tag: missing.mp3: no such file\n");
}

TEST_F(TagTool, ShowDescribesBothTagsAndEveryFrame)
{
    if (!HavePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    ToolRun run = Run({"show", "--json", "b.mp3"});
    ASSERT_EQ(run.ExitStatus, 0) << run.Err;
    const std::string b = Canonical(run.Out);
    for (const char* part :
         {R"("loaded":true)", R"("version":3)", R"("message":"OK")", R"("id":"TIT2")",
          R"("text":"夜に駆ける")", R"("id":"TRCK")", R"("language":"eng")", R"("text":"one\ntwo")",
          R"("id3v1":{"present":false})"}) {
        EXPECT_NE(b.find(part), std::string::npos) << part << " in " << b;
    }

    run = Run({"show", "--json", "A.mp3"});
    ASSERT_EQ(run.ExitStatus, 0) << run.Err;
    const std::string a = Canonical(run.Out);
    for (const char* part : {R"("loaded":false)", R"("message":"no ID3v2 tag")", R"("genre":17)",
                             R"("genreName":"Rock")", R"("title":"V1 Title")"}) {
        EXPECT_NE(a.find(part), std::string::npos) << part << " in " << a;
    }

    run = Run({"show", "ça va.mp3"});
    EXPECT_EQ(run.ExitStatus, 0);
    EXPECT_NE(run.Out.find("Version: 2.4.0"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("TDRC"), std::string::npos) << run.Out;
}

TEST_F(TagTool, ShowNamesAVersion22TagAndTheFramesASaveWouldLose)
{
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(2)
                 .FrameV22("TT2", Latin1Text("Old title"))
                 .FrameV22("CRM", ToBytes(std::string_view("owner\0xyz", 9)))
                 .Build())
        .Audio(4)
        .WriteTo(m_dir.File("v22.mp3"));
    const ToolRun run = Run({"show", "v22.mp3"});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    for (const char* part :
         {"Version: 2.2.0", "TIT2", "\"Old title\"", "Frames without a version 2.3 form: CRM\n"}) {
        EXPECT_NE(run.Out.find(part), std::string::npos) << part << " in " << run.Out;
    }
}

// A name with a byte that is not UTF-8 and a newline, and its bytes in hex.
const std::string kForeignName = "bad\xFF\nname.mp3";
const std::string kForeignHex = "626164ff0a6e616d652e6d7033";

TEST_F(TagTool, ForeignNameRoundTripsFromListJsonThroughSetToShow)
{
    if (!HavePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", "Old").Build())
        .Audio(4)
        .WriteTo(m_dir.File(kForeignName));
    const std::string listed = ListJson();
    const std::string hexField = R"("fileNameHex":")";
    const std::size_t at = listed.find(hexField);
    ASSERT_NE(at, std::string::npos) << listed;
    const std::string hex = listed.substr(at + hexField.size(), kForeignHex.size() + 1);
    ASSERT_EQ(hex, kForeignHex + "\"") << listed;
    EXPECT_EQ(listed.find(hexField, at + 1), std::string::npos) << "only the foreign name has one";

    ToolRun run = Run({"set", "--title", "New", "--hex-path", kForeignHex});
    ASSERT_EQ(run.ExitStatus, 0) << run.Err;
    run = Run({"show", "--json", "--hex-path", kForeignHex});
    ASSERT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_NE(Canonical(run.Out).find(R"("text":"New")"), std::string::npos) << run.Out;
    EXPECT_TRUE(fs::exists(m_dir.File(kForeignName))) << "saved under its own bytes";
}

TEST_F(TagTool, NamesInErrorLinesAndTheTableAreEscaped)
{
#ifdef _WIN32
    GTEST_SKIP()
        << "needs file names with bytes that are not UTF-8 and a line break, which Windows refuses";
#else
    ToolRun run = Run({"set", "--title", "T", "--hex-path", kForeignHex, "forged\nline.mp3"});
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_EQ(run.Err, "varnello-tag: bad\\xFF\\nname.mp3: no such file\n"
                       "varnello-tag: forged\\nline.mp3: no such file\n");

    Mp3Builder().Audio(4).WriteTo(m_dir.File(kForeignName));
    Mp3Builder().Audio(4).WriteTo(m_dir.File("\x1B[2Jclear.mp3"));
    run = Run({"list"});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_EQ(CountLines(run.Out), 8u) << "caption, rule and six rows:\n" << run.Out;
    EXPECT_NE(run.Out.find(R"(bad\xFF\nname.mp3)"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find(R"(\x1B[2Jclear.mp3)"), std::string::npos) << run.Out;
    for (const char c : run.Out) {
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20)
            << "control character " << int{c} << " in the table";
    }

    run = Run({"show", "--hex-path", kForeignHex});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_NE(run.Out.find("bad\\xFF\\nname.mp3\n"), std::string::npos) << "show's File line:\n"
                                                                        << run.Out;
#endif
}

TEST_F(TagTool, NonMp3ContentNamedMp3IsListedAndShownWithoutCrashing)
{
    WriteFile(m_dir.File("text.mp3"), ToBytes("ID3\x03"));
    WriteFile(m_dir.File("huge.mp3"), Id3v2Builder().Version(3).SizeOverride(0x0FFFFFFF).Build());
    for (const char* name : {"text.mp3", "huge.mp3"}) {
        const ToolRun run = Run({"show", name});
        EXPECT_EQ(run.ExitStatus, 0) << name << run.Err;
        EXPECT_NE(run.Out.find("ID3v1: none"), std::string::npos) << run.Out;
    }
    EXPECT_EQ(Run({"list"}).ExitStatus, 0);
}

TEST_F(TagTool, SetRefusesWhatItCannotKeepAndLeavesTheFileAsItWas)
{
    WriteFile(m_dir.File("notes.txt"), ToBytes("not music\n"));
    // The third frame runs past the tag's end, so the tag does not load.
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(3)
                 .TextFrame("TIT2", "Old")
                 .TextFrame("TRCK", "3")
                 .Frame("TALB", Latin1Text("x"), 0, 0, {}, 4000)
                 .Build())
        .Audio(4)
        .WriteTo(m_dir.File("bad.mp3"));
    struct Case
    {
        std::vector<std::string> Args;
        std::string File;
        std::string Reason;
    };
    const Case cases[] = {
        {{"set", "--title", "X", "notes.txt"}, "notes.txt", "notes.txt: not an MP3 file"},
        {{"set", "--title", "X", "bad.mp3"}, "bad.mp3", "could not be read; not saved"},
        {{"set", "--comment", "a\tb", "b.mp3"}, "b.mp3", "control characters"},
        {{"set", "--title", "one\ntwo", "b.mp3"}, "b.mp3", "control characters"},
    };
    for (const Case& c : cases) {
        const Bytes before = ReadFile(m_dir.File(c.File));
        const ToolRun run = Run(c.Args);
        EXPECT_EQ(run.ExitStatus, 1) << c.Args[1] << " " << c.File;
        EXPECT_EQ(CountLines(run.Err), 1u) << run.Err;
        EXPECT_NE(run.Err.find(c.Reason), std::string::npos) << run.Err;
        EXPECT_EQ(ReadFile(m_dir.File(c.File)), before) << c.Args[1] << " " << c.File;
    }

    const ToolRun repaired = Run({"set", "--title", "X", "--replace-unreadable", "bad.mp3"});
    EXPECT_EQ(repaired.ExitStatus, 0) << repaired.Err;
    const ToolRun shown = Run({"show", "bad.mp3"});
    EXPECT_NE(shown.Out.find("TRCK"), std::string::npos) << "the readable frames are kept\n"
                                                         << shown.Out;
    EXPECT_NE(shown.Out.find("X"), std::string::npos) << shown.Out;
}

TEST_F(TagTool, SetTrackDiscAndAlbumArtistAndListJsonShowsThem)
{
    if (!HavePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const ToolRun run =
        Run({"set", "--track", "07/12", "--disc=1/2", "--album-artist", "Bänd", "A.mp3", "b.mp3"});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    const std::string expected =
        R"([{"album":"","albumArtist":"Bänd","artist":"V1 Artist","comment":"V1 Comment",)"
        R"("disc":"1/2","fileName":"A.mp3","genre":"Rock","no":"0","tagKind":3,)"
        R"("title":"V1 Title","track":"07/12","year":"1999"},)"
        R"({"album":"","albumArtist":"Bänd","artist":"A \"quoted\" \\ name",)"
        R"("comment":"one\ntwo","disc":"1/2","fileName":"b.mp3","genre":"","no":"1",)"
        R"("tagKind":1,"title":"夜に駆ける","track":"07/12","year":"2019"},)";
    EXPECT_EQ(ListJson().substr(0, expected.size()), expected);
    EXPECT_EQ(ReadFile(m_dir.File("A.mp3")).end()[-2], 7) << "ID3v1.1 track byte";
}

TEST_F(TagTool, SetRefusesTrackAndDiscOutsideTheirFormBeforeAnyFile)
{
    const Bytes before = ReadFile(m_dir.File("b.mp3"));
    for (const char* option : {"--track", "--disc"}) {
        for (const char* bad : {"0", "10000", "3/", "/3", "a", "3/x", " 3"}) {
            const ToolRun run = Run({"set", option, bad, "b.mp3"});
            const std::string shown = std::string(option) + " '" + bad + "'";
            EXPECT_EQ(run.ExitStatus, 2) << shown;
            EXPECT_NE(run.Err.find(std::string(option) +
                                   ": give a number from 1 to 9999, optionally with /total"),
                      std::string::npos)
                << shown << ": " << run.Err;
            EXPECT_EQ(ReadFile(m_dir.File("b.mp3")), before) << shown;
        }
    }
    for (const char* good : {"3", "03", "3/12", "9999/9999"}) {
        const ToolRun run = Run({"set", "--track", good, "--disc", good, "b.mp3"});
        EXPECT_EQ(run.ExitStatus, 0) << good << ": " << run.Err;
    }
}

TEST_F(TagTool, ShowNamesTheWarningsOfALenientRead)
{
    Mp3Builder()
        .Tag(Id3v2Builder()
                 .Version(4)
                 .HeaderFlags(0x80)
                 .TextFrame("TIT2", "T")
                 .Raw({0, 0, 0, 0, 'J', 'U', 'N', 'K'})
                 .Build())
        .Audio(2)
        .WriteTo(m_dir.File("lenient.mp3"));
    const ToolRun run = Run({"show", "lenient.mp3"});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    for (const char* line :
         {"ID3v2: status 0x0021", "  Warning: Bytes after the last frame that are not a frame",
          "  Warning: The tag header's unsynchronisation applies to every frame"}) {
        EXPECT_NE(run.Out.find(line), std::string::npos) << line << " in\n" << run.Out;
    }
}

TEST_F(TagTool, ListCsvHoldsEveryColumnQuotedInTableOrder)
{
    const ToolRun run = Run({"list", "--csv", m_dir.Path()});
    EXPECT_EQ(run.ExitStatus, 0) << run.Err;
    EXPECT_EQ(run.Out,
              "No.,Tag Kind,File Name,Title,Artist,Album,Year,Genre,Comment,Track,Disc,"
              "Album artist\r\n"
              "0,2,A.mp3,V1 Title,V1 Artist,,1999,Rock,V1 Comment,,,\r\n"
              "1,1,b.mp3,夜に駆ける,\"A \"\"quoted\"\" \\ name\",,2019,,\"one\ntwo\",4,,\r\n"
              "2,0,c.MP3,,,,,,,,,\r\n"
              "3,1,ça va.mp3,Café,,,2004-05-06,,,,,\r\n");
    EXPECT_EQ(Run({"list", "--csv", "--json"}).ExitStatus, 2);
}

} // namespace
} // namespace varnello::testsupport
