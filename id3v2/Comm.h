#pragma once
// A comment as the callers of the comment operations see it. Text is UTF-8.

#include <cstdint>
#include <string>

namespace varnello {

struct COMM
{
    std::uint8_t Encoding = 0;
    std::string Language = "ENG"; // always three characters
    std::string Description;
    std::string Text;
};

} // namespace varnello
