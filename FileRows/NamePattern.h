#pragma once
// File name patterns such as "%track% - %artist% - %title%": placeholders
// between percent signs with literal text around them. The placeholders are
// those of the field table (%title%, %artist%, %album%, %year%, %track%,
// %disc%, %albumartist%) and %ignore%, which stands for any text. A track or
// disc placeholder may give a width, "%track:2%", that pads the number with
// zeros when a name is made.
//
// A pattern is read one way (tags from a file name: MatchName) or the other
// (a file name from tags: FormatName). Reading a name needs literal text
// between any two placeholders, or there would be no telling where one value
// ends; making one does not.

#include "FileRow.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnello {

struct TagFieldInfo;

struct NamePiece
{
    std::string Literal;                 // the text before the placeholder
    const TagFieldInfo* Field = nullptr; // null: %ignore%, or the closing text
    bool Placeholder = false;            // false only for the closing text
    int Width = 0;                       // "%track:2%": 2
};

struct NamePattern
{
    // Each piece is literal text followed by a placeholder; the last piece
    // holds the text after the last placeholder and none.
    std::vector<NamePiece> Pieces;
    FieldMask Fields; // the fields the pattern names
};

enum class NamePatternUse
{
    kMatch,  // reading tags from names
    kFormat, // making names from tags
};

struct ParsedNamePattern
{
    NamePattern Pattern;
    std::string Error; // empty when the pattern is good
};

ParsedNamePattern ParseNamePattern(std::string_view text, NamePatternUse use);

// The values a name gives for the pattern's fields. A name ending in ".mp3"
// (in any case) is matched without it. Each placeholder takes at least one
// character, the values lose their surrounding spaces, and a value that a
// save would refuse (a track that is no number, a control character) makes
// the match look further: where several splits fit, the first placeholder
// takes the shortest text that lets the rest match.
struct NameMatch
{
    bool Matched = false;
    TagFields Values; // the fields of Mask; the others are empty
    FieldMask Mask;
};
NameMatch MatchName(const NamePattern& pattern, std::string_view fileName);

enum class NameRules
{
    kPosix,   // refuses "/" and control characters
    kWindows, // also \ : * ? " < > |
#ifdef _WIN32
    kThisSystem = kWindows,
#else
    kThisSystem = kPosix,
#endif
};

// A file name made from the fields, with the extension of `oldName` (".mp3"
// as it is written there). Characters the rules refuse become "_", trailing
// dots and spaces go. A field the pattern names that is empty in `fields`
// refuses the name, and so does a name that ends up empty or too long.
struct FormattedName
{
    std::string Name;
    std::string Refusal; // empty when Name is good
};
FormattedName FormatName(const NamePattern& pattern, const TagFields& fields,
                         std::string_view oldName, NameRules rules = NameRules::kThisSystem);

} // namespace varnello
