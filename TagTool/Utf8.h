#pragma once
// The little UTF-8 handling the tool's output needs: walking code points with
// invalid bytes flagged, and the width a character takes in a terminal.

#include <cstddef>
#include <string>
#include <string_view>

namespace varnello::tagtool {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point at `pos` and advances `pos` past it. An invalid or
// truncated sequence consumes one byte and gives kReplacementCharacter.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

void AppendUtf8(std::string& out, char32_t codePoint);

// The text with every invalid sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

bool IsValidUtf8(std::string_view text);

// The text for a one-line message or a table cell: control characters become
// "\n", "\t", "\r" or "\xHH", a byte that is not valid UTF-8 becomes "\xHH",
// and a backslash is doubled, so that different names never look alike and a
// name can never start a line of its own.
std::string EscapedText(std::string_view text);

// The bytes as lower-case hex digits, two per byte; and back. ParseHex
// returns false for an odd count or a character that is not a hex digit.
std::string HexBytes(std::string_view bytes);
bool ParseHex(std::string_view hex, std::string& bytes);

// Terminal columns of one character: 0 for combining marks, 2 for wide East
// Asian characters and emoji, 1 otherwise.
int CharacterWidth(char32_t codePoint);

// Columns of a whole (valid) UTF-8 text.
std::size_t DisplayWidth(std::string_view text);

} // namespace varnello::tagtool
