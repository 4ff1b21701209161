#pragma once
// ID3v2.2 frames in their version 3 form. Version 2.2 names frames with three
// characters and lays out a few bodies differently; everything else it shares
// with version 3, so most frames keep their bytes and only change their ID.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnello {

struct ConvertedFrame
{
    std::string ID; // four characters
    std::vector<std::uint8_t> Data;
};

// The version 3 ID of a version 2.2 frame ID; empty when there is none
// (CRM, experimental and unknown IDs).
std::string_view FrameIdV23(std::string_view idV22);

// The frame as version 3 stores it, or nothing when it has no version 3 form:
// its ID has none, a picture's image format cannot be named as a MIME type,
// or a link points at a frame that has none.
std::optional<ConvertedFrame> ConvertFrameV22(std::string_view idV22,
                                              std::vector<std::uint8_t> data);

} // namespace varnello
