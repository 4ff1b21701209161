#include "BodyReader.h"

#include <algorithm>
#include <cstring>

namespace varnello {

namespace {

// A read that still needs this many bytes from the file, or more, takes them
// straight into its target; a smaller one refills the buffer.
constexpr std::size_t kDirectRead = 8192;

} // namespace

BodyReader::BodyReader(FileStream& file, std::uint32_t bodySize, bool unsynchronised)
    : m_file(file), m_bodyStart(file.Position()), m_bodySize(bodySize),
      m_unsynchronised(unsynchronised), m_taken(ringcount::TakenAtStart(bodySize))
{
    // Each body byte goes to the same offset within a memory page as it has
    // within a page of the file. Copies from the file then keep source and
    // destination a whole number of pages apart, which the kernel copies at
    // full speed; a destination a few bytes past the source, modulo the page
    // size, makes some processors copy several times slower.
    const auto address = reinterpret_cast<std::uintptr_t>(m_buffer.data());
    m_base = m_buffer.data() + (m_bodyStart % kPage + kPage - address % kPage) % kPage;
}

std::size_t BodyReader::Read(std::size_t n, std::vector<std::uint8_t>& target)
{
    const std::size_t before = target.size();
    if (m_unsynchronised) {
        target.resize(before + Clamp(n));
        target.resize(before + Decode(target.data() + before, target.size() - before));
        return target.size() - before;
    }
    const std::uint64_t from = m_next;
    const std::size_t count = Clamp(n);
    const std::size_t held = std::min(count, Available());
    target.insert(target.end(), At(m_next), At(m_next) + held);
    m_next += held;
    const std::size_t rest = count - held;
    if (rest >= kDirectRead) {
        target.resize(before + count);
        ReadDirect(target.data() + before + held, rest);
    } else if (rest > 0) {
        Fill();
        target.insert(target.end(), At(m_next), At(m_next) + rest);
        m_next += rest;
    }
    Handed(from, count);
    return count;
}

std::size_t BodyReader::Read(std::span<std::uint8_t> target)
{
    if (m_unsynchronised) {
        return Decode(target.data(), target.size());
    }
    const std::uint64_t from = m_next;
    const std::size_t count = Clamp(target.size());
    const std::size_t held = std::min(count, Available());
    std::copy_n(At(m_next), held, target.data());
    m_next += held;
    const std::size_t rest = count - held;
    if (rest >= kDirectRead) {
        ReadDirect(target.data() + held, rest);
    } else if (rest > 0) {
        Fill();
        std::copy_n(At(m_next), rest, target.data() + held);
        m_next += rest;
    }
    Handed(from, count);
    return count;
}

const std::uint8_t* BodyReader::TakeHeld(std::size_t n)
{
    if (m_unsynchronised || n == 0 || n > Available()) {
        return nullptr;
    }
    const std::uint64_t from = m_next;
    const std::uint8_t* bytes = At(m_next);
    m_next += n;
    Handed(from, n);
    return bytes;
}

// Reads the next block of the body after m_present into the buffer, keeping
// the bytes [m_next, m_present) it holds still (none, or the one byte the
// decoder must see beside the next). The buffer starts afresh at the page of
// m_next.
void BodyReader::Fill()
{
    const std::uint64_t origin = m_next - m_next % kPage;
    const std::size_t kept = Available();
    std::memmove(m_base + (m_next - origin), At(m_next), kept);
    m_origin = origin;
    const std::uint64_t end = std::min<std::uint64_t>(m_bodySize, m_present + kBlockSize);
    m_file.Seek(m_bodyStart + m_present);
    m_file.ReadExact(
        std::span<std::uint8_t>(At(m_present), static_cast<std::size_t>(end - m_present)));
    m_present = end;
}

// Reads the buffer's next `count` body bytes, all past what it holds, from
// the file straight to `out`. The caller's target was sized by what the body
// has left, which the file's size was checked to hold; a file that shrank
// since gives a read error.
void BodyReader::ReadDirect(std::uint8_t* out, std::size_t count)
{
    m_file.Seek(m_bodyStart + m_present);
    m_file.ReadExact(std::span<std::uint8_t>(out, count));
    m_present += count;
    m_next = m_present;
}

// Hands out up to n bytes with the unsynchronisation removed: a 0x00 is
// dropped when the byte stored before it is 0xFF and the byte after it is
// 0x00 or 0xE0 and above; a 0x00 that ends the body stays. A dropped byte
// is skipped as soon as the 0xFF before it is handed out, so m_next never
// rests on one.
std::size_t BodyReader::Decode(std::uint8_t* out, std::size_t n)
{
    const std::uint64_t from = m_next;
    std::size_t done = 0;
    while (done < n && m_next < m_bodySize) {
        if (m_next == m_present) {
            Fill();
        }
        const std::uint8_t b = *At(m_next);
        ++m_next;
        out[done++] = b;
        if (b == 0xFF) {
            SkipDroppedZero();
        }
    }
    Handed(from, done);
    return done;
}

void BodyReader::SkipDroppedZero()
{
    if (m_next + 1 >= m_bodySize) {
        return;
    }
    if (m_next == m_present) {
        Fill();
    }
    if (*At(m_next) != 0x00) {
        return;
    }
    if (m_next + 1 == m_present) {
        Fill();
    }
    const std::uint8_t after = *At(m_next + 1);
    if (after == 0x00 || after >= 0xE0) {
        ++m_next;
    }
}

} // namespace varnello
