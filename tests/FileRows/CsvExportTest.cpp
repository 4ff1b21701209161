#include "CsvExport.h"

#include <gtest/gtest.h>

namespace varnello {
namespace {

struct QuoteCase
{
    const char* Name;
    std::string Text;
    std::string Field;
};

class CsvFieldTest : public testing::TestWithParam<QuoteCase>
{
};

TEST_P(CsvFieldTest, QuotesOnlyWhatMustBeQuoted)
{
    EXPECT_EQ(CsvField(GetParam().Text), GetParam().Field) << "text: " << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(Rfc4180, CsvFieldTest,
                         testing::Values(QuoteCase{"Empty", "", ""},
                                         QuoteCase{"Plain", "Abba", "Abba"},
                                         QuoteCase{"SpacesKept", " two words ", " two words "},
                                         QuoteCase{"Unicode", "夜に駆ける Café", "夜に駆ける Café"},
                                         QuoteCase{"Comma", "Earth, Wind", "\"Earth, Wind\""},
                                         QuoteCase{"QuoteDoubled", "12\" mix", "\"12\"\" mix\""},
                                         QuoteCase{"OnlyQuotes", "\"\"", "\"\"\"\"\"\""},
                                         QuoteCase{"LineFeed", "one\ntwo", "\"one\ntwo\""},
                                         QuoteCase{"CarriageReturn", "one\rtwo", "\"one\rtwo\""},
                                         QuoteCase{"SemicolonAndTabPlain", "a;b\tc", "a;b\tc"}),
                         [](const testing::TestParamInfo<QuoteCase>& param) {
                             return std::string(param.param.Name);
                         });

TEST(RowsToCsv, WritesAHeaderAndOneCrlfRecordPerRowInTheColumnsOrder)
{
    FileRow first;
    first.No = 4;
    first.FileName = "a,b.mp3";
    first.Fields.Title = "Say \"hi\"";
    first.Fields.Track = "3/12";
    FileRow second;
    second.No = 10;
    second.TagKind = tagkind::kBoth;
    second.FileName = "c.mp3";
    second.Fields.Comment = "line\r\nbreak";
    const std::vector<CsvColumn> columns{FieldCsvColumn(kAllTagFields[0], "Title"),
                                         NoCsvColumn("No."),
                                         FileNameCsvColumn("File, name"),
                                         TagKindCsvColumn("Tags"),
                                         FieldCsvColumn(kAllTagFields[5], "Comment"),
                                         FieldCsvColumn(kAllTagFields[6], "Track")};
    EXPECT_EQ(RowsToCsv(std::vector<FileRow>{first, second}, columns),
              "Title,No.,\"File, name\",Tags,Comment,Track\r\n"
              "\"Say \"\"hi\"\"\",4,\"a,b.mp3\",0,,3/12\r\n"
              ",10,c.mp3,3,\"line\r\nbreak\",\r\n");
}

TEST(ListingCsvColumns, HoldNoTagKindFileNameAndEveryFieldOfTheTable)
{
    const std::vector<CsvColumn> columns = ListingCsvColumns();
    EXPECT_EQ(CsvHeader(columns), "No.,Tag Kind,File Name,Title,Artist,Album,Year,Genre,Comment,"
                                  "Track,Disc,Album artist\r\n");
}

} // namespace
} // namespace varnello
