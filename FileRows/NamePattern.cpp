#include "NamePattern.h"

#include "FolderReader.h"
#include "TagFieldTable.h"
#include "TagSaver.h"

#include <algorithm>
#include <charconv>

namespace varnello {

namespace {

constexpr std::string_view kMp3Extension = ".mp3";
// The longest name most file systems take, in bytes.
constexpr std::size_t kLongestName = 255;
constexpr int kWidestNumber = 9;

const TagFieldInfo* FieldOfPlaceholder(std::string_view name)
{
    for (const TagFieldInfo& field : kAllTagFields) {
        if (field.Placeholder != nullptr && name == field.Placeholder) {
            return &field;
        }
    }
    return nullptr;
}

std::string Quoted(std::string_view placeholder)
{
    return "%" + std::string(placeholder) + "%";
}

// Reads "name" or "name:width" into the piece; an error text when it is
// neither a known placeholder nor a width a number field takes.
std::string ReadPlaceholder(std::string_view inside, NamePiece& piece)
{
    const std::size_t colon = inside.find(':');
    const std::string_view name = inside.substr(0, colon);
    piece.Placeholder = true;
    piece.Field = FieldOfPlaceholder(name);
    if (piece.Field == nullptr && name != "ignore") {
        return "unknown placeholder " + Quoted(inside) +
               " (known: %track%, %title%, %artist%, %album%, %year%, %disc%, %albumartist%, "
               "%ignore%)";
    }
    if (colon == std::string_view::npos) {
        return {};
    }
    const std::string_view width = inside.substr(colon + 1);
    if (piece.Field == nullptr || !IsNumberPairField(*piece.Field)) {
        return "only %track% and %disc% take a width, not " + Quoted(inside);
    }
    const auto [end, error] =
        std::from_chars(width.data(), width.data() + width.size(), piece.Width);
    if (error != std::errc() || end != width.data() + width.size() || piece.Width < 1 ||
        piece.Width > kWidestNumber) {
        return "the width in " + Quoted(inside) + " must be a number from 1 to 9";
    }
    return {};
}

// Reading names: every placeholder but the first has literal text before it,
// and each field is named once.
std::string CheckForMatching(const NamePattern& pattern)
{
    FieldMask seen;
    for (std::size_t i = 0; i + 1 < pattern.Pieces.size(); ++i) {
        const NamePiece& piece = pattern.Pieces[i];
        if (i > 0 && piece.Literal.empty()) {
            return "two placeholders without text between them: there is no telling where "
                   "one value ends and the next begins";
        }
        if (piece.Field != nullptr && seen.Has(piece.Field->Mask)) {
            return Quoted(piece.Field->Placeholder) + " appears more than once";
        }
        seen |= piece.Field != nullptr ? piece.Field->Mask : fieldmask::kNone;
    }
    return {};
}

bool EndsWithMp3(std::string_view name)
{
    return IsMp3FileName(name) && name.size() > kMp3Extension.size();
}

std::string_view TrimSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Matches the pieces from `piece` on against the name from `at`. `failed`
// remembers the (piece, position) pairs that cannot lead to a match, so that
// a name with many candidate splits costs pieces × length tries at most.
class Matcher
{
public:
    Matcher(const NamePattern& pattern, std::string_view name)
        : m_pattern(pattern), m_name(name),
          m_failed(pattern.Pieces.size() * (name.size() + 1), false)
    {
    }

    bool Match(std::size_t piece, std::size_t at, TagFields& values)
    {
        const NamePiece& current = m_pattern.Pieces[piece];
        if (m_name.substr(at, current.Literal.size()) != current.Literal) {
            return false;
        }
        at += current.Literal.size();
        if (!current.Placeholder) {
            return at == m_name.size();
        }
        std::vector<bool>::reference failed = m_failed[piece * (m_name.size() + 1) + at];
        if (failed) {
            return false;
        }
        const std::string& next = m_pattern.Pieces[piece + 1].Literal;
        for (std::size_t end = at + 1; end <= m_name.size(); ++end) {
            if (!next.empty() ? m_name.compare(end, next.size(), next) != 0
                              : piece + 2 < m_pattern.Pieces.size() || end != m_name.size()) {
                continue;
            }
            if (Take(current, m_name.substr(at, end - at), values) &&
                Match(piece + 1, end, values)) {
                return true;
            }
        }
        failed = true;
        return false;
    }

private:
    static bool Take(const NamePiece& piece, std::string_view text, TagFields& values)
    {
        if (piece.Field == nullptr) {
            return true;
        }
        const std::string_view value = TrimSpaces(text);
        if (value.empty() || !IsValidFieldValue(*piece.Field, value)) {
            return false;
        }
        values.*piece.Field->Member = std::string(value);
        return true;
    }

    const NamePattern& m_pattern;
    std::string_view m_name;
    std::vector<bool> m_failed;
};

// The number before any "/total", padded with zeros to the width.
std::string NumberForName(const std::string& value, int width)
{
    std::string number = value.substr(0, value.find('/'));
    if (const std::size_t first = number.find_first_not_of('0');
        first != std::string::npos && width > 0) {
        number.erase(0, first);
    }
    if (number.size() < static_cast<std::size_t>(width)) {
        number.insert(0, static_cast<std::size_t>(width) - number.size(), '0');
    }
    return number;
}

bool RefusedCharacter(unsigned char c, NameRules rules)
{
    if (c < 0x20 || c == 0x7F || c == '/') {
        return true;
    }
    return rules == NameRules::kWindows &&
           std::string_view("\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

} // namespace

ParsedNamePattern ParseNamePattern(std::string_view text, NamePatternUse use)
{
    ParsedNamePattern parsed;
    NamePattern& pattern = parsed.Pattern;
    NamePiece piece;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('%', at);
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            parsed.Error = "a '%' without its closing '%'";
            return parsed;
        }
        piece.Literal += text.substr(at, open - at);
        if (std::string error = ReadPlaceholder(text.substr(open + 1, close - open - 1), piece);
            !error.empty()) {
            parsed.Error = std::move(error);
            return parsed;
        }
        pattern.Fields |= piece.Field != nullptr ? piece.Field->Mask : fieldmask::kNone;
        pattern.Pieces.push_back(std::move(piece));
        piece = {};
        at = close + 1;
    }
    piece.Literal += text.substr(std::min(at, text.size()));
    pattern.Pieces.push_back(std::move(piece));
    if (pattern.Fields.Empty()) {
        parsed.Error = "the pattern names no field (%title%, %artist%, ...)";
    } else if (use == NamePatternUse::kMatch) {
        parsed.Error = CheckForMatching(pattern);
    }
    return parsed;
}

NameMatch MatchName(const NamePattern& pattern, std::string_view fileName)
{
    NameMatch match;
    if (pattern.Pieces.empty()) {
        return match;
    }
    if (EndsWithMp3(fileName)) {
        fileName.remove_suffix(kMp3Extension.size());
    }
    Matcher matcher(pattern, fileName);
    match.Matched = matcher.Match(0, 0, match.Values);
    if (match.Matched) {
        match.Mask = pattern.Fields;
    } else {
        match.Values = {};
    }
    return match;
}

FormattedName FormatName(const NamePattern& pattern, const TagFields& fields,
                         std::string_view oldName, NameRules rules)
{
    FormattedName result;
    std::string stem;
    for (const NamePiece& piece : pattern.Pieces) {
        stem += piece.Literal;
        if (piece.Field == nullptr) {
            continue;
        }
        const std::string& value = fields.*piece.Field->Member;
        if (value.empty()) {
            std::string label = piece.Field->Label;
            label[0] = static_cast<char>(label[0] - 'A' + 'a');
            result.Refusal = "no " + label + " to name the file by";
            return result;
        }
        stem += IsNumberPairField(*piece.Field) ? NumberForName(value, piece.Width) : value;
    }
    for (char& c : stem) {
        c = RefusedCharacter(static_cast<unsigned char>(c), rules) ? '_' : c;
    }
    stem.erase(stem.find_last_not_of(". ") + 1);
    if (stem.empty()) {
        result.Refusal = "the new name would be empty";
        return result;
    }
    const std::string_view extension = EndsWithMp3(oldName)
                                           ? oldName.substr(oldName.size() - kMp3Extension.size())
                                           : kMp3Extension;
    result.Name = stem + std::string(extension);
    if (result.Name.size() > kLongestName) {
        result.Refusal = "the new name would be longer than 255 bytes";
        result.Name.clear();
    }
    return result;
}

} // namespace varnello
