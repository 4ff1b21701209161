#pragma once
// The bytes a save writes besides the frame data: tag header, extended
// headers and frame headers of versions 3 and 4, and the padding rule.
// Frames keep their flags in the version 4 layout; version 3 headers are
// mapped from it here.

#include "TFrameIndex.h"

#include <cstdint>
#include <span>
#include <vector>

namespace varnello::layout {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kTagHeaderSize = 10;
// The largest tag body a 28-bit syncsafe size field can state.
inline constexpr std::uint64_t kMaxTagBody = 0x0FFFFFFF;

// The tag header; the footer bit is never written because no footer is.
Bytes TagHeader(std::uint8_t version, std::uint8_t flags, std::uint32_t bodySize);

// A frame header without unsynchronisation bytes. `dataSize` is the data
// size the size field counts (for version 3, without unsynchronisation bytes).
Bytes FrameHeader(const FrameRecord& frame, std::uint8_t version, std::uint32_t dataSize);

// Version 3 tag unsynchronisation of a frame header: the header and the
// first byte of the frame data are one run. Returns the header with the
// inserted bytes; the data byte itself is not part of the result.
Bytes UnsyncHeaderRun(const Bytes& header, std::span<const std::uint8_t> data);

// Sizes of the extended headers as written (version 3 before
// unsynchronisation of its fields).
std::uint32_t ExtendedHeaderSizeV3(bool crc);
std::uint32_t ExtendedHeaderSizeV4(std::uint8_t extFlags);

Bytes ExtendedHeaderV3(bool crc, std::uint32_t padding, std::uint32_t crcValue, bool unsync);
Bytes ExtendedHeaderV4(std::uint8_t extFlags, std::uint32_t crcValue, std::uint8_t restrictions);

// Unsynchronised data seen with the unsynchronisation bytes taken out: its
// size, and the CRC register fed with its bytes.
std::uint32_t DeunsyncedSize(std::span<const std::uint8_t> data);
void Crc32UpdateDeunsynced(std::span<const std::uint8_t> data, std::uint32_t& reg);
void Crc32UpdateZeros(std::uint64_t count, std::uint32_t& reg);

// The padding that makes a file of fileSize - oldSize + newSize bytes end on
// a multiple of `block`, worked out in wrapping 32-bit arithmetic: between 1
// and `block` bytes (a whole block when the file would already end on one).
std::uint32_t RealignedPadding(std::uint64_t fileSize, std::uint64_t oldSize, std::uint64_t newSize,
                               std::uint32_t block);

struct PaddingSettings
{
    std::uint8_t Mode = 1;
    std::uint32_t Block = 4096;
    std::uint32_t Limit = 4096;
    std::uint32_t Current = 0;
};
// The padding of a new tag of newSize bytes (padding excluded) that replaces
// an old tag of oldSize bytes in a file of fileSize bytes.
std::uint32_t ChoosePadding(const PaddingSettings& settings, std::uint64_t fileSize,
                            std::uint64_t oldSize, std::uint64_t newSize);

} // namespace varnello::layout
