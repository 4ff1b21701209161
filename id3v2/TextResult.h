#pragma once
// Results of the text and comment frame operations and of text decoding. The
// numbers are shown by the tool ("decoding result", "textResult").

#include <cstdint>

namespace varnello {

enum class TextResult : std::uint8_t
{
    kOk = 0,
    kNotFound = 1,
    kNoData = 2,
    kNotTextFrame = 3,
    kUndecodable = 4,
    kBadEncoding = 5,
    kBadCommentEncoding = 6,
    kBadLanguage = 7,
    kControlCharacter = 8,
    kEncrypted = 9,
    // The stored data stays compressed or unsynchronised: undoing it failed.
    kUnreadable = 10,
    kRemoved = 255,
};

// The results under their usual names, textresult::kOk and so on.
namespace textresult {
using enum TextResult;
} // namespace textresult

} // namespace varnello
