#pragma once
// The parts of a file that a tag save changes: the ID3v2 tag at its start
// (header, frames, padding and a version 4 footer) and the ID3v1 block in
// its last 128 bytes. Read before and after a save, they let the save be
// taken back, or done again, by putting one set in place of the other, with
// the same crash safety as a save, and only while the file is still as the
// other set says.

#include "SaveOptions.h"
#include "SaveTarget.h"
#include "StatusWord.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace varnello {

class FileStream;
class SaveIo;

struct TagBytes
{
    std::vector<std::uint8_t> Head; // the ID3v2 tag at offset 0; empty for none
    // The last 128 bytes, where an ID3v1 tag is, when the file has that many
    // behind the head.
    std::optional<std::array<std::uint8_t, 128>> Tail;
    std::uint64_t FileSize = 0;
    std::int64_t ModifiedNanoseconds = 0;

    bool operator==(const TagBytes&) const = default;
    std::uint64_t MemorySize() const { return Head.size() + (Tail ? Tail->size() : 0); }
};

// Where the ID3v2 tag whose header is at an offset ends.
struct TagExtent
{
    std::uint64_t Declared = 0; // header and the size the header gives
    std::uint64_t Whole = 0;    // with a version 4 footer behind it
};

// Measures the tag at `offset`: both sizes 0 when the bytes there are not a
// tag header, kBadTagSize when the tag would reach past the end of the file.
// Throws EReadError.
StatusWord MeasureTagAt(const SaveIo& io, FileStream& file, std::uint64_t offset,
                        std::uint64_t fileSize, TagExtent& extent);

// Reads the tag bytes of a file the caller holds open and locked, with the
// file's size and time as they are now. A head larger than `limit` is not
// read: kTagTooLarge.
StatusWord ReadTagBytes(SaveTarget& target, std::uint64_t limit, TagBytes& bytes);

// The same after a save of the target: read through the target when the save
// wrote into the file, or from the file that now has its name when the save
// replaced it (locked, waiting at most `wait` for another save).
StatusWord ReadTagBytesAfterSave(SaveTarget& target, std::uint64_t limit, TagBytes& bytes,
                                 std::chrono::milliseconds wait = std::chrono::seconds(2));

// Puts `to` in place of `from` in a file the caller holds open and locked:
// the head and, when it differs, the ID3v1 block; the audio between stays.
// Refused with kChanged, the file untouched, unless the file is exactly as
// `from` says (size, modification time, head and ID3v1 block).
StatusWord RestoreTagBytes(SaveTarget& target, const TagBytes& from, const TagBytes& to,
                           const SaveOptions& options);

} // namespace varnello
