// Name patterns: parse errors, tags read from names, names made from tags.

#include "NamePattern.h"

#include <gtest/gtest.h>

namespace varnello {
namespace {

NamePattern Parsed(std::string_view text, NamePatternUse use)
{
    ParsedNamePattern parsed = ParseNamePattern(text, use);
    EXPECT_EQ(parsed.Error, "") << "pattern " << text;
    return parsed.Pattern;
}

struct ErrorCase
{
    const char* Pattern;
    NamePatternUse Use;
    const char* ErrorPart; // a part of the message
};

class NamePatternErrors : public testing::TestWithParam<ErrorCase>
{
};

TEST_P(NamePatternErrors, AreRefusedWithAClearMessage)
{
    const ErrorCase& c = GetParam();
    const std::string error = ParseNamePattern(c.Pattern, c.Use).Error;
    EXPECT_NE(error.find(c.ErrorPart), std::string::npos)
        << "pattern " << c.Pattern << " gave: " << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamePatternErrors,
    testing::Values(
        ErrorCase{"%track% - %name%", NamePatternUse::kMatch, "unknown placeholder %name%"},
        ErrorCase{"%genre%", NamePatternUse::kFormat, "unknown placeholder %genre%"},
        ErrorCase{"%track - %title%", NamePatternUse::kMatch, "unknown placeholder"},
        ErrorCase{"%track% - %title", NamePatternUse::kMatch, "without its closing"},
        ErrorCase{"%artist%%title%", NamePatternUse::kMatch, "without text between"},
        ErrorCase{"%ignore% %artist%%title%", NamePatternUse::kMatch, "without text between"},
        ErrorCase{"%artist% - %artist%", NamePatternUse::kMatch, "more than once"},
        ErrorCase{"%title:2%", NamePatternUse::kFormat, "only %track% and %disc%"},
        ErrorCase{"%track:0%", NamePatternUse::kFormat, "from 1 to 9"},
        ErrorCase{"%track:x%", NamePatternUse::kFormat, "from 1 to 9"},
        ErrorCase{"just text", NamePatternUse::kFormat, "names no field"},
        ErrorCase{"%ignore%", NamePatternUse::kMatch, "names no field"}));

TEST(NamePattern, AdjacentPlaceholdersAndRepeatsAreFineForNames)
{
    EXPECT_EQ(ParseNamePattern("%track:2%%title%", NamePatternUse::kFormat).Error, "");
    EXPECT_EQ(ParseNamePattern("%artist% - %artist%", NamePatternUse::kFormat).Error, "");
}

struct MatchCase
{
    const char* Pattern;
    const char* FileName;
    bool Matched;
    TagFields Values;
};

class NameMatching : public testing::TestWithParam<MatchCase>
{
};

TEST_P(NameMatching, YieldsTheNamedFieldsOrNoMatch)
{
    const MatchCase& c = GetParam();
    const NamePattern pattern = Parsed(c.Pattern, NamePatternUse::kMatch);
    const NameMatch match = MatchName(pattern, c.FileName);
    ASSERT_EQ(match.Matched, c.Matched) << c.Pattern << " on " << c.FileName;
    EXPECT_EQ(match.Mask, c.Matched ? pattern.Fields : fieldmask::kNone);
    EXPECT_TRUE(match.Values == c.Values)
        << c.Pattern << " on " << c.FileName << ": title '" << match.Values.Title << "' artist '"
        << match.Values.Artist << "' track '" << match.Values.Track << "'";
}

TagFields Values(std::string track, std::string artist, std::string title)
{
    TagFields fields;
    fields.Track = std::move(track);
    fields.Artist = std::move(artist);
    fields.Title = std::move(title);
    return fields;
}

TagFields AlbumYearDisc(std::string album, std::string year, std::string disc,
                        std::string albumArtist = {})
{
    TagFields fields;
    fields.Album = std::move(album);
    fields.Year = std::move(year);
    fields.Disc = std::move(disc);
    fields.AlbumArtist = std::move(albumArtist);
    return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameMatching,
    testing::Values(
        MatchCase{"%track% - %artist% - %title%", "01 - ABBA - Waterloo.mp3", true,
                  Values("01", "ABBA", "Waterloo")},
        MatchCase{"%track% - %artist% - %title%", "01 - ABBA - Waterloo.MP3", true,
                  Values("01", "ABBA", "Waterloo")},
        // The last placeholder takes the rest, dashes and all.
        MatchCase{"%track% - %artist% - %title%", "7 - A - B - C.mp3", true,
                  Values("7", "A", "B - C")},
        // A track that is no number makes the match look further or fail.
        MatchCase{"%track% %title%", "02 Intro 2.mp3", true, Values("02", "", "Intro 2")},
        MatchCase{"%track% - %title%", "two - Intro.mp3", false, {}},
        MatchCase{"%track% - %title%", "Intro.mp3", false, {}},
        MatchCase{"%track% - %title%", " - Intro.mp3", false, {}},
        MatchCase{"%track%/%title%", "3/12.mp3", true, Values("3", "", "12")},
        // Literal text before, between and after, and surrounding spaces gone.
        MatchCase{"[%track%] %artist% (live)", "[3]  Queen  (live).mp3", true,
                  Values("3", "Queen", "")},
        MatchCase{"[%track%] %artist% (live)", "[3] Queen.mp3", false, {}},
        MatchCase{"%ignore% - %title%", "CD1 - Song.mp3", true, Values("", "", "Song")},
        MatchCase{"%album% (%year%) %disc%-%albumartist%", "Arrival (1976) 1-Various.mp3", true,
                  AlbumYearDisc("Arrival", "1976", "1", "Various")},
        // UTF-8 names: literal text and values whole.
        MatchCase{"%artist% \xE2\x80\x93 %title%", "Bj\xC3\xB6rk \xE2\x80\x93 J\xC3\xB3ga.mp3",
                  true, Values("", "Bj\xC3\xB6rk", "J\xC3\xB3ga")},
        MatchCase{"%track%. %title%", "04. \xE6\x97\xA5\xE6\x9C\xAC.mp3", true,
                  Values("04", "", "\xE6\x97\xA5\xE6\x9C\xAC")},
        // A name that is not UTF-8 gives no value a save would take.
        MatchCase{"%track% - %title%", "01 - \xFF.mp3", false, {}},
        // Without the .mp3 ending the whole name is matched.
        MatchCase{"%track% - %title%", "01 - Song.ogg", true, Values("01", "", "Song.ogg")}));

TEST(NameMatching, ManyCandidateSplitsStayCheap)
{
    const NamePattern pattern =
        Parsed("%ignore%-%ignore%-%ignore%-%ignore%-%ignore%-%track%!", NamePatternUse::kMatch);
    EXPECT_FALSE(MatchName(pattern, std::string(250, '-') + ".mp3").Matched);
}

struct FormatCase
{
    const char* Pattern;
    TagFields Fields;
    const char* OldName;
    NameRules Rules;
    const char* Expected; // empty: refused
};

class NameFormatting : public testing::TestWithParam<FormatCase>
{
};

TEST_P(NameFormatting, MakesASafeNameOrRefuses)
{
    const FormatCase& c = GetParam();
    const FormattedName name =
        FormatName(Parsed(c.Pattern, NamePatternUse::kFormat), c.Fields, c.OldName, c.Rules);
    EXPECT_EQ(name.Name, c.Expected) << c.Pattern;
    EXPECT_EQ(name.Refusal.empty(), std::string_view(c.Expected) != "") << name.Refusal;
}

constexpr NameRules kPosix = NameRules::kPosix;
constexpr NameRules kWindows = NameRules::kWindows;

INSTANTIATE_TEST_SUITE_P(
    Cases, NameFormatting,
    testing::Values(
        FormatCase{"%track:2% - %title%", Values("3/12", "", "Song"), "x.mp3", kPosix,
                   "03 - Song.mp3"},
        FormatCase{"%track% - %title%", Values("3/12", "", "Song"), "x.MP3", kPosix,
                   "3 - Song.MP3"},
        FormatCase{"%track:3%", Values("0004", "", ""), "x.mp3", kPosix, "004.mp3"},
        FormatCase{"%track:1%%title%", Values("12", "", "X"), "x.mp3", kPosix, "12X.mp3"},
        FormatCase{"%artist% - %title%", Values("", "AC/DC", "T.N.T."), "x.mp3", kPosix,
                   "AC_DC - T.N.T.mp3"},
        FormatCase{"%title%", Values("", "", "a\tb\x7F"), "x.mp3", kPosix, "a_b_.mp3"},
        FormatCase{"%title%", Values("", "", "What? <No>: \"a\\b\" *|"), "x.mp3", kPosix,
                   "What? <No>: \"a\\b\" *|.mp3"},
        FormatCase{"%title%", Values("", "", "What? <No>: \"a\\b\" *|"), "x.mp3", kWindows,
                   "What_ _No__ _a_b_ __.mp3"},
        FormatCase{"%title% ...", Values("", "", "Song"), "x.mp3", kPosix, "Song.mp3"},
        FormatCase{"%artist% \xE2\x80\x93 %title%", Values("", "Bj\xC3\xB6rk", "J\xC3\xB3ga"),
                   "x.mp3", kPosix, "Bj\xC3\xB6rk \xE2\x80\x93 J\xC3\xB3ga.mp3"},
        // Refused: a named field empty, nothing left, too long.
        FormatCase{"%track% - %title%", Values("", "", "Song"), "x.mp3", kPosix, ""},
        FormatCase{"%title%", Values("", "", ". . ."), "x.mp3", kPosix, ""},
        FormatCase{"%title%", Values("", "", std::string(252, 'a')), "x.mp3", kPosix, ""}));

} // namespace
} // namespace varnello
