#include "RingCount.h"

#include <algorithm>

namespace varnello::ringcount {

std::uint64_t TakenAfterRead(std::uint64_t taken, std::uint64_t consumed, std::uint64_t n,
                             std::uint64_t bodySize)
{
    while (n > 0) {
        const std::uint64_t piece = std::min(n, kBlockSize - consumed % kBlockSize);
        if (taken < bodySize && piece + 2 > taken - consumed) {
            taken = std::min(consumed + kSize, bodySize);
        }
        consumed += piece;
        n -= piece;
    }
    return taken;
}

} // namespace varnello::ringcount
