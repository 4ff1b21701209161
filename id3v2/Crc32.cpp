#include "Crc32.h"

#include <algorithm>
#include <zlib.h>

namespace varnello {

void Crc32Update(std::span<const std::uint8_t> data, std::uint32_t& reg)
{
    // zlib keeps the register inverted on both sides of a call.
    uLong value = ~reg & 0xFFFFFFFFu;
    while (!data.empty()) {
        const std::size_t piece = std::min<std::size_t>(data.size(), 1u << 30);
        value = crc32(value, data.data(), static_cast<uInt>(piece));
        data = data.subspan(piece);
    }
    reg = ~static_cast<std::uint32_t>(value);
}

} // namespace varnello
