#pragma once
// Decoding of ID3v2 text into UTF-8, and the conversions the setters need.

#include "TextResult.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnello {

namespace textencoding {
inline constexpr std::uint8_t kLatin1 = 0;
inline constexpr std::uint8_t kUtf16Bom = 1;
inline constexpr std::uint8_t kUtf16BE = 2;
inline constexpr std::uint8_t kUtf8 = 3;
inline constexpr std::uint8_t kUtf16LE = 9; // internal only, never written
} // namespace textencoding

// Decodes from byte `start` of the frame data; `limit` 0 means to the end of
// the data and returns the bytes consumed (mark and terminator included).
TextResult DecodeText(std::span<const std::uint8_t> data, std::size_t start, bool multiline,
                      std::string& text, std::uint8_t encoding, std::size_t& limit);

// True when every character of the UTF-8 text fits ISO-8859-1.
bool FitsLatin1(std::string_view utf8);
// True when the bytes are well-formed UTF-8 (no surrogates, no overlong forms).
bool IsValidUtf8(std::string_view utf8);
std::string Utf8ToLatin1(std::string_view utf8, char replacement = '?');
std::string Latin1ToUtf8(std::string_view latin1);

// The bytes of UTF-8 text in a frame encoding, without terminator: 0 as
// ISO-8859-1 with '?' for characters it cannot hold, 1 as UTF-16 little-endian
// after the mark FF FE, 2 as UTF-16 big-endian, 3 as UTF-8, 9 as UTF-16
// little-endian. Invalid UTF-8 input becomes U+FFFD in the Unicode encodings.
std::vector<std::uint8_t> EncodeText(std::string_view utf8, std::uint8_t encoding);

} // namespace varnello
