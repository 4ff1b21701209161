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
