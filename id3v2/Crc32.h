#pragma once
// CRC-32 (ISO 3309, reflected polynomial 0xEDB88320), computed by zlib. The
// caller starts the register at 0xFFFFFFFF and inverts it at the end.

#include <cstdint>
#include <span>

namespace varnello {

void Crc32Update(std::span<const std::uint8_t> data, std::uint32_t& reg);

} // namespace varnello
