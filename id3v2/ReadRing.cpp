#include "ReadRing.h"

#include <algorithm>
#include <span>

namespace varnello {

namespace {

constexpr std::size_t kMask = ReadRing::kSize - 1;
// A read that still needs this many bytes from the file, or more, takes them
// straight into its target; a smaller one fills the window a block ahead.
constexpr std::uint64_t kDirectRead = ReadRing::kBlockSize / 2;
constexpr std::uint64_t kFillAhead = ReadRing::kBlockSize;

} // namespace

ReadRing::ReadRing(FileStream& file, std::uint32_t bodySize, bool unsynchronised)
    : m_file(file), m_bodyStart(file.Position()), m_bodySize(bodySize),
      m_unsynchronised(unsynchronised)
{
    std::uint8_t* storage = m_window.data();
    if (m_unsynchronised) {
        m_storage = std::make_unique_for_overwrite<std::uint8_t[]>(kSize + kPage);
        storage = m_storage.get();
    }
    // Each body byte goes to the same offset within a memory page as it has
    // within a page of the file. Copies from the file then keep source and
    // destination a whole number of pages apart, which the kernel copies at
    // full speed; a destination a few bytes past the source, modulo the page
    // size, makes some processors copy several times slower.
    const auto address = reinterpret_cast<std::uintptr_t>(storage);
    const std::size_t shift = (m_bodyStart % kPage + kPage - address % kPage) % kPage;
    m_base = storage + shift;
    if (m_unsynchronised) {
        Refill();
    } else {
        // Bookkeeping only: the bytes are read when a read needs them.
        m_taken = std::min<std::uint64_t>(kSize, m_bodySize);
    }
}

std::size_t ReadRing::Read(std::size_t n, std::vector<std::uint8_t>& target)
{
    return m_unsynchronised ? ReadUnsynchronised(n, target) : ReadPlain(n, target);
}

std::size_t ReadRing::Read(std::span<std::uint8_t> target)
{
    if (!m_unsynchronised) {
        return ReadPlain(target);
    }
    m_scratch.clear();
    const std::size_t got = ReadUnsynchronised(target.size(), m_scratch);
    std::copy(m_scratch.begin(), m_scratch.end(), target.begin());
    return got;
}

// ---------------------------------------------------------------------------
// Plain bodies

// True when the next n bytes are in the window, the ring rule takes them in
// one piece (within one ring block) and taking them leaves the ring no reason
// to refill: they can be handed out at once.
bool ReadRing::HeldInOnePiece(std::size_t n) const
{
    return n > 0 && n <= kBlockSize - m_consumed % kBlockSize && m_consumed + n <= m_present &&
           (m_taken == m_bodySize || n + 2 <= m_taken - m_consumed);
}

const std::uint8_t* ReadRing::TakeHeld(std::size_t n)
{
    if (m_unsynchronised || !HeldInOnePiece(n)) {
        return nullptr;
    }
    const std::uint8_t* bytes = Held(m_consumed);
    m_consumed += n;
    return bytes;
}

std::size_t ReadRing::ReadPlain(std::size_t n, std::vector<std::uint8_t>& target)
{
    const std::uint64_t from = m_consumed;
    if (HeldInOnePiece(n)) {
        target.insert(target.end(), Held(from), Held(from + n));
        m_consumed += n;
        return n;
    }
    AdvanceLikeTheRing(n);
    const std::uint64_t to = m_consumed;
    const std::uint64_t held = std::min(m_present, to);
    if (held > from) {
        target.insert(target.end(), Held(from), Held(held));
    }
    if (to - held >= kDirectRead) {
        ReadDirect(to, target);
    } else if (to > held) {
        FillAhead(to);
        target.insert(target.end(), Held(held), Held(to));
    }
    return static_cast<std::size_t>(to - from);
}

std::size_t ReadRing::ReadPlain(std::span<std::uint8_t> target)
{
    const std::uint64_t from = m_consumed;
    if (HeldInOnePiece(target.size())) {
        std::copy(Held(from), Held(from + target.size()), target.begin());
        m_consumed += target.size();
        return target.size();
    }
    AdvanceLikeTheRing(target.size());
    const std::uint64_t to = m_consumed;
    const std::uint64_t held = std::min(m_present, to);
    if (held > from) {
        std::copy(Held(from), Held(held), target.begin());
    }
    std::uint8_t* rest = target.data() + (held - from);
    if (to - held >= kDirectRead) {
        if (ReadFromFile(to, rest) < to - held) {
            throw EReadError("read past the end of the file");
        }
    } else if (to > held) {
        FillAhead(to);
        std::copy(Held(held), Held(to), rest);
    }
    return static_cast<std::size_t>(to - from);
}

// Moves Consumed and Taken as a ring that holds real bytes would: it takes
// at most to the end of the current block at a time, and before a take that
// would leave fewer than two bytes held it refills, as far as it has room
// for and the body has bytes.
void ReadRing::AdvanceLikeTheRing(std::size_t n)
{
    std::uint64_t left = n;
    while (left > 0) {
        std::uint64_t take = std::min<std::uint64_t>(left, kBlockSize - m_consumed % kBlockSize);
        if (m_taken < m_bodySize && take + 2 > m_taken - m_consumed) {
            m_taken = std::min<std::uint64_t>(m_consumed + kSize, m_bodySize);
        }
        take = std::min(take, m_taken - m_consumed);
        if (take == 0) {
            break;
        }
        m_consumed += take;
        left -= take;
    }
}

// Reads body bytes [m_present, to) from the file straight into the target.
// The target grows by no more than the body has left, which the file's size
// was checked to hold; a file that shrank since leaves only what was read.
void ReadRing::ReadDirect(std::uint64_t to, std::vector<std::uint8_t>& target)
{
    const auto count = static_cast<std::size_t>(to - m_present);
    const std::size_t before = target.size();
    target.resize(before + count);
    const std::size_t got = ReadFromFile(to, target.data() + before);
    if (got < count) {
        target.resize(before + got);
        throw EReadError("read past the end of the file");
    }
}

// Reads body bytes [m_present, to) from the file to `out`, bypassing the
// ring; returns how many it got, fewer only when the file has shrunk.
std::size_t ReadRing::ReadFromFile(std::uint64_t to, std::uint8_t* out)
{
    const auto count = static_cast<std::size_t>(to - m_present);
    m_file.Seek(m_bodyStart + m_present);
    const std::size_t got = m_file.Read(std::span<std::uint8_t>(out, count));
    m_present += got;
    return got;
}

// Reads from m_present into the window, at least to `needed`, which is less
// than a block away, and a block ahead if the ring has taken that far. The
// bytes held before are handed out already, so the window starts afresh at
// the page of m_present.
void ReadRing::FillAhead(std::uint64_t needed)
{
    const std::uint64_t end = std::min(m_taken, std::max(needed, m_present + kFillAhead));
    m_origin = m_present - m_present % kPage;
    m_file.Seek(m_bodyStart + m_present);
    m_file.ReadExact(std::span<std::uint8_t>(m_base + (m_present - m_origin),
                                             static_cast<std::size_t>(end - m_present)));
    m_present = end;
}

// ---------------------------------------------------------------------------
// Unsynchronised bodies

std::size_t ReadRing::ReadUnsynchronised(std::size_t n, std::vector<std::uint8_t>& target)
{
    std::size_t done = 0;
    while (done < n) {
        std::size_t take = std::min(n - done, kBlockSize - m_read % kBlockSize);
        // Keep at least two bytes held while the file has more: the decoder
        // may still have to drop the last of them.
        while (m_taken < m_bodySize && take + 2 > m_held) {
            Refill();
        }
        take = std::min(take, m_held);
        if (take == 0) {
            break;
        }
        target.insert(target.end(), m_base + m_read, m_base + m_read + take);
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
        static_cast<std::size_t>(std::min<std::uint64_t>(kSize - m_held, m_bodySize - m_taken));
    TakeFromFile(count);
    m_taken += count;
    DecodeNewBytes(count);
    if (m_taken == m_bodySize) {
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
        m_file.ReadExact(std::span<std::uint8_t>(m_base + at, piece));
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
        const std::uint8_t b = m_base[in];
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
    m_base[m_write] = b;
    m_write = (m_write + 1) & kMask;
    ++m_held;
}

} // namespace varnello
