#pragma once
// The read ring through which a tag body is taken from its file: 64 KiB made
// of four 16 KiB blocks, refilled as it drains, so that a tag of any size is
// read with bounded memory besides the frame data itself.
//
// The ring keeps the count of body bytes taken from the file by its refill
// rule (Taken), which the progress figures follow. Without tag-level
// unsynchronisation the bytes themselves are read lazily: a small read fills
// a window of one block ahead, and a large one reads its bytes straight from
// the file into the target, so frame data such as a picture is copied once,
// not through the ring. That window (24 KiB with its alignment slack), kept
// inside the object and so on the stack of the load, is all the storage
// needed. Taken, Consumed and the bytes handed out are the same
// either way. With tag-level unsynchronisation (version 3) every refill is
// read at once into the whole ring and the unsynchronisation is removed as
// bytes arrive, giving exactly what one pass over the whole body would give.

#include "FileStream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace varnello {

class ReadRing
{
public:
    static constexpr std::size_t kBlockSize = 16384;
    static constexpr std::size_t kBlockCount = 4;
    static constexpr std::size_t kSize = kBlockSize * kBlockCount;

    // The file is positioned at the first byte of the body; `bodySize` bytes
    // of the body are in the file from there on.
    ReadRing(FileStream& file, std::uint32_t bodySize, bool unsynchronised);
    // The ring points into itself.
    ReadRing(const ReadRing&) = delete;
    ReadRing& operator=(const ReadRing&) = delete;

    // Appends up to n bytes to the target; fewer only when the body has run
    // out. Read errors of the file pass as EReadError.
    std::size_t Read(std::size_t n, std::vector<std::uint8_t>& target);
    // The same into a buffer of its own size, for headers and other short
    // fields.
    std::size_t Read(std::span<std::uint8_t> target);
    // Takes the next n bytes (n > 0) as Read would and shows them where they
    // lie, valid until the next call, when the ring holds them in one piece
    // already; otherwise takes nothing and returns null.
    const std::uint8_t* TakeHeld(std::size_t n);

    // Body bytes not yet handed out: those still in the file plus those the
    // ring has taken but not handed out. With unsynchronisation the body in
    // the file is longer than what it gives, so the bytes left there are
    // counted as they are stored.
    std::uint64_t Unconsumed() const
    {
        return m_unsynchronised ? (m_bodySize - m_taken) + m_held : m_bodySize - m_consumed;
    }
    // Body bytes handed out so far (after unsynchronisation was removed).
    std::uint64_t Consumed() const { return m_consumed; }
    // Body bytes taken from the file by the refill rule: what a reader that
    // fills the whole ring whenever it runs low would have read by now.
    std::uint64_t Taken() const { return m_taken; }

private:
    // Plain bodies.
    bool HeldInOnePiece(std::size_t n) const;
    void AdvanceLikeTheRing(std::size_t n);
    const std::uint8_t* Held(std::uint64_t at) const { return m_base + (at - m_origin); }
    void ReadDirect(std::uint64_t to, std::vector<std::uint8_t>& target);
    std::size_t ReadFromFile(std::uint64_t to, std::uint8_t* out);
    void FillAhead(std::uint64_t needed);
    std::size_t ReadPlain(std::size_t n, std::vector<std::uint8_t>& target);
    std::size_t ReadPlain(std::span<std::uint8_t> target);

    // Unsynchronised bodies.
    std::size_t ReadUnsynchronised(std::size_t n, std::vector<std::uint8_t>& target);
    void Refill();
    void TakeFromFile(std::size_t count);
    void DecodeNewBytes(std::size_t count);
    void Store(std::uint8_t b);

    static constexpr std::size_t kPage = 4096;
    // Room for a fill of one block that starts anywhere within a page.
    static constexpr std::size_t kWindow = kBlockSize + kPage;

    FileStream& m_file;
    // The storage, never zero-filled, as every byte is read from the file
    // before it is handed out: the window here for plain bodies, the whole
    // ring on the heap for unsynchronised ones. Either starts at m_base.
    std::array<std::uint8_t, kWindow + kPage> m_window;
    std::unique_ptr<std::uint8_t[]> m_storage;
    std::uint8_t* m_base = nullptr;
    std::uint64_t m_bodyStart = 0; // file position of the body's first byte
    std::uint64_t m_bodySize = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_taken = 0;
    bool m_unsynchronised = false;

    // Plain bodies: body bytes [m_consumed, m_present) are in the window,
    // body byte x at m_base + (x - m_origin); m_origin is a page boundary
    // and m_present <= m_taken.
    std::uint64_t m_present = 0;
    std::uint64_t m_origin = 0;

    // Unsynchronised bodies: the ring's positions and the decoder's state
    // carried from one refill to the next.
    std::size_t m_read = 0;  // ring position of the next byte to hand out
    std::size_t m_write = 0; // ring position after the last byte held
    std::size_t m_held = 0;
    std::vector<std::uint8_t> m_scratch; // short reads of unsynchronised bodies
    bool m_previousWasFF = false;        // the last byte taken from the file was 0xFF
    bool m_pendingZero = false;          // the last byte held is a 0x00 after 0xFF whose fate
                                         // depends on the next byte from the file
};

} // namespace varnello
