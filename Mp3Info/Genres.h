#pragma once
// The ID3v1 genre list: numbers 0..125 and their names, exactly as stored.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnello {

inline constexpr std::size_t kGenreCount = 126;
extern const std::array<const char*, kGenreCount> GenreNames;

// The name shown for a genre byte: 1..125 their names; 0 and 126..255 empty.
std::string GenreToText(std::uint8_t genre);

// The lower-case names in genre order, so a name's position is its number.
class GenreLookup
{
public:
    GenreLookup();
    // Position of the lower-cased text, or -1.
    int IndexOf(std::string_view lowerCaseName) const;
    // The byte written for the text of a genre box or a table cell.
    std::uint8_t TextToGenre(std::string_view text) const;

private:
    std::vector<std::string> m_names;
};

// Convenience: TextToGenre over a lookup built once.
std::uint8_t TextToGenre(std::string_view text);

// The text of a stored genre (TCON) with its references shown as names:
// "(17)" and the bare "17" become "Rock", "(RX)" / "RX" "Remix", "(CR)" /
// "CR" "Cover", and several references "(51)(39)" their names joined with
// " / ". A refinement after the references stands in for the last one's
// name ("(4)Eurodisco" shows "Eurodisco"); "((" starts literal text, of which
// one parenthesis is dropped. Unknown numbers keep their stored form, and
// text without references comes back as it is.
std::string GenreReferencesAsNames(std::string_view stored);

// Removes leading and trailing characters with codes 32 or below.
std::string TrimControl(std::string_view text);

} // namespace varnello
