#pragma once
// zlib compression of frame data, on whole in-memory blocks. Failures raise
// the EZLibError family with zlib's own message for the result code.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnello {

class EZLibError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class EZCompressionError : public EZLibError
{
public:
    using EZLibError::EZLibError;
};

class EZDecompressionError : public EZLibError
{
public:
    using EZLibError::EZLibError;
};

// The largest output DecompressBuffer produces: the largest tag body the
// format allows. Anything that inflates further is refused.
inline constexpr std::size_t kMaxDecompressedSize = 256u * 1024u * 1024u;

// LevelIndex 0..3: none, fastest, zlib's default, best.
std::vector<std::uint8_t> CompressBuffer(std::span<const std::uint8_t> input,
                                         std::uint8_t levelIndex);
// SizeEstimate 0 means no estimate. Output beyond `limit` bytes (at most
// kMaxDecompressedSize) raises EZDecompressionError.
std::vector<std::uint8_t> DecompressBuffer(std::span<const std::uint8_t> input,
                                           std::size_t sizeEstimate = 0,
                                           std::size_t limit = kMaxDecompressedSize);
// The size DecompressBuffer would give, found with a small buffer that is
// reused, so that no inflated copy is ever held. Raises as DecompressBuffer.
std::size_t InflatedSize(std::span<const std::uint8_t> input,
                         std::size_t limit = kMaxDecompressedSize);

int CompressCheck(int code);
int DecompressCheck(int code);

} // namespace varnello
