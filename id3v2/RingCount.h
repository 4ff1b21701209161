#pragma once
// The progress figure of a tag load. It counts the body bytes that a reader
// keeping a ring of 64 KiB in four 16 KiB blocks would have taken from the
// file by now, a reader that fills the whole ring whenever it runs low: the
// figure moves in steps of up to 64 KiB and does not depend on how the body
// is really buffered or whether frame data goes straight to its target.

#include <algorithm>
#include <cstdint>

namespace varnello::ringcount {

constexpr std::uint64_t kBlockSize = 16384;
constexpr std::uint64_t kSize = 4 * kBlockSize;

// What the ring takes when it opens: a first fill.
constexpr std::uint64_t TakenAtStart(std::uint64_t bodySize)
{
    return std::min(bodySize, kSize);
}

// What the ring has taken after handing out n more bytes, `consumed` being
// those handed out before and `taken` its count before; n must not exceed
// the body bytes left after `consumed`.
//
// The ring hands a read out in pieces that end at its block boundaries.
// Before a piece that would leave it fewer than two bytes it refills, as far
// as it has room for and the body has bytes: up to `consumed + kSize`.
// Inline, as it runs for every frame header and frame a load reads.
constexpr std::uint64_t TakenAfterRead(std::uint64_t taken, std::uint64_t consumed, std::uint64_t n,
                                       std::uint64_t bodySize)
{
    // Once the ring has taken the whole body, the count stays.
    while (n > 0 && taken < bodySize) {
        const std::uint64_t piece = std::min(n, kBlockSize - consumed % kBlockSize);
        if (piece + 2 > taken - consumed) {
            taken = std::min(consumed + kSize, bodySize);
        }
        consumed += piece;
        n -= piece;
    }
    return taken;
}

} // namespace varnello::ringcount
