#pragma once
// Frame flag bits, always in the version 4 layout whatever version a frame was
// read from. Index 0 of a flag pair is the status byte, index 1 the format byte.

#include <cstdint>

namespace varnello::frameflags {

// Status byte.
inline constexpr std::uint8_t kTagAlterPreservation = 0x40;
inline constexpr std::uint8_t kFileAlterPreservation = 0x20;
inline constexpr std::uint8_t kReadOnly = 0x10;

// Format byte.
inline constexpr std::uint8_t kGrouping = 0x40;
inline constexpr std::uint8_t kCompression = 0x08;
inline constexpr std::uint8_t kEncryption = 0x04;
inline constexpr std::uint8_t kUnsynchronisation = 0x02;
inline constexpr std::uint8_t kDataLengthIndicator = 0x01;

} // namespace varnello::frameflags

namespace varnello {

// Small results of the in-place frame transformations.
enum class FrameResult : int
{
    kOk = 0,
    kNotApplicable = -1,  // already in (or not in) the requested form
    kLengthMismatch = -2, // decompressed size differs from DataLength
    kEncrypted = 1,
    kUnsynchronised = 2,
    kFailed = 4,
};

// The results under their usual names, frameresult::kOk and so on.
namespace frameresult {
using enum FrameResult;
} // namespace frameresult

} // namespace varnello
