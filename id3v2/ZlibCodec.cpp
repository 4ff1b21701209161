#include "ZlibCodec.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <zlib.h>

namespace varnello {

namespace {

// zlib levels for the tag's CompressionLevel setting: none, fastest, zlib's
// default, best.
constexpr std::array<int, 4> kCompressionLevels{0, 1, -1, 9};

constexpr std::size_t kCompressStep = 256;

std::size_t RoundDown256(std::size_t value)
{
    return value & ~std::size_t{255};
}

std::string ZlibMessage(int code)
{
    const char* text = zError(code);
    return text != nullptr ? text : std::string{};
}

// Points zlib's output at the unused tail of the block.
void SetOutput(z_stream& stream, std::vector<std::uint8_t>& block)
{
    stream.next_out = block.data() + stream.total_out;
    stream.avail_out = static_cast<uInt>(block.size() - stream.total_out);
}

// Ends a stream on every exit path; a failing end is reported only when no
// other exception is already on its way.
template <typename EndFn, typename CheckFn> class StreamGuard
{
public:
    StreamGuard(z_stream& stream, EndFn end, CheckFn check)
        : m_stream(stream), m_end(end), m_check(check)
    {
    }
    StreamGuard(const StreamGuard&) = delete;
    StreamGuard& operator=(const StreamGuard&) = delete;
    ~StreamGuard()
    {
        if (m_active) {
            m_end(&m_stream);
        }
    }
    void Finish()
    {
        m_active = false;
        m_check(m_end(&m_stream));
    }

private:
    z_stream& m_stream;
    EndFn m_end;
    CheckFn m_check;
    bool m_active = true;
};

// Output of inflate in chunks of doubling size: data that expands far beyond
// its input costs a few allocations and no copying until the end, and never
// more than the limit (plus one byte, which tells that the data goes on).
class InflateChunks
{
public:
    InflateChunks(std::size_t first, std::size_t limit)
        : m_limit(limit + 1), m_next(std::min(first, m_limit))
    {
    }

    // Gives zlib the free room of the last chunk, or a new chunk when it is full.
    void SetOutput(z_stream& stream)
    {
        if (m_chunks.empty() || stream.avail_out == 0) {
            const std::size_t size = std::min(m_next, m_limit - m_total);
            m_chunks.push_back({std::make_unique_for_overwrite<std::uint8_t[]>(size), size});
            m_total += size;
            m_next = std::max(m_next, m_total);
            stream.next_out = m_chunks.back().Data.get();
            stream.avail_out = static_cast<uInt>(size);
        }
    }

    std::vector<std::uint8_t> Join(std::size_t total) const
    {
        std::vector<std::uint8_t> out;
        out.reserve(total);
        for (const Chunk& chunk : m_chunks) {
            const std::size_t take = std::min(chunk.Size, total - out.size());
            out.insert(out.end(), chunk.Data.get(), chunk.Data.get() + take);
        }
        return out;
    }

private:
    struct Chunk
    {
        std::unique_ptr<std::uint8_t[]> Data;
        std::size_t Size = 0;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_limit;
    std::size_t m_next;
    std::size_t m_total = 0;
};

} // namespace

int CompressCheck(int code)
{
    if (code < 0) {
        throw EZCompressionError(ZlibMessage(code));
    }
    return code;
}

int DecompressCheck(int code)
{
    if (code < 0) {
        throw EZDecompressionError(ZlibMessage(code));
    }
    return code;
}

std::vector<std::uint8_t> CompressBuffer(std::span<const std::uint8_t> input,
                                         std::uint8_t levelIndex)
{
    // Nothing larger than a tag body is ever compressed; zlib counts input
    // in 32 bits.
    if (input.size() > kMaxDecompressedSize) {
        throw EZCompressionError(ZlibMessage(Z_BUF_ERROR));
    }
    const int level =
        kCompressionLevels.at(levelIndex < kCompressionLevels.size() ? levelIndex : 2);
    const std::size_t n = input.size();
    std::vector<std::uint8_t> block(RoundDown256(n + n / 10 + 12 + 255));

    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(n);
    SetOutput(stream, block);
    CompressCheck(deflateInit2(&stream, level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY));
    StreamGuard guard(stream, deflateEnd, CompressCheck);
    while (CompressCheck(deflate(&stream, Z_FINISH)) != Z_STREAM_END) {
        block.resize(block.size() + kCompressStep);
        SetOutput(stream, block);
    }
    block.resize(stream.total_out);
    guard.Finish();
    return block;
}

std::vector<std::uint8_t> DecompressBuffer(std::span<const std::uint8_t> input,
                                           std::size_t sizeEstimate, std::size_t limit)
{
    limit = std::min(limit, kMaxDecompressedSize);
    if (input.size() > UINT_MAX) {
        throw EZDecompressionError(ZlibMessage(Z_BUF_ERROR));
    }
    const std::size_t step = std::max<std::size_t>(RoundDown256(input.size() + 255), 256);
    InflateChunks chunks(sizeEstimate != 0 ? sizeEstimate : step, limit);

    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    chunks.SetOutput(stream);
    DecompressCheck(inflateInit2(&stream, 15));
    StreamGuard guard(stream, inflateEnd, DecompressCheck);
    for (;;) {
        const int code = DecompressCheck(inflate(&stream, Z_NO_FLUSH));
        if (stream.total_out > limit) {
            throw EZDecompressionError("decompressed data exceeds its limit");
        }
        if (code == Z_STREAM_END) {
            break;
        }
        // Frame data never comes with a preset dictionary; asking for one
        // again would make no progress.
        if (code == Z_NEED_DICT) {
            throw EZDecompressionError(ZlibMessage(code));
        }
        chunks.SetOutput(stream);
    }
    guard.Finish();
    return chunks.Join(stream.total_out);
}

std::size_t InflatedSize(std::span<const std::uint8_t> input, std::size_t limit)
{
    if (input.size() > UINT_MAX) {
        throw EZDecompressionError(ZlibMessage(Z_BUF_ERROR));
    }
    limit = std::min(limit, kMaxDecompressedSize);
    std::array<std::uint8_t, 65536> buffer; // every byte is written by zlib before it is read
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    DecompressCheck(inflateInit2(&stream, 15));
    StreamGuard guard(stream, inflateEnd, DecompressCheck);
    for (;;) {
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        const int code = DecompressCheck(inflate(&stream, Z_NO_FLUSH));
        if (stream.total_out > limit) {
            throw EZDecompressionError("decompressed data exceeds its limit");
        }
        if (code == Z_STREAM_END) {
            break;
        }
        if (code == Z_NEED_DICT) {
            throw EZDecompressionError(ZlibMessage(code));
        }
    }
    guard.Finish();
    return stream.total_out;
}

} // namespace varnello
