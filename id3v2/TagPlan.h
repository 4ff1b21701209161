#pragma once
// The figures of one save, worked out before the file is changed.

#include <cstdint>

namespace varnello {

struct TagPlan
{
    std::uint8_t Version = 3;
    std::uint64_t Offset = 0;   // where the tag starts in the file
    std::uint64_t FileSize = 0; // the file's size when the save started
    std::uint64_t OldSize = 0;  // the old tag at Offset, header included; 0 for none
    std::uint64_t NewSize = 0;  // the new tag, header and padding included
    std::uint32_t Padding = 0;
    bool HasCrc = false;
    std::uint32_t Crc = 0; // the CRC written; 0 without one

    std::uint64_t AudioSize() const { return FileSize - Offset - OldSize; }
};

} // namespace varnello
