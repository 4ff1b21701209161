// Version 2.2 tags: loaded with every frame converted to its version 3 form,
// and saved as version 3.0 tags, or refused when a frame has no such form.

#include "FrameConversionV22.h"
#include "ReaderFixture.h"
#include "WriterTestSupport.h"

using namespace varnello;
using namespace varnello::readertest;
using testsupport::Id3v2Builder;
using testsupport::Latin1Comment;
using testsupport::Latin1Text;
using testsupport::PicV22;
using testsupport::ReadFile;
using testsupport::ToBytes;
using writertest::Pattern;

namespace {

// Every version 2.2 ID with a version 3 counterpart, and that counterpart.
struct IdCase
{
    const char* V22;
    const char* V23;
};

constexpr IdCase kIdCases[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"},
    {"ETC", "ETCO"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"},
    {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"},
    {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCR", "TCOP"},
    {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"},
    {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"}, {"TOA", "TOPE"},
    {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"},
    {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"},
    {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"}, {"TSS", "TSSE"},
    {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"},
    {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"},
    {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"}, {"WXX", "WXXX"},
    {"TCP", "TCMP"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSP", "TSOP"},
    {"TST", "TSOT"},
};

class V22Ids : public ReaderTest, public testing::WithParamInterface<IdCase>
{
};

// A tag with the usual fields, a picture, a track and frames the user
// interface never touches; the ID3v1 block and the audio follow it.
Bytes UsualTagV22(const Bytes& image)
{
    return Id3v2Builder()
        .Version(2)
        .FrameV22("TT2", Latin1Text("Title"))
        .FrameV22("TP1", Latin1Text("Artist"))
        .FrameV22("TAL", Latin1Text("Album"))
        .FrameV22("TYE", Latin1Text("1999"))
        .FrameV22("TCO", Latin1Text("(17)"))
        .FrameV22("COM", Latin1Comment("eng", "", "A comment"))
        .FrameV22("TRK", Latin1Text("3/12"))
        .FrameV22("PIC", PicV22("JPG", 3, "Cover", image))
        .FrameV22("UFI", ToBytes(std::string_view("owner\0id", 8)))
        .Padding(50)
        .Build();
}

testsupport::Id3v1Fields Trailer()
{
    testsupport::Id3v1Fields fields;
    fields.Title = "Old title";
    fields.Genre = 17;
    return fields;
}

} // namespace

TEST_P(V22Ids, FrameGetsItsVersion3IdAndKeepsItsData)
{
    const IdCase& c = GetParam();
    const Bytes data = Latin1Text("value \xFF\xE0");
    ASSERT_EQ(Load(Id3v2Builder().Version(2).FrameV22(c.V22, data).Build()), status::kOk);
    ASSERT_EQ(m_tag.Frames.Count(), 1u) << c.V22;
    EXPECT_EQ(m_tag.Frames.ID(1), c.V23) << c.V22;
    EXPECT_EQ(Data(1), data) << c.V22 << ": " << Hex(Data(1));
    EXPECT_TRUE(m_tag.UnconvertibleFrames.empty()) << c.V22;
}

INSTANTIATE_TEST_SUITE_P(TagReaderV22, V22Ids, testing::ValuesIn(kIdCases),
                         [](const testing::TestParamInfo<IdCase>& caseInfo) {
                             return std::string(caseInfo.param.V22);
                         });

TEST(FrameConversionV22, PictureFormatBecomesMimeType)
{
    const Bytes image{0xFF, 0xD8, 0xFF, 0x00, 0x01};
    const struct
    {
        const char* Format;
        const char* Mime;
    } cases[] = {{"JPG", "image/jpeg"}, {"jpg", "image/jpeg"}, {"PNG", "image/png"},
                 {"GIF", "image/gif"},  {"BMP", "image/bmp"},  {"-->", "-->"}};
    for (const auto& c : cases) {
        const auto converted = ConvertFrameV22("PIC", PicV22(c.Format, 3, "Cover", image));
        ASSERT_TRUE(converted) << c.Format;
        Bytes expected{0x00};
        testsupport::Append(expected, ToBytes(c.Mime));
        expected.push_back(0x00);
        expected.push_back(3);
        testsupport::Append(expected, ToBytes("Cover"));
        expected.push_back(0x00);
        testsupport::Append(expected, image);
        EXPECT_EQ(converted->ID, "APIC");
        EXPECT_EQ(converted->Data, expected) << c.Format << ": " << Hex(converted->Data);
    }
}

TEST(FrameConversionV22, FramesWithoutAVersion3FormAreRefused)
{
    const struct
    {
        const char* Name;
        const char* Id;
        Bytes Data;
    } cases[] = {
        {"encrypted meta frame", "CRM", ToBytes(std::string_view("owner\0xyz", 9))},
        {"experimental", "XYZ", {1, 2}},
        {"unknown", "ABC", {1, 2}},
        {"lower case", "tt2", Latin1Text("x")},
        {"picture cut inside its format", "PIC", {0x00, 'J', 'P'}},
        {"picture format with a zero byte", "PIC", PicV22(std::string_view("J\0G", 3), 3, "", {1})},
        {"link to an encrypted meta frame", "LNK", ToBytes(std::string_view("CRMhttp://x\0", 12))},
        {"link cut inside its target", "LNK", ToBytes("TT")},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ConvertFrameV22(c.Id, c.Data)) << c.Name;
    }
}

TEST(FrameConversionV22, LinkPointsAtTheVersion3Id)
{
    const auto converted = ConvertFrameV22("LNK", ToBytes(std::string_view("PIChttp://x\0id", 14)));
    ASSERT_TRUE(converted);
    EXPECT_EQ(converted->ID, "LINK");
    EXPECT_EQ(converted->Data, ToBytes(std::string_view("APIChttp://x\0id", 15)))
        << Hex(converted->Data);
}

TEST_F(ReaderTest, V22TagShowsItsFieldsThroughTheUsualAccessors)
{
    ASSERT_EQ(Load(UsualTagV22({1, 2, 3})), status::kOk);
    EXPECT_EQ(m_tag.MajorVersion, 2);
    EXPECT_EQ(m_tag.PaddingSize, 50u);
    std::string text;
    EXPECT_EQ(m_tag.GetTextFrame("TIT2", text), textresult::kOk);
    EXPECT_EQ(text, "Title");
    EXPECT_EQ(m_tag.GetTextFrame("TPE1", text), textresult::kOk);
    EXPECT_EQ(text, "Artist");
    EXPECT_EQ(m_tag.GetTextFrame("TALB", text), textresult::kOk);
    EXPECT_EQ(text, "Album");
    EXPECT_EQ(m_tag.GetYear(text), textresult::kOk);
    EXPECT_EQ(text, "1999");
    EXPECT_EQ(m_tag.GetTextFrame("TCON", text), textresult::kOk);
    EXPECT_EQ(text, "(17)");
    COMM comment;
    EXPECT_EQ(m_tag.GetComment(comment, "", "None"), textresult::kOk);
    EXPECT_EQ(comment.Text, "A comment");
    EXPECT_EQ(comment.Language, "eng");
}

TEST_F(ReaderTest, V22UnconvertibleFramesAreListedAndTheRestLoads)
{
    const Bytes tag = Id3v2Builder()
                          .Version(2)
                          .FrameV22("CRM", ToBytes(std::string_view("owner\0xyz", 9)))
                          .FrameV22("TT2", Latin1Text("Title"))
                          .FrameV22("XYZ", {1, 2, 3})
                          .Build();
    ASSERT_EQ(Load(tag), status::kOk);
    ASSERT_EQ(m_tag.Frames.Count(), 1u);
    EXPECT_EQ(m_tag.Frames.ID(1), "TIT2");
    EXPECT_EQ(m_tag.UnconvertibleFrames, (std::vector<std::string>{"CRM", "XYZ"}));

    // The list belongs to the tag loaded last.
    ASSERT_EQ(Load(Id3v2Builder().TextFrame("TIT2", "x").Build()), status::kOk);
    EXPECT_TRUE(m_tag.UnconvertibleFrames.empty());
}

TEST_F(ReaderTest, V22UnsynchronisedTagIsReadPlain)
{
    const Bytes data{0xFF, 0xE0, 0xFF, 0x00, 0xFF};
    const Bytes tag = Id3v2Builder()
                          .Version(2)
                          .Unsync()
                          .FrameV22("UFI", data)
                          .FrameV22("TT2", Latin1Text("x"))
                          .Build();
    ASSERT_EQ(Load(tag), status::kOk);
    ASSERT_EQ(m_tag.Frames.Count(), 2u);
    EXPECT_TRUE(m_tag.Unsynchronisation());
    EXPECT_EQ(Data(1), data) << Hex(Data(1));
    EXPECT_EQ(m_tag.Frames.ID(2), "TIT2");
}

TEST_F(ReaderTest, V22MalformedTagsGiveAStatus)
{
    const struct
    {
        const char* Name;
        Bytes Tag;
        StatusWord Expected;
    } cases[] = {
        {"compression flag",
         Id3v2Builder().Version(2).HeaderFlags(0x40).FrameV22("TT2", {0}).Build(),
         status::kMajorVersion},
        {"undefined flag",
         Id3v2Builder().Version(2).HeaderFlags(0x20).FrameV22("TT2", Latin1Text("x")).Build(),
         status::kWarnHeaderFlags},
        {"blank in a frame ID", Id3v2Builder().Version(2).FrameV22("T 2", {0}).Build(),
         status::kBadFrameId},
        {"frame larger than the tag",
         Id3v2Builder().Version(2).FrameV22("TT2", Latin1Text("x"), 100).Build(), status::kBadTag},
        {"tag ends inside a frame header",
         Id3v2Builder().Version(2).FrameV22("TT2", Latin1Text("x")).Raw(ToBytes("TP1")).Build(),
         status::kBadTag},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(c.Tag), c.Expected) << c.Name << "\n" << Hex(c.Tag);
    }
}

// ---------------------------------------------------------------------------
// Saves of a loaded version 2.2 tag, checked by loading the file again.

class V22Save : public ReaderTest
{
protected:
    // Writes tag, audio and ID3v1 block; returns the path.
    std::string WriteSong(const Bytes& tag)
    {
        m_path = m_dir.File("song.mp3");
        testsupport::Mp3Builder().Tag(tag).Raw(m_audio).Id3v1(Trailer()).WriteTo(m_path);
        m_tagSize = tag.size();
        return m_path;
    }

    // Everything behind the tag.
    Bytes Tail(const Bytes& file, std::size_t tagSize) const
    {
        return Bytes(file.begin() + static_cast<std::ptrdiff_t>(tagSize), file.end());
    }

    const Bytes m_audio = testsupport::MpegFrames(3);
    std::string m_path;
    std::size_t m_tagSize = 0;
};

TEST_F(V22Save, OwnVersionWritesVersion3WithEveryFrame)
{
    const Bytes image = Pattern(3000, 5);
    WriteSong(UsualTagV22(image));
    const Bytes before = ReadFile(m_path);
    ASSERT_EQ(m_tag.LoadFromFile(m_path, 0), status::kOk);
    ASSERT_EQ(m_tag.SaveToFile(m_path, 255, 255, -1), status::kOk);

    const Bytes after = ReadFile(m_path);
    ASSERT_EQ(Bytes(after.begin(), after.begin() + 5), ToBytes(std::string_view("ID3\x03\x00", 5)))
        << Hex(after);
    Tid3v2tag saved;
    ASSERT_EQ(saved.LoadFromFile(m_path, 0), status::kOk);
    EXPECT_EQ(Tail(after, 10 + saved.TagSize), Tail(before, m_tagSize));
    const std::vector<std::string> ids{"TIT2", "TPE1", "TALB", "TYER", "TCON",
                                       "COMM", "TRCK", "APIC", "UFID"};
    ASSERT_EQ(saved.Frames.Count(), ids.size());
    for (std::uint32_t i = 1; i <= saved.Frames.Count(); ++i) {
        EXPECT_EQ(saved.Frames.ID(i), ids[i - 1]);
        EXPECT_EQ(saved.Frames.Record(i).Data, m_tag.Frames.Record(i).Data) << ids[i - 1];
    }
    std::string text;
    EXPECT_EQ(saved.GetTextFrame("TRCK", text), textresult::kOk);
    EXPECT_EQ(text, "3/12");
    EXPECT_EQ(saved.GetYear(text), textresult::kOk);
    EXPECT_EQ(text, "1999");
    Bytes apic{0x00};
    testsupport::Append(apic, ToBytes("image/jpeg"));
    apic.insert(apic.end(), {0x00, 3});
    testsupport::Append(apic, ToBytes("Cover"));
    apic.push_back(0x00);
    testsupport::Append(apic, image);
    EXPECT_EQ(saved.Frames.Record(8).Data, apic);
    EXPECT_EQ(saved.Frames.Record(9).Data, ToBytes(std::string_view("owner\0id", 8)));
}

TEST_F(V22Save, EditedFieldsAndARevisionAreWrittenAsVersion30)
{
    WriteSong(Id3v2Builder()
                  .Version(2, 1)
                  .Unsync()
                  .FrameV22("TT2", Latin1Text("Old"))
                  .FrameV22("UFI", {0xFF, 0xE0, 0x00})
                  .Build());
    const Bytes before = ReadFile(m_path);
    ASSERT_EQ(m_tag.LoadFromFile(m_path, 0), status::kWarnRevision);
    ASSERT_EQ(m_tag.SetTextFrame("TIT2", "New \xC3\xA9t\xC3\xA9"), textresult::kOk);
    ASSERT_EQ(m_tag.SetYear("2001"), textresult::kOk);
    ASSERT_EQ(m_tag.SaveToFile(m_path, 255, 255, -1), status::kOk);

    Tid3v2tag saved;
    ASSERT_EQ(saved.LoadFromFile(m_path, 0), status::kOk);
    EXPECT_EQ(saved.MajorVersion, 3);
    EXPECT_EQ(saved.Revision, 0);
    std::string text;
    EXPECT_EQ(saved.GetTextFrame("TIT2", text), textresult::kOk);
    EXPECT_EQ(text, "New \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(saved.GetYear(text), textresult::kOk);
    EXPECT_EQ(text, "2001");
    ASSERT_NE(saved.Frames.Find("UFID"), 0u);
    EXPECT_EQ(saved.Frames.Record(saved.Frames.Find("UFID")).Data, (Bytes{0xFF, 0xE0, 0x00}));
    EXPECT_EQ(Tail(ReadFile(m_path), 10 + saved.TagSize), Tail(before, m_tagSize));
}

TEST_F(V22Save, UnconvertibleFrameRefusesUntilTheLossIsAccepted)
{
    WriteSong(Id3v2Builder()
                  .Version(2)
                  .FrameV22("TT2", Latin1Text("Title"))
                  .FrameV22("CRM", ToBytes(std::string_view("owner\0xyz", 9)))
                  .Build());
    const Bytes before = ReadFile(m_path);
    ASSERT_EQ(m_tag.LoadFromFile(m_path, 0), status::kOk);
    for (const std::uint8_t version : {std::uint8_t{255}, std::uint8_t{3}, std::uint8_t{4}}) {
        EXPECT_EQ(m_tag.SaveToFile(m_path, version, 255, -1), status::kUnconvertibleFrame)
            << int{version};
        EXPECT_EQ(ReadFile(m_path), before) << int{version};
    }

    m_tag.DropUnconvertibleFrames();
    ASSERT_EQ(m_tag.SaveToFile(m_path, 255, 255, -1), status::kOk);
    Tid3v2tag saved;
    ASSERT_EQ(saved.LoadFromFile(m_path, 0), status::kOk);
    ASSERT_EQ(saved.Frames.Count(), 1u);
    EXPECT_EQ(saved.Frames.ID(1), "TIT2");
    EXPECT_EQ(Tail(ReadFile(m_path), 10 + saved.TagSize), Tail(before, m_tagSize));
}

// Found by fuzz_load: a version 2.2 tag said nothing of where its frames end,
// so a save did not look behind them for audio that a raised size takes in.
TEST_F(V22Save, SizeThatTakesInAudioIsRefused)
{
    Id3v2Builder tag;
    tag.Version(2).FrameV22("TT2", Latin1Text("Title")).Padding(16);
    const auto body = static_cast<std::uint32_t>(tag.Body().size());
    WriteSong(tag.SizeOverride(body + 417).Build()); // the first MPEG frame too
    const Bytes before = ReadFile(m_path);
    ASSERT_EQ(m_tag.LoadFromFile(m_path, 0), status::kOk);
    EXPECT_EQ(m_tag.FramesEnd, 10u + 6u + 6u) << "header, then the one frame";
    m_tag.SetTextFrame("TIT2", "New");
    EXPECT_EQ(m_tag.SaveToFile(m_path, 255, 255, -1), status::kAudioInTag);
    EXPECT_EQ(ReadFile(m_path), before);
}
