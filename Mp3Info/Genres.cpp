#include "Genres.h"

#include <optional>

namespace varnello {

namespace {

constexpr std::uint8_t kNoGenre = 255;

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        c = LowerAscii(c);
    }
    return lower;
}

int DigitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (base == 16 && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
        value = LowerAscii(c) - 'a' + 10;
    }
    return value < base ? value : -1;
}

// The genre byte of a whole number: optionally signed, decimal or hexadecimal
// after $, x or 0x, of any length. Empty when the text is not such a number,
// or when it is exactly 255 (which then goes through the name lookup).
std::optional<std::uint8_t> NumberToGenre(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned lowBits = 0;  // the magnitude modulo 256
    bool above255 = false; // the magnitude is larger than 255
    unsigned exact = 0;    // the magnitude while it is at most 255
    for (char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return std::nullopt;
        }
        const auto d = static_cast<unsigned>(digit);
        const auto b = static_cast<unsigned>(base);
        lowBits = (lowBits * b + d) % 256u;
        if (!above255) {
            exact = exact * b + d;
            above255 = exact > 255u;
        }
    }
    if (!negative && !above255 && exact == 255u) {
        return std::nullopt;
    }
    const unsigned value = negative ? (256u - lowBits) % 256u : lowBits;
    return static_cast<std::uint8_t>(value);
}

// The name of one reference ("17", "RX", "CR" without parentheses); empty
// when it is not a known one.
std::string_view ReferenceName(std::string_view reference)
{
    if (reference == "RX") {
        return "Remix";
    }
    if (reference == "CR") {
        return "Cover";
    }
    if (reference.empty() || reference.size() > 3) {
        return {};
    }
    std::size_t number = 0;
    for (char c : reference) {
        if (c < '0' || c > '9') {
            return {};
        }
        number = number * 10 + static_cast<std::size_t>(c - '0');
    }
    return number < kGenreCount ? GenreNames[number] : std::string_view();
}

} // namespace

std::string GenreReferencesAsNames(std::string_view stored)
{
    // Version 2.4 stores a reference as the bare number or code.
    if (const std::string_view name = ReferenceName(stored); !name.empty()) {
        return std::string(name);
    }
    std::vector<std::string> names;
    std::string_view rest = stored;
    while (rest.starts_with('(') && !rest.starts_with("((")) {
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos || close == 1) {
            break;
        }
        const std::string_view code = rest.substr(1, close - 1);
        const bool number =
            code.size() <= 3 && code.find_first_not_of("0123456789") == std::string_view::npos;
        if (!number && code != "RX" && code != "CR") {
            break; // text in parentheses, not a reference
        }
        const std::string_view name = ReferenceName(code);
        names.emplace_back(name.empty() ? rest.substr(0, close + 1) : name);
        rest.remove_prefix(close + 1);
    }
    if (names.empty()) {
        return std::string(stored.starts_with("((") ? stored.substr(1) : stored);
    }
    if (!rest.empty()) {
        names.back() = rest.starts_with("((") ? rest.substr(1) : rest;
    }
    std::string text = names.front();
    for (std::size_t i = 1; i < names.size(); ++i) {
        text += " / ";
        text += names[i];
    }
    return text;
}

std::string GenreToText(std::uint8_t genre)
{
    if (genre == 0 || genre >= kGenreCount) {
        return {};
    }
    return GenreNames[genre];
}

GenreLookup::GenreLookup()
{
    m_names.reserve(kGenreCount);
    for (const char* name : GenreNames) {
        m_names.push_back(LowerCase(name));
    }
}

int GenreLookup::IndexOf(std::string_view lowerCaseName) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == lowerCaseName) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::uint8_t GenreLookup::TextToGenre(std::string_view text) const
{
    const std::string trimmed = TrimControl(text);
    if (const auto number = NumberToGenre(trimmed)) {
        return *number;
    }
    const int index = IndexOf(LowerCase(trimmed));
    return index < 0 ? kNoGenre : static_cast<std::uint8_t>(index);
}

std::uint8_t TextToGenre(std::string_view text)
{
    static const GenreLookup lookup;
    return lookup.TextToGenre(text);
}

std::string TrimControl(std::string_view text)
{
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isControl(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isControl(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

} // namespace varnello
