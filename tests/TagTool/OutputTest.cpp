#include "Arguments.h"
#include "JsonWriter.h"
#include "TextTable.h"
#include "Utf8.h"

#include <gtest/gtest.h>

namespace varnello::tagtool {
namespace {

TEST(JsonQuote, EscapesQuotesBackslashesAndControlCharacters)
{
    EXPECT_EQ(JsonQuote("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(JsonQuote("line\nnext\ttab\r"), R"("line\nnext\ttab\r")");
    EXPECT_EQ(JsonQuote(std::string("nul\0x\x01\x1f\x7f", 8)), R"("nul\u0000x\u0001\u001f\u007f")");
    EXPECT_EQ(JsonQuote("日本語 Café"), "\"日本語 Café\"");
    EXPECT_EQ(JsonQuote("𝄞"), "\"𝄞\"") << "a character outside the BMP passes unchanged";
}

TEST(JsonQuote, ReplacesInvalidUtf8SoTheOutputAlwaysParses)
{
    // A Latin-1 file name, a truncated sequence, an overlong form and a surrogate.
    EXPECT_EQ(JsonQuote("caf\xE9.mp3"), "\"caf\uFFFD.mp3\"");
    EXPECT_EQ(JsonQuote("\xE6\x97"), "\"\uFFFD\uFFFD\"");
    EXPECT_EQ(JsonQuote("\xC0\xAF"), "\"\uFFFD\uFFFD\"");
    EXPECT_EQ(JsonQuote("\xED\xA0\x80"), "\"\uFFFD\uFFFD\uFFFD\"");
}

TEST(JsonWriter, PlacesCommasAndIndentation)
{
    JsonWriter json;
    json.BeginArray();
    json.BeginObject();
    json.StringField("no", "0");
    json.NumberField("tagKind", 3);
    json.BoolField("ok", true);
    json.Key("list");
    json.BeginArray();
    json.EndArray();
    json.EndObject();
    json.BeginObject();
    json.EndObject();
    json.EndArray();
    EXPECT_EQ(json.Text(), "[\n  {\n    \"no\": \"0\",\n    \"tagKind\": 3,\n    \"ok\": true,\n"
                           "    \"list\": []\n  },\n  {}\n]");
}

TEST(TextTable, CutsCellsByDisplayWidthAndAlignsColumns)
{
    EXPECT_EQ(FitCell("short", 10), "short");
    EXPECT_EQ(FitCell("abcdefghij", 10), "abcdefghij");
    EXPECT_EQ(FitCell("abcdefghijk", 10), "abcdefghi\u2026");
    // Wide characters take two columns each.
    EXPECT_EQ(DisplayWidth("夜に駆ける"), 10u);
    EXPECT_EQ(FitCell("夜に駆ける", 6), "夜に\u2026");
    EXPECT_EQ(FitCell("two\nlines\t!", 20), "two lines !");

    TextTable table({{"No.", 4, true}, {"Name", 10}, {"Note", 10}});
    table.AddRow({"0", "夜", "x"});
    table.AddRow({"10", "Café", "y"});
    EXPECT_EQ(table.Render(), "No.  Name  Note\n"
                              "---  ----  ----\n"
                              "  0  夜    x\n"
                              " 10  Café  y\n");
}

struct EscapeCase
{
    std::string Text;
    std::string Escaped;
};

class EscapedTextTest : public testing::TestWithParam<EscapeCase>
{
};

TEST_P(EscapedTextTest, GivesOneUnambiguousLine)
{
    EXPECT_EQ(EscapedText(GetParam().Text), GetParam().Escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Names, EscapedTextTest,
    testing::Values(EscapeCase{"plain ça 夜.mp3", "plain ça 夜.mp3"},
                    EscapeCase{"a\nb\r\tc", R"(a\nb\r\tc)"},
                    EscapeCase{"\x1B[31mred", R"(\x1B[31mred)"},
                    EscapeCase{std::string("nul\0del\x7F", 8), R"(nul\x00del\x7F)"},
                    EscapeCase{"caf\xE9 \xFF", R"(caf\xE9 \xFF)"},
                    EscapeCase{"C1 \xC2\x85 LS \xE2\x80\xA8", R"(C1 \xC2\x85 LS \xE2\x80\xA8)"},
                    // A literal backslash is doubled, so "\n" in a name is not a newline.
                    EscapeCase{R"(a\nb)", R"(a\\nb)"},
                    EscapeCase{"\uFFFD itself", "\uFFFD itself"}));

TEST(HexBytes, RoundTripsEveryByteAndRejectsMalformedHex)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    std::string back;
    ASSERT_TRUE(ParseHex(HexBytes(all), back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(HexBytes("a\xFF\n"), "61ff0a");
    ASSERT_TRUE(ParseHex("61FF0a", back));
    EXPECT_EQ(back, "a\xFF\n");
    for (const char* wrong : {"6", "6g", "0x61", "61 62"}) {
        EXPECT_FALSE(ParseHex(wrong, back)) << wrong;
    }
}

TEST(IsValidUtf8, TellsNamesThatNeedTheirBytesInHex)
{
    EXPECT_TRUE(IsValidUtf8("ça va 夜 𝄞 \uFFFD"));
    EXPECT_TRUE(IsValidUtf8("line\nbreak")) << "JSON carries control characters exactly";
    for (const char* invalid : {"caf\xE9", "\xE6\x97", "\xC0\xAF", "\xED\xA0\x80", "\xFF"}) {
        EXPECT_FALSE(IsValidUtf8(invalid)) << EscapedText(invalid);
    }
}

TEST(TextTable, StreamedRowsUseTheGivenWidths)
{
    const TextTable table({{"No.", 6, true}, {"Name", 6}, {"Note", 10}});
    const std::vector<std::size_t> widths{3, 6, 10};
    EXPECT_EQ(table.HeaderLines(widths), "No.  Name    Note\n"
                                         "---  ------  ----------\n");
    EXPECT_EQ(table.RowLine({"7", "a\x1B\n", "x"}, widths), "  7  a       x\n");
    EXPECT_EQ(table.RowLine({"12345", "toolongname"}, widths), "12345  toolo\u2026\n")
        << "a cell wider than its column is not padded";
}

TEST(Arguments, HexPathBecomesAnOperandInItsPlace)
{
    auto parsed =
        ParseArguments({"a.mp3", "--hex-path", "ff0a2e6d7033", "--hex-path=62", "c"}, {}, {});
    EXPECT_EQ(parsed.Error, "");
    const std::vector<std::string> operands{"a.mp3", "\xFF\n.mp3", "b", "c"};
    EXPECT_EQ(parsed.Operands, operands);
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"--hex-path"}, {"--hex-path", "f"}, {"--hex-path", "zz"}, {"--hex-path="}}) {
        EXPECT_NE(ParseArguments(wrong, {}, {}).Error, "") << wrong.back();
    }
}

TEST(Arguments, SplitsSwitchesValuesAndOperands)
{
    const auto parsed = ParseArguments(
        {"--json", "--title", "T", "--artist=A=B", "a.mp3", "--", "--not-an-option.mp3", "-"},
        {"json"}, {"title", "artist"});
    EXPECT_EQ(parsed.Error, "");
    EXPECT_TRUE(parsed.Has("json"));
    EXPECT_EQ(parsed.Value("title"), "T");
    EXPECT_EQ(parsed.Value("artist"), "A=B");
    EXPECT_EQ(parsed.Value("album"), std::nullopt);
    const std::vector<std::string> operands{"a.mp3", "--not-an-option.mp3", "-"};
    EXPECT_EQ(parsed.Operands, operands);

    EXPECT_NE(ParseArguments({"--title"}, {}, {"title"}).Error, "") << "a value is missing";
    EXPECT_NE(ParseArguments({"--bogus"}, {}, {}).Error, "");
    EXPECT_NE(ParseArguments({"-x"}, {}, {}).Error, "");
    EXPECT_NE(ParseArguments({"--json=1"}, {"json"}, {}).Error, "");
    EXPECT_TRUE(ParseArguments({"-h"}, {}, {}).Has("help"));
    EXPECT_EQ(ParseArguments({"--title", ""}, {}, {"title"}).Value("title"), "");
}

// CLI11 on its own reads "--title=" as "--title" waiting for the next
// argument, and takes "--json=true" as the switch; neither may happen.
TEST(Arguments, EqualsSignEndsTheOptionItself)
{
    const auto parsed = ParseArguments({"--title=", "a.mp3", "--hex-path=62"}, {"json"}, {"title"});
    EXPECT_EQ(parsed.Error, "");
    EXPECT_EQ(parsed.Value("title"), "") << "an empty value removes the field";
    const std::vector<std::string> operands{"a.mp3", "b"};
    EXPECT_EQ(parsed.Operands, operands);
    for (const char* wrong : {"--json=", "--json=true", "--help="}) {
        EXPECT_EQ(ParseArguments({"--title", "T", wrong, "a.mp3"}, {"json"}, {"title"}).Error,
                  std::string("unknown option '") + wrong + "'");
    }
    EXPECT_EQ(ParseArguments({"--bogus", "--title"}, {}, {"title"}).Error,
              "unknown option '--bogus'")
        << "the first wrong argument is named";
}

} // namespace
} // namespace varnello::tagtool
