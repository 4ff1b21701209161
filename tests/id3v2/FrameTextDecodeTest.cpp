#include "Mp3Builder.h"
#include "TextCodec.h"
#include "Tid3v2tag.h"

#include <gtest/gtest.h>

using namespace varnello;
using namespace varnello::testsupport;

namespace {

// One call of the decoder: the data holds the encoding byte first, as a text
// frame does, and decoding starts behind it unless `start` says otherwise.
struct DecodeCase
{
    const char* Name;
    Bytes Data;
    bool Multiline;
    std::string Text;
    TextResult Result;
    std::size_t Consumed = 0; // checked when nonzero
    std::size_t Start = 1;
    std::size_t Limit = 0;
};

void PrintTo(const DecodeCase& c, std::ostream* os)
{
    *os << c.Name << ": " << Hex(c.Data);
}

std::string CaseName(const testing::TestParamInfo<DecodeCase>& param)
{
    return param.param.Name;
}

class DecodeTextTable : public testing::TestWithParam<DecodeCase>
{
};

TEST_P(DecodeTextTable, GivesTextResultAndBytesConsumed)
{
    const DecodeCase& c = GetParam();
    std::string text = "left over";
    std::size_t limit = c.Limit;
    const std::uint8_t encoding = c.Data.empty() ? 0 : c.Data[0];
    const TextResult result = DecodeText(c.Data, c.Start, c.Multiline, text, encoding, limit);
    EXPECT_EQ(static_cast<int>(result), static_cast<int>(c.Result)) << Hex(c.Data);
    EXPECT_EQ(Hex(ToBytes(text)), Hex(ToBytes(c.Text))) << Hex(c.Data);
    if (c.Consumed != 0) {
        EXPECT_EQ(limit, c.Consumed) << Hex(c.Data);
    }
    if (c.Limit != 0) {
        EXPECT_EQ(limit, c.Limit) << "a given limit is left as it was";
    }
}

using namespace textresult;

const std::string kNul(1, '\0');

// clang-format off
INSTANTIATE_TEST_SUITE_P(Latin1, DecodeTextTable, testing::Values(
    DecodeCase{"TerminatorIsKept", {0x00, 0x41, 0x42, 0x43, 0x00}, false, "ABC" + kNul, kOk, 4},
    DecodeCase{"TabIsRefused", {0x00, 0x41, 0x09, 0x42}, false, "", kControlCharacter},
    DecodeCase{"LineFeedEndsSingleLine", {0x00, 0x41, 0x0A, 0x42}, false, "A\n", kOk, 2},
    DecodeCase{"LineFeedKeptInMultiline", {0x00, 0x41, 0x0A, 0x42}, true, "A\nB", kOk, 3},
    DecodeCase{"TabEndsMultiline", {0x00, 0x41, 0x09, 0x42}, true, "A\t", kOk, 2},
    DecodeCase{"HighBytesBecomeUtf8", {0x00, 0xE9, 0xFF}, false, "\xC3\xA9\xC3\xBF", kOk, 2},
    DecodeCase{"NoDataAfterEncoding", {0x00}, false, "", kNoData},
    DecodeCase{"StartPastEnd", {0x00, 0x41}, false, "", kNoData, 0, 5},
    DecodeCase{"LimitStopsEarly", {0x00, 0x41, 0x42, 0x43}, false, "AB", kOk, 0, 1, 2}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Utf16, DecodeTextTable, testing::Values(
    DecodeCase{"LittleEndianMark", {0x01, 0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00}, false, "AB", kOk, 6},
    DecodeCase{"BigEndianMark", {0x01, 0xFE, 0xFF, 0x00, 0x41}, false, "A", kOk, 4},
    DecodeCase{"MissingMark", {0x01, 0x41, 0x00}, false, "", kControlCharacter},
    DecodeCase{"MarkCutShort", {0x01, 0xFF}, false, "", kControlCharacter},
    DecodeCase{"BigEndianBeyondLatin1", {0x02, 0x00, 0x41, 0x01, 0x30}, false, "A\xC4\xB0", kOk, 4},
    DecodeCase{"SurrogatePair", {0x01, 0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}, false,
               "\xF0\x9F\x98\x80", kOk, 6},
    DecodeCase{"SurrogatePairBigEndian", {0x02, 0xD8, 0x42, 0xDF, 0xB7}, false,
               "\xF0\xA0\xAE\xB7", kOk, 4},
    DecodeCase{"LoneHighSurrogateAtEnd", {0x01, 0xFF, 0xFE, 0x41, 0x00, 0x3D, 0xD8}, false, "A",
               kUndecodable},
    DecodeCase{"HighSurrogateBeforeLetter", {0x09, 0x41, 0x00, 0x3D, 0xD8, 0x42, 0x00}, false, "A",
               kUndecodable},
    DecodeCase{"LoneLowSurrogate", {0x02, 0x00, 0x41, 0xDC, 0x00, 0x00, 0x42}, false, "A",
               kUndecodable},
    DecodeCase{"TerminatorNotKept", {0x01, 0xFF, 0xFE, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00}, false,
               "A", kOk, 6},
    DecodeCase{"OddByteAtEndIgnored", {0x01, 0xFF, 0xFE, 0x41, 0x00, 0x42}, false, "A", kOk},
    DecodeCase{"LineBreakRefusedInSingleLine", {0x01, 0xFF, 0xFE, 0x41, 0x00, 0x0A, 0x00}, false, "",
               kControlCharacter},
    DecodeCase{"LineBreaksKeptInMultiline",
               {0x01, 0xFF, 0xFE, 0x41, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x42, 0x00}, true, "A\r\nB",
               kOk, 10},
    DecodeCase{"TabRefusedInMultiline", {0x01, 0xFF, 0xFE, 0x41, 0x00, 0x09, 0x00}, true, "",
               kControlCharacter},
    DecodeCase{"InternalLittleEndian", {0x09, 0x41, 0x00, 0xAC, 0x20}, false, "A\xE2\x82\xAC", kOk}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Utf8, DecodeTextTable, testing::Values(
    DecodeCase{"TwoByteSequence", {0x03, 0x41, 0xC3, 0xA9}, false, "A\xC3\xA9", kOk, 3},
    DecodeCase{"ThreeByteSequence", {0x03, 0xE2, 0x82, 0xAC}, false, "\xE2\x82\xAC", kOk},
    DecodeCase{"FourByteSequence", {0x03, 0xF0, 0x9F, 0x98, 0x80}, false, "\xF0\x9F\x98\x80", kOk},
    DecodeCase{"TruncatedSequence", {0x03, 0x41, 0xC3}, false, "A", kControlCharacter},
    DecodeCase{"SequenceCutByLimit", {0x03, 0xC3, 0xA9}, false, "", kControlCharacter, 0, 1, 1},
    DecodeCase{"LoneContinuationByte", {0x03, 0x41, 0x80, 0x42}, false, "A", kUndecodable},
    DecodeCase{"OverlongForm", {0x03, 0x41, 0xC0, 0x80}, false, "A", kUndecodable},
    DecodeCase{"EncodedSurrogate", {0x03, 0x41, 0xED, 0xA0, 0x80}, false, "A", kUndecodable},
    DecodeCase{"BeyondUnicode", {0x03, 0x41, 0xF4, 0x90, 0x80, 0x80}, false, "A", kUndecodable},
    DecodeCase{"LeadWithoutContinuation", {0x03, 0x41, 0xE2, 0x41, 0x41}, false, "A", kUndecodable},
    DecodeCase{"TerminatorIsKept", {0x03, 0x41, 0x00, 0x42}, false, "A" + kNul, kOk, 2},
    DecodeCase{"LineBreakRefusedInSingleLine", {0x03, 0x41, 0x0A, 0x42}, false, "",
               kControlCharacter},
    DecodeCase{"LineBreaksKeptInMultiline", {0x03, 0x41, 0x0D, 0x0A, 0x42}, true, "A\r\nB", kOk}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Other, DecodeTextTable, testing::Values(
    DecodeCase{"EncodingFour", {0x04, 0x41}, false, "", kBadEncoding},
    DecodeCase{"EncodingFF", {0xFF, 0x41}, false, "", kBadEncoding}),
    CaseName);
// clang-format on

} // namespace

TEST(TextCodec, ConvertsBetweenUtf8AndLatin1)
{
    EXPECT_EQ(Latin1ToUtf8("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(Utf8ToLatin1("Caf\xC3\xA9"), "Caf\xE9");
    EXPECT_EQ(Utf8ToLatin1("\xE6\x97\xA5 \xF0\x9F\x98\x80"), "? ?");
    EXPECT_EQ(Utf8ToLatin1("a\xC3", '_'), "a_") << "invalid UTF-8 is replaced too";
    EXPECT_TRUE(FitsLatin1("Caf\xC3\xA9 \xC3\xBF"));
    EXPECT_FALSE(FitsLatin1("\xE2\x82\xAC"));
    EXPECT_FALSE(FitsLatin1("\xE9")) << "a raw Latin-1 byte is not UTF-8";
}

TEST(TextCodec, EncodesEachFrameEncoding)
{
    const std::string text = "A\xC3\xA9\xF0\xA0\xAE\xB7"; // A, e-acute, U+20BB7
    EXPECT_EQ(Hex(EncodeText("A\xC3\xA9", textencoding::kLatin1)), "41 E9");
    EXPECT_EQ(Hex(EncodeText(text, textencoding::kUtf16Bom)), "FF FE 41 00 E9 00 42 D8 B7 DF");
    EXPECT_EQ(Hex(EncodeText(text, textencoding::kUtf16BE)), "00 41 00 E9 D8 42 DF B7");
    EXPECT_EQ(Hex(EncodeText(text, textencoding::kUtf8)), Hex(ToBytes(text)));
    EXPECT_EQ(Hex(EncodeText("a\xFF", textencoding::kUtf8)), "61 EF BF BD")
        << "invalid input becomes U+FFFD";
    EXPECT_EQ(Hex(EncodeText("", textencoding::kUtf16Bom)), "FF FE");
}
