#pragma once
// A 16 KiB write-behind cache: bytes collect until the cache is full and go
// to the file in one write. The caller sets the file position before each run
// of writes and flushes at its end.

#include "FileStream.h"
#include "SaveIo.h"
#include "SaveProgress.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace varnello {

class WriteCache
{
public:
    static constexpr std::size_t kSize = 16384;

    // `size` bytes collect before a write: the whole tag for a tag that must
    // go out in one write call.
    WriteCache(const SaveIo& io, SaveProgress& progress, std::size_t size = kSize);

    // Starts a run of writes at `position` of `file`; the cache must be empty.
    void Start(FileStream& file, std::uint64_t position);
    void Put(std::span<const std::uint8_t> bytes);
    void PutZeros(std::uint64_t count);
    // Writes out what the cache holds.
    void Flush();

private:
    void WriteOut();

    const SaveIo& m_io;
    SaveProgress& m_progress;
    FileStream* m_file = nullptr;
    std::uint64_t m_position = 0;
    std::size_t m_size;
    std::vector<std::uint8_t> m_buffer;
};

} // namespace varnello
