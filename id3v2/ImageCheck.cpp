// Recognises JPEG and PNG pictures by walking their whole structure. Nothing
// here decodes pixels; the walk only makes sure that the bytes hold what a
// picture of that kind must hold, in order and complete, so that a broken or
// hostile file never becomes a cover. Every step reads within the span, and
// the PNG image data is inflated in a small reused buffer against the size
// its header implies, so memory stays small and time grows with the input.

#include "ByteOrder.h"
#include "Crc32.h"
#include "Pictures.h"

#include <array>
#include <limits>
#include <optional>
#include <zlib.h>

namespace varnello {

namespace {

// A PNG whose pixel rows take more than this is refused: no cover needs it,
// and inflating more would let a small file cost seconds.
constexpr std::uint64_t kLargestPngPixelData = std::uint64_t{256} << 20;
constexpr std::uint32_t kLargestPngDimension = 0x7FFFFFFFu;

constexpr std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

using Bytes = std::span<const std::uint8_t>;

std::uint16_t ReadBE16(Bytes data, std::size_t offset)
{
    bytes::RequireBytes(data, offset, 2);
    return static_cast<std::uint16_t>((data[offset] << 8) | data[offset + 1]);
}

// ---- PNG ----

struct PngHeader
{
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint64_t PixelDataSize = 0; // the inflated IDAT size: filter bytes and rows
    bool NeedsPalette = false;
};

// Bits per pixel for a colour type and bit depth, 0 for a pair PNG does not
// allow.
unsigned PngBitsPerPixel(std::uint8_t colourType, std::uint8_t depth)
{
    const bool depth8or16 = depth == 8 || depth == 16;
    const bool depthUpTo8 = depth == 1 || depth == 2 || depth == 4 || depth == 8;
    switch (colourType) {
    case 0: // grey
        return depthUpTo8 || depth == 16 ? depth : 0;
    case 2: // RGB
        return depth8or16 ? 3u * depth : 0;
    case 3: // palette
        return depthUpTo8 ? depth : 0;
    case 4: // grey and alpha
        return depth8or16 ? 2u * depth : 0;
    case 6: // RGBA
        return depth8or16 ? 4u * depth : 0;
    default:
        return 0;
    }
}

// The bytes of one (sub-)image: each row a filter byte and its packed
// pixels. Past the limit the count stops just above it, so that the largest
// dimensions do not overflow.
std::uint64_t RowBytes(std::uint64_t width, std::uint64_t height, unsigned bitsPerPixel)
{
    if (width == 0 || height == 0) {
        return 0;
    }
    const std::uint64_t row = 1 + (width * bitsPerPixel + 7) / 8;
    return row > kLargestPngPixelData / height ? kLargestPngPixelData + 1 : row * height;
}

// An interlaced image is stored as seven passes over a grid of 8 x 8.
std::uint64_t InterlacedBytes(std::uint64_t width, std::uint64_t height, unsigned bitsPerPixel)
{
    struct Pass
    {
        std::uint64_t X, Y, StepX, StepY;
    };
    constexpr std::array<Pass, 7> kPasses{{
        {0, 0, 8, 8},
        {4, 0, 8, 8},
        {0, 4, 4, 8},
        {2, 0, 4, 4},
        {0, 2, 2, 4},
        {1, 0, 2, 2},
        {0, 1, 1, 2},
    }};
    std::uint64_t total = 0;
    for (const Pass& pass : kPasses) {
        const std::uint64_t w = width > pass.X ? (width - pass.X + pass.StepX - 1) / pass.StepX : 0;
        const std::uint64_t h =
            height > pass.Y ? (height - pass.Y + pass.StepY - 1) / pass.StepY : 0;
        total += RowBytes(w, h, bitsPerPixel);
    }
    return total;
}

std::optional<PngHeader> ReadIhdr(Bytes data)
{
    if (data.size() != 13) {
        return std::nullopt;
    }
    PngHeader header;
    header.Width = bytes::ReadBE32(data, 0);
    header.Height = bytes::ReadBE32(data, 4);
    const std::uint8_t depth = data[8];
    const std::uint8_t colourType = data[9];
    const std::uint8_t compression = data[10];
    const std::uint8_t filter = data[11];
    const std::uint8_t interlace = data[12];
    const unsigned bits = PngBitsPerPixel(colourType, depth);
    if (header.Width == 0 || header.Height == 0 || header.Width > kLargestPngDimension ||
        header.Height > kLargestPngDimension || bits == 0 || compression != 0 || filter != 0 ||
        interlace > 1) {
        return std::nullopt;
    }
    header.PixelDataSize = interlace == 0 ? RowBytes(header.Width, header.Height, bits)
                                          : InterlacedBytes(header.Width, header.Height, bits);
    header.NeedsPalette = colourType == 3;
    return header;
}

// Inflates the zlib stream spread over the IDAT chunks into a small buffer
// that is reused, counting the output; more than `expected` stops it.
class IdatInflater
{
public:
    explicit IdatInflater(std::uint64_t expected) : m_expected(expected)
    {
        m_initialised = inflateInit(&m_stream) == Z_OK;
        m_ok = m_initialised;
    }
    ~IdatInflater()
    {
        if (m_initialised) {
            inflateEnd(&m_stream);
        }
    }
    IdatInflater(const IdatInflater&) = delete;
    IdatInflater& operator=(const IdatInflater&) = delete;

    // False once the data is wrong: broken, too much, or more after the end.
    bool Feed(Bytes chunk)
    {
        if (!m_ok) {
            return false;
        }
        if (m_ended) {
            m_ok = chunk.empty();
            return m_ok;
        }
        // zlib takes a non-const pointer but does not write through it.
        m_stream.next_in = const_cast<std::uint8_t*>(chunk.data());
        m_stream.avail_in = static_cast<uInt>(chunk.size());
        while (m_ok && m_stream.avail_in > 0 && !m_ended) {
            m_stream.next_out = m_buffer.data();
            m_stream.avail_out = static_cast<uInt>(m_buffer.size());
            const int result = inflate(&m_stream, Z_NO_FLUSH);
            m_produced += m_buffer.size() - m_stream.avail_out;
            m_ended = result == Z_STREAM_END;
            m_ok = (result == Z_OK || m_ended) && m_produced <= m_expected;
        }
        // Bytes left behind the stream's end are not image data.
        m_ok = m_ok && m_stream.avail_in == 0;
        return m_ok;
    }
    bool Complete() const { return m_ok && m_ended && m_produced == m_expected; }

private:
    z_stream m_stream{};
    std::array<std::uint8_t, 16384> m_buffer{};
    std::uint64_t m_expected = 0;
    std::uint64_t m_produced = 0;
    bool m_initialised = false;
    bool m_ok = false; // false from the first fault on
    bool m_ended = false;
};

bool IsChunkType(Bytes type)
{
    for (const std::uint8_t c : type) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
            return false;
        }
    }
    return true;
}

bool SameType(Bytes type, const char* name)
{
    return type[0] == name[0] && type[1] == name[1] && type[2] == name[2] && type[3] == name[3];
}

struct PngWalk
{
    std::optional<PngHeader> Header;
    std::optional<IdatInflater> Inflater;
    bool Palette = false;
    bool SeenIdat = false;
    bool IdatDone = false; // a chunk other than IDAT followed the IDAT run
};

bool TakeIhdr(PngWalk& walk, Bytes type, Bytes data)
{
    walk.Header = SameType(type, "IHDR") ? ReadIhdr(data) : std::nullopt;
    if (!walk.Header || walk.Header->PixelDataSize > kLargestPngPixelData) {
        return false;
    }
    walk.Inflater.emplace(walk.Header->PixelDataSize);
    return true;
}

// One chunk after IHDR, IEND aside; false when the file is refused.
bool TakeChunk(PngWalk& walk, Bytes type, Bytes data)
{
    if (SameType(type, "IDAT")) {
        // The image data comes in one run of chunks, after the palette.
        if (walk.IdatDone || (walk.Header->NeedsPalette && !walk.Palette)) {
            return false;
        }
        walk.SeenIdat = true;
        return walk.Inflater->Feed(data);
    }
    walk.IdatDone = walk.SeenIdat;
    if (SameType(type, "PLTE")) {
        const bool first = !walk.Palette;
        walk.Palette = true;
        return first && !walk.SeenIdat && !data.empty() && data.size() % 3 == 0 &&
               data.size() <= 768;
    }
    // Ancillary chunks (lower-case first letter) may be skipped by a
    // decoder; a critical one it does not know may not.
    return (type[0] & 0x20) != 0;
}

ImageCheck CheckPng(Bytes bytes)
{
    PngWalk walk;
    std::size_t pos = kPngSignature.size();
    while (true) {
        if (bytes.size() - pos < 12) {
            return {};
        }
        const std::uint32_t length = bytes::ReadBE32(bytes, pos);
        if (length > 0x7FFFFFFFu || bytes.size() - pos - 12 < length) {
            return {};
        }
        const Bytes typeAndData = bytes.subspan(pos + 4, 4 + std::size_t{length});
        const Bytes type = typeAndData.first(4);
        const Bytes data = typeAndData.subspan(4);
        std::uint32_t crc = 0xFFFFFFFFu;
        Crc32Update(typeAndData, crc);
        if (!IsChunkType(type) || (crc ^ 0xFFFFFFFFu) != bytes::ReadBE32(bytes, pos + 8 + length)) {
            return {};
        }
        pos += 12 + std::size_t{length};
        if (walk.Header && SameType(type, "IEND")) {
            // The last chunk, empty, after the whole image.
            if (length != 0 || pos != bytes.size() || !walk.Inflater->Complete()) {
                return {};
            }
            return {ImageFormat::kPng, walk.Header->Width, walk.Header->Height};
        }
        const bool taken = walk.Header ? TakeChunk(walk, type, data) : TakeIhdr(walk, type, data);
        if (!taken) {
            return {};
        }
    }
}

// ---- JPEG ----

constexpr std::uint8_t kSoi = 0xD8;
constexpr std::uint8_t kEoi = 0xD9;
constexpr std::uint8_t kSos = 0xDA;
constexpr std::uint8_t kTem = 0x01;

bool IsRestart(std::uint8_t marker)
{
    return marker >= 0xD0 && marker <= 0xD7;
}

// SOF0 to SOF15 without DHT (C4), JPG (C8) and DAC (CC).
bool IsStartOfFrame(std::uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Skips the entropy-coded data behind a scan header: up to the next marker
// that is neither a stuffed 00, a restart marker nor a fill byte. Returns
// the position of that marker's FF, or nothing when the data runs out.
std::optional<std::size_t> SkipScanData(Bytes bytes, std::size_t pos)
{
    while (pos + 1 < bytes.size()) {
        if (bytes[pos] != 0xFF) {
            ++pos;
            continue;
        }
        const std::uint8_t next = bytes[pos + 1];
        if (next == 0x00 || IsRestart(next)) {
            pos += 2;
        } else if (next == 0xFF) {
            ++pos; // a fill byte before a marker
        } else {
            return pos;
        }
    }
    return std::nullopt;
}

struct JpegWalk
{
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    bool Frame = false;
    bool Scan = false;
};

// The segment's payload (after the length) of a start of frame or scan.
bool TakeFrameHeader(JpegWalk& walk, Bytes payload)
{
    if (walk.Frame || payload.size() < 6) {
        return false;
    }
    const std::size_t components = payload[5];
    walk.Height = ReadBE16(payload, 1);
    walk.Width = ReadBE16(payload, 3);
    walk.Frame = true;
    return components >= 1 && payload.size() == 6 + 3 * components && walk.Width != 0 &&
           walk.Height != 0;
}

bool TakeScanHeader(const JpegWalk& walk, Bytes payload)
{
    if (!walk.Frame || payload.empty()) {
        return false;
    }
    const std::size_t components = payload[0];
    return components >= 1 && components <= 4 && payload.size() == 4 + 2 * components;
}

ImageCheck CheckJpeg(Bytes bytes)
{
    JpegWalk walk;
    std::size_t pos = 2;
    while (pos < bytes.size()) {
        if (bytes[pos] != 0xFF) {
            return {};
        }
        while (pos < bytes.size() && bytes[pos] == 0xFF) {
            ++pos; // fill bytes before a marker
        }
        if (pos == bytes.size()) {
            return {};
        }
        const std::uint8_t marker = bytes[pos++];
        if (marker == kEoi) {
            // What follows the end (some cameras append data) is not read.
            if (!walk.Scan) {
                return {};
            }
            return {ImageFormat::kJpeg, walk.Width, walk.Height};
        }
        if (marker == kTem) {
            continue;
        }
        if (marker == 0x00 || marker == kSoi || IsRestart(marker) || bytes.size() - pos < 2) {
            return {};
        }
        const std::size_t length = ReadBE16(bytes, pos);
        if (length < 2 || bytes.size() - pos < length) {
            return {};
        }
        const Bytes payload = bytes.subspan(pos + 2, length - 2);
        pos += length;
        if (IsStartOfFrame(marker) && !TakeFrameHeader(walk, payload)) {
            return {};
        }
        if (marker == kSos) {
            if (!TakeScanHeader(walk, payload)) {
                return {};
            }
            const std::optional<std::size_t> end = SkipScanData(bytes, pos);
            if (!end || *end == pos) {
                return {};
            }
            walk.Scan = true;
            pos = *end;
        }
    }
    return {};
}

} // namespace

const char* ImageCheck::Mime() const
{
    switch (Format) {
    case ImageFormat::kJpeg:
        return "image/jpeg";
    case ImageFormat::kPng:
        return "image/png";
    case ImageFormat::kNone:
        break;
    }
    return "";
}

const char* ImageCheck::Name() const
{
    switch (Format) {
    case ImageFormat::kJpeg:
        return "JPEG";
    case ImageFormat::kPng:
        return "PNG";
    case ImageFormat::kNone:
        break;
    }
    return "";
}

ImageCheck CheckImage(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kLargestPicture) {
        return {};
    }
    if (bytes.size() >= kPngSignature.size() &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin())) {
        return CheckPng(bytes);
    }
    if (bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == kSoi) {
        return CheckJpeg(bytes);
    }
    return {};
}

} // namespace varnello
