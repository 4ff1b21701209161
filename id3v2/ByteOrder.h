#pragma once
// Big-endian and syncsafe integers as the ID3v2 format stores them. Every
// read is checked against the end of the span it reads from.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace varnello::bytes {

inline void RequireBytes(std::span<const std::uint8_t> data, std::size_t offset, std::size_t count)
{
    if (offset > data.size() || data.size() - offset < count) {
        throw std::out_of_range("read past the end of a byte span");
    }
}

inline std::uint32_t ReadBE32(std::span<const std::uint8_t> data, std::size_t offset = 0)
{
    RequireBytes(data, offset, 4);
    return (std::uint32_t{data[offset]} << 24) | (std::uint32_t{data[offset + 1]} << 16) |
           (std::uint32_t{data[offset + 2]} << 8) | std::uint32_t{data[offset + 3]};
}

// Four bytes of seven bits each; the top bit of every byte is ignored by the
// caller's own validation, not here.
inline std::uint32_t ReadSyncsafe32(std::span<const std::uint8_t> data, std::size_t offset = 0)
{
    RequireBytes(data, offset, 4);
    return (std::uint32_t{data[offset] & 0x7Fu} << 21) |
           (std::uint32_t{data[offset + 1] & 0x7Fu} << 14) |
           (std::uint32_t{data[offset + 2] & 0x7Fu} << 7) | std::uint32_t{data[offset + 3] & 0x7Fu};
}

// Five syncsafe bytes (35 bits) truncated to 32 bits: the CRC field of a
// version 4 extended header.
inline std::uint32_t ReadSyncsafe35(std::span<const std::uint8_t> data, std::size_t offset = 0)
{
    RequireBytes(data, offset, 5);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 5; ++i) {
        value = (value << 7) | (data[offset + i] & 0x7Fu);
    }
    return static_cast<std::uint32_t>(value);
}

inline void WriteBE32(std::uint8_t* out, std::uint32_t value)
{
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

inline void WriteSyncsafe32(std::uint8_t* out, std::uint32_t value)
{
    out[0] = static_cast<std::uint8_t>((value >> 21) & 0x7F);
    out[1] = static_cast<std::uint8_t>((value >> 14) & 0x7F);
    out[2] = static_cast<std::uint8_t>((value >> 7) & 0x7F);
    out[3] = static_cast<std::uint8_t>(value & 0x7F);
}

// The top byte holds bits 28 to 31 of the value.
inline void WriteSyncsafe35(std::uint8_t* out, std::uint32_t value)
{
    out[0] = static_cast<std::uint8_t>((value >> 28) & 0x0F);
    out[1] = static_cast<std::uint8_t>((value >> 21) & 0x7F);
    out[2] = static_cast<std::uint8_t>((value >> 14) & 0x7F);
    out[3] = static_cast<std::uint8_t>((value >> 7) & 0x7F);
    out[4] = static_cast<std::uint8_t>(value & 0x7F);
}

} // namespace varnello::bytes
