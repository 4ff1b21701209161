#include "ReadRing.h"

#include <algorithm>
#include <span>

namespace varnello {

namespace {

constexpr std::size_t kMask = ReadRing::kSize - 1;

} // namespace

ReadRing::ReadRing(FileStream& file, std::uint32_t bodySize, bool unsynchronised)
    : m_file(file), m_ring(std::make_unique_for_overwrite<std::uint8_t[]>(kSize)),
      m_fileLeft(bodySize), m_unsynchronised(unsynchronised)
{
    Refill();
}

std::size_t ReadRing::Read(std::size_t n, std::vector<std::uint8_t>& target)
{
    std::size_t done = 0;
    while (done < n) {
        std::size_t take = std::min(n - done, kBlockSize - m_read % kBlockSize);
        // Keep at least two bytes held while the file has more: the decoder
        // may still have to drop the last of them.
        while (m_fileLeft > 0 && take + 2 > m_held) {
            Refill();
        }
        take = std::min(take, m_held);
        if (take == 0) {
            break;
        }
        target.insert(target.end(), m_ring.get() + m_read, m_ring.get() + m_read + take);
        m_read = (m_read + take) & kMask;
        m_held -= take;
        m_consumed += take;
        done += take;
    }
    return done;
}

void ReadRing::Refill()
{
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(kSize - m_held, m_fileLeft));
    TakeFromFile(count);
    m_fileLeft -= count;
    if (m_unsynchronised) {
        DecodeNewBytes(count);
    } else {
        m_write = (m_write + count) & kMask;
        m_held += count;
    }
    if (m_fileLeft == 0) {
        // A 0x00 after 0xFF at the very end of the body stays.
        m_pendingZero = false;
    }
}

// Reads count bytes into the ring at the write position, block by block.
void ReadRing::TakeFromFile(std::size_t count)
{
    std::size_t at = m_write;
    while (count > 0) {
        const std::size_t piece = std::min(count, kBlockSize - at % kBlockSize);
        m_file.ReadExact(std::span<std::uint8_t>(m_ring.get() + at, piece));
        at = (at + piece) & kMask;
        count -= piece;
    }
}

// Removes unsynchronisation from the count bytes just read at the write
// position, in place: a 0x00 is dropped when the byte before it is 0xFF and
// the byte after it is 0x00 or 0xE0 and above. The output never overtakes
// the input, so compacting within the ring is safe.
void ReadRing::DecodeNewBytes(std::size_t count)
{
    std::size_t in = m_write;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t b = m_ring[in];
        in = (in + 1) & kMask;
        if (m_pendingZero) {
            m_pendingZero = false;
            if (b == 0x00 || b >= 0xE0) {
                m_write = (m_write + kMask) & kMask;
                --m_held;
            }
        }
        m_pendingZero = m_previousWasFF && b == 0x00;
        m_previousWasFF = b == 0xFF;
        Store(b);
    }
}

void ReadRing::Store(std::uint8_t b)
{
    m_ring[m_write] = b;
    m_write = (m_write + 1) & kMask;
    ++m_held;
}

} // namespace varnello
