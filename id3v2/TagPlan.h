#pragma once
// The figures of one save, worked out before the file is changed.

#include <array>
#include <cstdint>
#include <optional>

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

    // The ID3v1 block that replaces the file's last 128 bytes, when it
    // changes with the tag; the same replace puts both in place.
    std::optional<std::array<std::uint8_t, 128>> Tail;

    // The bytes behind the old tag that stay, the audio and any ID3v1 tag.
    std::uint64_t AudioSize() const { return FileSize - Offset - OldSize; }
    std::uint64_t NewFileSize() const { return FileSize - OldSize + NewSize; }
};

} // namespace varnello
