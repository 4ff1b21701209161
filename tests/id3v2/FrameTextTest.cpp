#include "FrameFlags.h"
#include "Mp3Builder.h"
#include "Tid3v2tag.h"

#include <gtest/gtest.h>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

// Adds a frame holding `data` as it would stand after a load: stored and
// requested flags alike.
std::uint32_t AddFrame(Tid3v2tag& tag, std::string_view id, const Bytes& data,
                       std::uint8_t formatFlags = 0)
{
    FrameRecord record;
    record.ID = id;
    record.Data = data;
    record.StoredFlags[1] = formatFlags;
    record.Flags[1] = formatFlags;
    return tag.Frames.AppendRecord(std::move(record));
}

Bytes DataOf(const Tid3v2tag& tag, std::string_view id)
{
    const std::uint32_t i = tag.Frames.Find(id);
    return i == 0 ? Bytes{} : tag.Frames.Record(i).Data;
}

std::string TextOf(Tid3v2tag& tag, std::string_view id, TextResult expectedResult = textresult::kOk)
{
    std::string text;
    EXPECT_EQ(static_cast<int>(tag.GetTextFrame(id, text)), static_cast<int>(expectedResult)) << id;
    return text;
}

// A title with a character outside the Basic Multilingual Plane: U+20BB7
// (a surrogate pair in UTF-16), followed by two kanji.
const std::string kJapaneseTitle = "\xF0\xA0\xAE\xB7\xE9\x87\x8E\xE5\xAE\xB6";

} // namespace

TEST(FrameText, GetTextFrameChecksTheFrameId)
{
    Tid3v2tag tag;
    AddFrame(tag, "TXXX", Latin1Text("x"));
    AddFrame(tag, "COMM", Latin1Comment("ENG", "", "x"));
    std::string text = "old";
    EXPECT_EQ(tag.GetTextFrame("TXXX", text), textresult::kNotTextFrame);
    EXPECT_EQ(text, "");
    EXPECT_EQ(tag.GetTextFrame("TIT", text), textresult::kNotTextFrame);
    EXPECT_EQ(tag.GetTextFrame("COMM", text), textresult::kNotTextFrame);
    EXPECT_EQ(tag.GetTextFrame("TIT2", text), textresult::kNotFound);
    EXPECT_EQ(tag.GetTextFrame("tit2", text), textresult::kNotTextFrame);
}

TEST(FrameText, GetTextFrameDecodesTheFirstFrameWithTheId)
{
    Tid3v2tag tag;
    AddFrame(tag, "TIT2", {0x00, 0x41, 0x42, 0x43, 0x00});
    AddFrame(tag, "TIT2", Latin1Text("second"));
    AddFrame(tag, "TPE1", {0x02, 0x00, 0x41, 0x01, 0x30});
    AddFrame(tag, "TALB", {0x03, 0x41, 0xC3, 0xA9});
    AddFrame(tag, "TCON", {0x03, 0xE2, 0x82, 0xAC});
    AddFrame(tag, "TYER", {0x00, 0x41, 0x09, 0x42});
    AddFrame(tag, "TRCK", {});
    AddFrame(tag, "TPOS", {0x01});
    EXPECT_EQ(TextOf(tag, "TIT2"), std::string("ABC\0", 4));
    EXPECT_EQ(TextOf(tag, "TPE1"), "A\xC4\xB0") << "U+0130 decodes losslessly";
    EXPECT_EQ(TextOf(tag, "TALB"), "A\xC3\xA9");
    EXPECT_EQ(TextOf(tag, "TCON"), "\xE2\x82\xAC");
    EXPECT_EQ(TextOf(tag, "TYER", textresult::kControlCharacter), "");
    EXPECT_EQ(TextOf(tag, "TRCK", textresult::kNoData), "");
    EXPECT_EQ(TextOf(tag, "TPOS", textresult::kNoData), "");
}

TEST(FrameText, SetTextFrameAddsRewritesAndRemoves)
{
    Tid3v2tag tag;
    EXPECT_EQ(tag.SetTextFrame("TALB", ""), textresult::kOk);
    EXPECT_EQ(tag.Frames.Count(), 0u);
    EXPECT_EQ(tag.SetTextFrame("TALB", "X"), textresult::kOk);
    ASSERT_EQ(tag.Frames.Count(), 1u);
    EXPECT_EQ(Hex(DataOf(tag, "TALB")), "00 58");
    EXPECT_EQ(tag.SetTextFrame("TALB", "Caf\xC3\xA9"), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(tag, "TALB")), "00 43 61 66 E9") << "ISO-8859-1 when it fits";
    EXPECT_EQ(tag.Frames.Count(), 1u);
    EXPECT_EQ(tag.SetTextFrame("TALB", ""), textresult::kRemoved);
    EXPECT_EQ(tag.Frames.Count(), 0u);
}

TEST(FrameText, SetTextFrameRefusesIdsItCannotStore)
{
    Tid3v2tag tag;
    AddFrame(tag, "TIT2", Latin1Text("kept"));
    EXPECT_EQ(tag.SetTextFrame("TXXX", "x"), textresult::kNotTextFrame);
    EXPECT_EQ(tag.SetTextFrame("TIT22", "x"), textresult::kNotTextFrame);
    EXPECT_EQ(tag.SetTextFrame("T!AB", "x"), textresult::kNotTextFrame);
    EXPECT_EQ(tag.SetTextFrame("Tit2", "x"), textresult::kNotTextFrame)
        << "would otherwise add a second TIT2";
    EXPECT_EQ(tag.Frames.Count(), 1u);
    EXPECT_EQ(TextOf(tag, "TIT2"), "kept");
}

TEST(FrameText, RewrittenFrameIsPlainButKeepsWhatTheSaveShallApply)
{
    Tid3v2tag tag;
    FrameRecord loaded;
    loaded.ID = "TIT2";
    loaded.Data = ZlibCompress(Latin1Text("old"));
    loaded.StoredFlags[1] = frameflags::kCompression | frameflags::kDataLengthIndicator;
    loaded.Flags[1] = loaded.StoredFlags[1];
    loaded.DataLength = 4;
    loaded.GroupID = 7;
    loaded.EncryptionMethod = 0x80;
    const FrameRecord& record = tag.Frames.Record(tag.Frames.AppendRecord(std::move(loaded)));
    ASSERT_EQ(tag.SetTextFrame("TIT2", "new"), textresult::kOk);
    EXPECT_EQ(Hex(record.Data), "00 6E 65 77");
    EXPECT_EQ(record.StoredFlags[1], 0);
    EXPECT_EQ(record.Flags[1], frameflags::kCompression | frameflags::kDataLengthIndicator);
    EXPECT_EQ(record.GroupID, 7);
    EXPECT_EQ(record.EncryptionMethod, 0x80);
    EXPECT_EQ(record.DataLength, 0u) << "the old uncompressed size no longer applies";
    EXPECT_TRUE(record.Modified);
}

TEST(FrameText, JapaneseTitleRoundTripsInUtf16ForVersion3)
{
    Tid3v2tag tag;
    tag.MajorVersion = 3;
    ASSERT_EQ(tag.SetTextFrame("TIT2", kJapaneseTitle), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(tag, "TIT2")), "01 FF FE 42 D8 B7 DF CE 91 B6 5B");
    EXPECT_EQ(TextOf(tag, "TIT2"), kJapaneseTitle);
}

TEST(FrameText, JapaneseTitleRoundTripsInUtf8ForVersion4)
{
    Tid3v2tag tag;
    tag.MajorVersion = 4;
    ASSERT_EQ(tag.SetTextFrame("TIT2", kJapaneseTitle), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(tag, "TIT2")), Hex(Utf8Text(kJapaneseTitle)));
    EXPECT_EQ(TextOf(tag, "TIT2"), kJapaneseTitle);
}

TEST(FrameText, Utf16TitleReadFromAnotherWriterIsWhole)
{
    Tid3v2tag tag;
    AddFrame(tag, "TIT2", Utf16BomText(u"\U00020BB7\u91CE\u5BB6", false));
    EXPECT_EQ(TextOf(tag, "TIT2"), kJapaneseTitle);
}

TEST(FrameText, SetCommentWritesTheLatin1LayoutByteForByte)
{
    Tid3v2tag tag;
    COMM comment;
    comment.Text = "Hi";
    ASSERT_EQ(tag.SetComment(comment, "", "None"), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(tag, "COMM")), "00 45 4E 47 00 48 69");

    COMM read;
    ASSERT_EQ(tag.GetComment(read, "", "None"), textresult::kOk);
    EXPECT_EQ(read.Encoding, 0);
    EXPECT_EQ(read.Language, "ENG");
    EXPECT_EQ(read.Description, "");
    EXPECT_EQ(read.Text, "Hi");
    EXPECT_EQ(tag.GetComment(read, "", "ENG"), textresult::kOk);
    EXPECT_EQ(tag.GetComment(read, "", "DEU"), textresult::kNotFound);
    EXPECT_EQ(read.Text, "");
    EXPECT_EQ(tag.GetComment(read, "other", "None"), textresult::kNotFound);
}

TEST(FrameText, SetCommentWritesUnicodeByTagVersion)
{
    COMM comment;
    comment.Description = "d";
    comment.Text = "\xE2\x82\xAC";
    Tid3v2tag v3;
    ASSERT_EQ(v3.SetComment(comment, "d", "None"), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(v3, "COMM")), "01 45 4E 47 FF FE 64 00 00 00 FF FE AC 20");
    Tid3v2tag v4;
    v4.MajorVersion = 4;
    ASSERT_EQ(v4.SetComment(comment, "d", "None"), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(v4, "COMM")), "03 45 4E 47 64 00 E2 82 AC");
    for (Tid3v2tag* tag : {&v3, &v4}) {
        COMM read;
        ASSERT_EQ(tag->GetComment(read, "d", "None"), textresult::kOk);
        EXPECT_EQ(read.Text, comment.Text);
        EXPECT_EQ(read.Description, "d");
    }
}

TEST(FrameText, SetCommentReplacesTheMatchingFrameOnly)
{
    Tid3v2tag tag;
    AddFrame(tag, "COMM", Latin1Comment("ENG", "other", "keep me"));
    AddFrame(tag, "COMM", Latin1Comment("DEU", "", "alt"));
    COMM comment;
    comment.Description = std::string("\0", 1);
    comment.Text = "neu";
    ASSERT_EQ(tag.SetComment(comment, "", "None"), textresult::kOk);
    EXPECT_EQ(Hex(tag.Frames.Record(1).Data), Hex(Latin1Comment("ENG", "other", "keep me")));
    EXPECT_EQ(Hex(tag.Frames.Record(2).Data), "00 45 4E 47 00 6E 65 75")
        << "a description ending in 0 gets no second terminator";

    comment.Text.clear();
    EXPECT_EQ(tag.SetComment(comment, "", "ENG"), textresult::kRemoved);
    EXPECT_EQ(tag.Frames.Count(), 1u);
    EXPECT_EQ(tag.SetComment(comment, "", "ENG"), textresult::kOk) << "nothing left to remove";
    EXPECT_EQ(tag.Frames.Count(), 1u);
}

TEST(FrameText, SetCommentRefusesBadEncodingAndLanguage)
{
    Tid3v2tag tag;
    COMM comment;
    comment.Text = "x";
    comment.Encoding = 4;
    EXPECT_EQ(tag.SetComment(comment, "", "None"), textresult::kBadCommentEncoding);
    comment.Encoding = 0;
    comment.Language = "E\x01G";
    EXPECT_EQ(tag.SetComment(comment, "", "None"), textresult::kBadLanguage);
    comment.Language = "EN";
    EXPECT_EQ(tag.SetComment(comment, "", "None"), textresult::kBadLanguage);
    EXPECT_EQ(tag.Frames.Count(), 0u);
}

TEST(FrameText, CommentWalkPassesOverAnUndecodableCommentAndKeepsIt)
{
    // The first comment's UTF-16 description has no byte-order mark. Stopping
    // there made every comment edit of such a file fail.
    Tid3v2tag tag;
    const Bytes undecodable{0x01, 'E', 'N', 'G', 0x41, 0x00, 0x00, 0x00};
    AddFrame(tag, "COMM", undecodable);
    AddFrame(tag, "COMM", Latin1Comment("ENG", "", "second"));
    COMM comment;
    ASSERT_EQ(tag.GetComment(comment, "", "None"), textresult::kOk);
    EXPECT_EQ(comment.Text, "second");
    comment.Text = "x";
    EXPECT_EQ(tag.SetComment(comment, "", "None"), textresult::kOk);
    EXPECT_EQ(Hex(tag.Frames.Record(1).Data), Hex(undecodable)) << "kept as it was";
    EXPECT_EQ(Hex(tag.Frames.Record(2).Data), Hex(Latin1Comment("ENG", "", "x")));
}

TEST(FrameText, ShortCommentFramesGiveNoData)
{
    Tid3v2tag tag;
    AddFrame(tag, "COMM", {0x00, 'E', 'N'});
    COMM comment;
    EXPECT_EQ(tag.GetComment(comment, "", "None"), textresult::kNotFound)
        << "too short to have a description: matches nothing";
    Tid3v2tag empty;
    AddFrame(empty, "COMM", Latin1Comment("ENG", "", ""));
    EXPECT_EQ(empty.GetComment(comment, "", "None"), textresult::kNoData);
    EXPECT_EQ(comment.Language, "ENG");
}

TEST(FrameText, Utf16DescriptionEndsAtItsTwoByteTerminator)
{
    Tid3v2tag tag;
    AddFrame(
        tag, "COMM",
        {0x01, 'E', 'N', 'G', 0xFF, 0xFE, 'd', 0x00, 0x00, 0x00, 0xFF, 0xFE, 'H', 0x00, 'i', 0x00});
    COMM comment;
    ASSERT_EQ(tag.GetComment(comment, "d", "ENG"), textresult::kOk);
    EXPECT_EQ(comment.Description, "d");
    EXPECT_EQ(comment.Text, "Hi");
    EXPECT_EQ(comment.Encoding, 1);
}

TEST(FrameText, TwoLineUtf16CommentKeepsItsLineBreak)
{
    Tid3v2tag tag;
    Bytes data{0x01, 'E', 'N', 'G', 0xFF, 0xFE, 0x00, 0x00};
    const Bytes text = Utf16BomText(u"one\r\ntwo");
    data.insert(data.end(), text.begin() + 1, text.end()); // without the encoding byte
    AddFrame(tag, "COMM", data);
    COMM comment;
    ASSERT_EQ(tag.GetComment(comment, "", "None"), textresult::kOk) << Hex(data);
    EXPECT_EQ(comment.Text, "one\r\ntwo");
}

TEST(FrameText, EncryptedFrameIsNotDecoded)
{
    Tid3v2tag tag;
    AddFrame(tag, "TIT2", {0x00, 0x41}, frameflags::kEncryption);
    AddFrame(tag, "COMM", Latin1Comment("ENG", "", "x"), frameflags::kEncryption);
    EXPECT_EQ(TextOf(tag, "TIT2", textresult::kEncrypted), "");
    COMM comment;
    EXPECT_EQ(tag.GetComment(comment, "", "None"), textresult::kNotFound);
}

TEST(FrameText, CompressedTitleIsDecompressedAndKeepsItsRequestedCompression)
{
    Tid3v2tag tag;
    const Bytes plain = Latin1Text("Compressed title");
    const std::uint32_t i = AddFrame(tag, "TIT2", ZlibCompress(plain), frameflags::kCompression);
    tag.Frames.SetDataLength(i, static_cast<std::uint32_t>(plain.size()));
    EXPECT_EQ(TextOf(tag, "TIT2"), "Compressed title");
    EXPECT_EQ(Hex(tag.Frames.Record(i).Data), Hex(plain)) << "stays decoded";
    EXPECT_FALSE(tag.Frames.StoredCompression(i));
    EXPECT_TRUE(tag.Frames.Compression(i)) << "the next save compresses it again";
    EXPECT_EQ(TextOf(tag, "TIT2"), "Compressed title") << "a second read works on plain data";
}

TEST(FrameText, UnsynchronisedCommentIsRestoredBeforeReading)
{
    Tid3v2tag tag;
    const Bytes plain = Latin1Comment("ENG", "", "\xFF\xE0 \xFF");
    AddFrame(tag, "COMM", UnsyncBytes(plain), frameflags::kUnsynchronisation);
    COMM comment;
    ASSERT_EQ(tag.GetComment(comment, "", "ENG"), textresult::kOk);
    EXPECT_EQ(comment.Text, "\xC3\xBF\xC3\xA0 \xC3\xBF");
    EXPECT_EQ(Hex(tag.Frames.Record(1).Data), Hex(plain));
    EXPECT_TRUE(tag.Frames.Unsynchronisation(1));
}

TEST(FrameText, DataThatCannotBeDecompressedIsNotReadAsText)
{
    Tid3v2tag tag;
    AddFrame(tag, "TIT2", {0x78, 0x9C, 0x01, 0x02, 0x03}, frameflags::kCompression);
    EXPECT_EQ(TextOf(tag, "TIT2", textresult::kUnreadable), "");
}

TEST(FrameText, Version4YearComesFromTdrcWhenTyerIsMissing)
{
    Tid3v2tag v4;
    v4.MajorVersion = 4;
    AddFrame(v4, "TDRC", Latin1Text("2004-05-06"));
    std::string year;
    EXPECT_EQ(v4.GetYear(year), textresult::kOk);
    EXPECT_EQ(year, "2004-05-06");
    EXPECT_EQ(TextOf(v4, "TYER", textresult::kNotFound), "") << "TYER itself is unchanged";

    Tid3v2tag v3;
    AddFrame(v3, "TDRC", Latin1Text("2004-05-06"));
    EXPECT_EQ(v3.GetYear(year), textresult::kNotFound) << "version 3 has no TDRC year";

    AddFrame(v4, "TYER", Latin1Text("1999"));
    EXPECT_EQ(v4.GetYear(year), textresult::kOk);
    EXPECT_EQ(year, "1999") << "TYER wins when present";
}

TEST(FrameText, SetYearWritesTheFrameOfTheTagVersion)
{
    Tid3v2tag v3;
    EXPECT_EQ(v3.SetYear("2001"), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(v3, "TYER")), "00 32 30 30 31");
    EXPECT_EQ(v3.Frames.Find("TDRC"), 0u);

    Tid3v2tag v4;
    v4.MajorVersion = 4;
    EXPECT_EQ(v4.SetYear("2004-05-06"), textresult::kOk);
    EXPECT_EQ(Hex(DataOf(v4, "TDRC")), Hex(Latin1Text("2004-05-06")));
    EXPECT_EQ(v4.Frames.Find("TYER"), 0u);
    std::string year;
    EXPECT_EQ(v4.GetYear(year), textresult::kOk);
    EXPECT_EQ(year, "2004-05-06");

    AddFrame(v4, "TYER", Latin1Text("1999"));
    EXPECT_EQ(v4.SetYear("2010"), textresult::kOk);
    EXPECT_EQ(v4.GetYear(year), textresult::kOk);
    EXPECT_EQ(year, "2010") << "an edited year reads back even beside a stray TYER";
    EXPECT_EQ(v4.SetYear(""), textresult::kRemoved);
    EXPECT_EQ(v4.Frames.Count(), 0u);
}

TEST(FrameText, CommentWalkStopsInflatingAfterSixteenMebibytes)
{
    // Comment frames that inflate to 8 MiB each and match no filter. Kept
    // decompressed, a few thousand of them in a tag of a few MiB would take
    // many GiB; once the walk has inflated 16 MiB it passes over the rest.
    Bytes plain = Latin1Comment("eng", "other", "");
    plain.resize(std::size_t{8} << 20, 0x00);
    const Bytes packed = ZlibCompress(plain);
    Tid3v2tag tag;
    for (int k = 0; k < 4; ++k) {
        AddFrame(tag, "COMM", packed, frameflags::kCompression);
    }
    AddFrame(tag, "COMM", Latin1Comment("eng", "", "wanted"));
    COMM comment;
    EXPECT_EQ(tag.GetComment(comment, "", "None"), textresult::kOk);
    EXPECT_EQ(comment.Text, "wanted");
    EXPECT_FALSE(tag.Frames.StoredCompression(2));
    EXPECT_TRUE(tag.Frames.StoredCompression(3)) << "inflated past the walk's limit";

    Tid3v2tag matchFirst;
    AddFrame(matchFirst, "COMM", Latin1Comment("eng", "", "first"));
    AddFrame(matchFirst, "COMM", packed, frameflags::kCompression);
    EXPECT_EQ(matchFirst.GetComment(comment, "", "None"), textresult::kOk);
    EXPECT_EQ(comment.Text, "first");
    EXPECT_TRUE(matchFirst.Frames.StoredCompression(2)) << "nothing inflated after the match";
}

TEST(FrameText, TextFramesInflatingBeyondSixteenMebibytesAreUnreadable)
{
    // Each of the six frames a listing reads could otherwise inflate to
    // 256 MiB: GiBs and seconds for a tag of a MiB or two.
    const Bytes packed = ZlibZeros((std::size_t{16} << 20) + 1);
    Tid3v2tag tag;
    AddFrame(tag, "TIT2", packed, frameflags::kCompression);
    AddFrame(tag, "COMM", packed, frameflags::kCompression);
    EXPECT_EQ(TextOf(tag, "TIT2", textresult::kUnreadable), "");
    COMM comment;
    EXPECT_EQ(tag.GetComment(comment, "", "None"), textresult::kNotFound);
    EXPECT_TRUE(tag.Frames.StoredCompression(1));
    EXPECT_TRUE(tag.Frames.StoredCompression(2));
    tag.Frames.SetDataLength(1, (std::uint32_t{16} << 20) + 1);
    EXPECT_EQ(tag.Frames.DecompressFrame(1), frameresult::kOk)
        << "other uses keep the general limit";
}
