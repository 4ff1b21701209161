#pragma once
// Reads a tag body from its file through a buffer of one 16 KiB block,
// refilled as it drains, so that a tag of any size is read with bounded
// memory besides the frame data itself. A large read takes what the buffer
// does not hold straight from the file into its target, so frame data such
// as a picture is copied once. With tag-level unsynchronisation (versions
// 2.2 and 3) the unsynchronisation is removed as the bytes are handed out,
// giving exactly what one pass over the whole body would give.
//
// The progress figure (Taken) is computed apart from the buffering, by
// ringcount::TakenAfterRead from the bytes handed out.

#include "FileStream.h"
#include "RingCount.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace varnello {

class BodyReader
{
public:
    // The file is positioned at the first byte of the body; `bodySize` bytes
    // of the body are in the file from there on.
    BodyReader(FileStream& file, std::uint32_t bodySize, bool unsynchronised);
    // The buffer's place depends on the object's address.
    BodyReader(const BodyReader&) = delete;
    BodyReader& operator=(const BodyReader&) = delete;

    // Appends up to n bytes to the target; fewer only when the body has run
    // out. Read errors of the file pass as EReadError.
    std::size_t Read(std::size_t n, std::vector<std::uint8_t>& target);
    // The same into a buffer of its own size, for headers and other short
    // fields.
    std::size_t Read(std::span<std::uint8_t> target);
    // Takes the next n bytes (n > 0) as Read would and shows them where they
    // lie, valid until the next call, when the buffer holds them already;
    // otherwise takes nothing and returns null.
    const std::uint8_t* TakeHeld(std::size_t n);

    // Body bytes not yet handed out, counted as stored: with
    // unsynchronisation the body in the file is longer than what it gives.
    std::uint64_t Unconsumed() const { return m_bodySize - m_next; }
    // Body bytes handed out so far (after unsynchronisation was removed).
    std::uint64_t Consumed() const { return m_consumed; }
    // The progress figure: body bytes (as stored) that a reader filling a
    // 64 KiB ring whenever it runs low would have taken by now.
    std::uint64_t Taken() const { return m_taken; }

private:
    static constexpr std::size_t kBlockSize = 16384;
    static constexpr std::size_t kPage = 4096;

    std::size_t Available() const { return static_cast<std::size_t>(m_present - m_next); }
    std::uint8_t* At(std::uint64_t position) { return m_base + (position - m_origin); }
    std::size_t Clamp(std::size_t n) const
    {
        return static_cast<std::size_t>(std::min<std::uint64_t>(n, Unconsumed()));
    }
    void Fill();
    void ReadDirect(std::uint8_t* out, std::size_t count);
    // Counts `count` bytes handed out, taken from the body bytes after `from`.
    void Handed(std::uint64_t from, std::size_t count)
    {
        m_consumed += count;
        m_taken = ringcount::TakenAfterRead(m_taken, from, m_next - from, m_bodySize);
    }
    std::size_t Decode(std::uint8_t* out, std::size_t n);
    void SkipDroppedZero();

    FileStream& m_file;
    std::uint64_t m_bodyStart = 0; // file position of the body's first byte
    std::uint64_t m_bodySize = 0;
    bool m_unsynchronised = false;
    // Body positions, as stored: the next byte to hand out, and the end of
    // what was read from the file. Bytes [m_next, m_present) are in the
    // buffer, body byte x at m_base + (x - m_origin); m_origin is a page
    // boundary.
    std::uint64_t m_next = 0;
    std::uint64_t m_present = 0;
    std::uint64_t m_origin = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_taken = 0;
    std::uint8_t* m_base = nullptr;
    // Never zero-filled: every byte is read from the file before it is
    // handed out. A fill of one block starts within a page of m_origin,
    // and the buffer may start anywhere within a page.
    std::array<std::uint8_t, kBlockSize + 2 * kPage> m_buffer;
};

} // namespace varnello
