#include "Genres.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <set>

using namespace varnello;

TEST(Genres, GenreToTextNamesOneTo125AndLeavesTheRestEmpty)
{
    EXPECT_EQ(GenreToText(17), "Rock");
    EXPECT_EQ(GenreToText(125), "Dance Hall");
    EXPECT_EQ(GenreToText(1), "Classic Rock");
    EXPECT_EQ(GenreToText(0), "") << "genre 0 shows as no genre, not as Blues";
    EXPECT_EQ(GenreToText(126), "");
    EXPECT_EQ(GenreToText(255), "");
}

TEST(Genres, ListHas126NamesThatDifferEvenIgnoringCase)
{
    std::set<std::string> lower;
    for (const char* name : GenreNames) {
        std::string text(name);
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        lower.insert(text);
    }
    EXPECT_EQ(GenreNames.size(), 126u);
    EXPECT_EQ(lower.size(), 126u);
    EXPECT_STREQ(GenreNames[0], "Blues");
    EXPECT_STREQ(GenreNames[67], "Psychadelic");
    EXPECT_STREQ(GenreNames[117], "Poweer Ballad");
    EXPECT_STREQ(GenreNames[118], "Rhytmic Soul");
    EXPECT_STREQ(GenreNames[123], "A Capela");
}

TEST(Genres, TextToGenreAcceptsNamesInAnyCaseWithBlanksAround)
{
    EXPECT_EQ(TextToGenre("Rock"), 17);
    EXPECT_EQ(TextToGenre(" rock "), 17);
    EXPECT_EQ(TextToGenre("ROCK"), 17);
    EXPECT_EQ(TextToGenre("\tRock\r\n"), 17);
    EXPECT_EQ(TextToGenre("Dance Hall"), 125);
    EXPECT_EQ(TextToGenre("Blues"), 0);
    EXPECT_EQ(TextToGenre("Poweer Ballad"), 117);
    EXPECT_EQ(TextToGenre("Power Ballad"), 255) << "only the stored spelling counts";
    EXPECT_EQ(TextToGenre(""), 255);
    EXPECT_EQ(TextToGenre("   "), 255);
    EXPECT_EQ(TextToGenre("Not A Genre"), 255);
    EXPECT_EQ(TextToGenre("NOT A GENRE"), 255);
    EXPECT_EQ(TextToGenre("(17)"), 255);
    EXPECT_EQ(TextToGenre("Rock\xC3\xA9"), 255);
}

TEST(Genres, TextToGenreTakesTheLowEightBitsOfWholeNumbers)
{
    EXPECT_EQ(TextToGenre("17"), 17);
    EXPECT_EQ(TextToGenre(" 17 "), 17);
    EXPECT_EQ(TextToGenre("+17"), 17);
    EXPECT_EQ(TextToGenre("017"), 17) << "leading zeros are decimal";
    EXPECT_EQ(TextToGenre("300"), 44);
    EXPECT_EQ(TextToGenre("256"), 0);
    EXPECT_EQ(TextToGenre("-1"), 255);
    EXPECT_EQ(TextToGenre("-255"), 1);
    EXPECT_EQ(TextToGenre("255"), 255) << "255 goes through the name lookup";
    EXPECT_EQ(TextToGenre("4294967313"), 17) << "2^32 + 17";
    EXPECT_EQ(TextToGenre("$11"), 17);
    EXPECT_EQ(TextToGenre("x11"), 17);
    EXPECT_EQ(TextToGenre("X11"), 17);
    EXPECT_EQ(TextToGenre("0x11"), 17);
    EXPECT_EQ(TextToGenre("0XfF"), 255);
    EXPECT_EQ(TextToGenre("-$1"), 255);
    EXPECT_EQ(TextToGenre("$"), 255);
    EXPECT_EQ(TextToGenre("0x"), 255);
    EXPECT_EQ(TextToGenre("1 7"), 255);
    EXPECT_EQ(TextToGenre("12a"), 255);
    EXPECT_EQ(TextToGenre("--1"), 255);
}

TEST(Genres, LookupPositionIsTheGenreNumber)
{
    const GenreLookup lookup;
    EXPECT_EQ(lookup.IndexOf("blues"), 0);
    EXPECT_EQ(lookup.IndexOf("rock"), 17);
    EXPECT_EQ(lookup.IndexOf("Rock"), -1) << "the lookup holds lower case only";
    EXPECT_EQ(lookup.IndexOf("dance hall"), 125);
    EXPECT_EQ(lookup.TextToGenre(" hard ROCK "), 79);
    for (std::size_t i = 0; i < GenreNames.size(); ++i) {
        EXPECT_EQ(lookup.TextToGenre(GenreNames[i]), i) << GenreNames[i];
    }
}

TEST(Genres, TrimControlRemovesBytesUpToBlankAtBothEnds)
{
    EXPECT_EQ(TrimControl("  a b \t\r\n"), "a b");
    EXPECT_EQ(TrimControl(std::string("\0x\0", 3)), "x");
    EXPECT_EQ(TrimControl(" \x01 "), "");
    EXPECT_EQ(TrimControl("\xC3\xA9 "), "\xC3\xA9") << "bytes of UTF-8 characters stay";
}

struct ReferenceCase
{
    const char* Stored;
    const char* Shown;
};

class GenreReferences : public testing::TestWithParam<ReferenceCase>
{
};

TEST_P(GenreReferences, ShowNamesAndKeepOtherTextAsStored)
{
    const ReferenceCase& c = GetParam();
    EXPECT_EQ(GenreReferencesAsNames(c.Stored), c.Shown) << "stored \"" << c.Stored << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GenreReferences,
    testing::Values(
        ReferenceCase{"(17)", "Rock"}, ReferenceCase{"(0)", "Blues"},
        ReferenceCase{"(125)", "Dance Hall"}, ReferenceCase{"(017)", "Rock"},
        ReferenceCase{"(17)Rock", "Rock"}, ReferenceCase{"(4)Eurodisco", "Eurodisco"},
        ReferenceCase{"17", "Rock"}, ReferenceCase{"0", "Blues"}, ReferenceCase{"RX", "Remix"},
        ReferenceCase{"(RX)", "Remix"}, ReferenceCase{"CR", "Cover"},
        ReferenceCase{"(CR)", "Cover"}, ReferenceCase{"(51)(39)", "Techno-Industrial / Noise"},
        ReferenceCase{"(51)(39)Harsh", "Techno-Industrial / Harsh"},
        ReferenceCase{"(RX)(17)", "Remix / Rock"}, ReferenceCase{"(17)(200)", "Rock / (200)"},
        // Unknown numbers, literal text and broken references stay.
        ReferenceCase{"(200)", "(200)"}, ReferenceCase{"200", "200"}, ReferenceCase{"255", "255"},
        ReferenceCase{"256", "256"}, ReferenceCase{"(1000)", "(1000)"},
        ReferenceCase{"((17)", "(17)"}, ReferenceCase{"(17)((Live)", "(Live)"},
        ReferenceCase{"(Live) Jazz", "(Live) Jazz"}, ReferenceCase{"(17", "(17"},
        ReferenceCase{"()", "()"}, ReferenceCase{"( 17)", "( 17)"}, ReferenceCase{" 17", " 17"},
        ReferenceCase{"17 ", "17 "}, ReferenceCase{"+17", "+17"}, ReferenceCase{"rx", "rx"},
        ReferenceCase{"Rock", "Rock"}, ReferenceCase{"Remix", "Remix"}, ReferenceCase{"", ""}));
