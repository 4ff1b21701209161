#include "Crc32.h"

#include <array>

namespace varnello {

namespace {

constexpr std::array<std::uint32_t, 256> MakeTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

} // namespace

void Crc32Update(std::span<const std::uint8_t> data, std::uint32_t& reg)
{
    std::uint32_t value = reg;
    for (const std::uint8_t b : data) {
        value = kTable[(value ^ b) & 0xFFu] ^ (value >> 8);
    }
    reg = value;
}

} // namespace varnello
