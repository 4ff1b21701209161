#pragma once
// ID3v2 unsynchronisation: a 0x00 goes between 0xFF and a following byte of
// 0x00 or 0xE0 and above, so that no false MPEG sync appears in a tag.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace varnello {

std::size_t UnsyncCount(std::span<const std::uint8_t> data);
// Unsynchronises the first `length` bytes of the buffer in place; the buffer
// must hold at least length + UnsyncCount bytes. Returns the bytes inserted.
std::size_t UnsyncInsert(std::uint8_t* buffer, std::size_t length);
std::size_t UnsyncCountWord(std::uint32_t value);
// Removes exactly what UnsyncInsert adds; returns the bytes dropped.
std::size_t UnsyncRemove(std::vector<std::uint8_t>& data);

} // namespace varnello
