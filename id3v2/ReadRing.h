#pragma once
// The read ring through which a tag body is taken from its file: 64 KiB made
// of four 16 KiB blocks, refilled block by block as it drains, so that a tag
// of any size is read with bounded memory besides the frame data itself.
// With tag-level unsynchronisation (version 3) the ring removes it as bytes
// arrive, giving exactly what one pass over the whole body would give.

#include "FileStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

    // Appends up to n bytes to the target; fewer only when the body has run
    // out. Read errors of the file pass as EReadError.
    std::size_t Read(std::size_t n, std::vector<std::uint8_t>& target);

    // Body bytes still in the file plus those held in the ring.
    std::uint64_t Unconsumed() const { return m_fileLeft + m_held; }
    // Body bytes handed out so far (after unsynchronisation was removed).
    std::uint64_t Consumed() const { return m_consumed; }

private:
    void Refill();
    void TakeFromFile(std::size_t count);
    void DecodeNewBytes(std::size_t count);
    void Store(std::uint8_t b);

    FileStream& m_file;
    // The four blocks, one after another; not zero-filled, as every byte is
    // read from the file before it is handed out.
    std::unique_ptr<std::uint8_t[]> m_ring;
    std::size_t m_read = 0;  // ring position of the next byte to hand out
    std::size_t m_write = 0; // ring position after the last byte held
    std::size_t m_held = 0;
    std::uint64_t m_fileLeft = 0;
    std::uint64_t m_consumed = 0;
    bool m_unsynchronised = false;
    // Decoder state carried from one refill to the next.
    bool m_previousWasFF = false; // the last byte taken from the file was 0xFF
    bool m_pendingZero = false;   // the last byte held is a 0x00 after 0xFF whose fate
                                  // depends on the next byte from the file
};

} // namespace varnello
