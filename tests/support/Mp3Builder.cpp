#include "Mp3Builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <zlib.h>

namespace varnello::testsupport {

Bytes ToBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

void Append(Bytes& out, const Bytes& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

void AppendBE32(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void AppendSyncsafe32(Bytes& out, std::uint32_t value)
{
    for (int shift = 21; shift >= 0; shift -= 7) {
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0x7F));
    }
}

Bytes UnsyncBytes(const Bytes& in)
{
    Bytes out;
    out.reserve(in.size() + in.size() / 8);
    for (std::size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (in[i] == 0xFF && i + 1 < in.size() && (in[i + 1] == 0x00 || in[i + 1] >= 0xE0)) {
            out.push_back(0x00);
        }
    }
    return out;
}

Bytes ZlibCompress(const Bytes& in, int level)
{
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), level) != Z_OK) {
        throw std::runtime_error("compress2 failed");
    }
    out.resize(size);
    return out;
}

namespace {

// Feeds `count` zeros to deflate and returns what it writes.
Bytes DeflateZeros(z_stream& stream, std::uint64_t count, int flush)
{
    static const Bytes zeros(1u << 16, 0x00);
    Bytes out;
    Bytes chunk(1u << 16);
    std::uint64_t left = count;
    do {
        const auto take = static_cast<uInt>(std::min<std::uint64_t>(left, zeros.size()));
        stream.next_in = const_cast<Bytef*>(zeros.data());
        stream.avail_in = take;
        left -= take;
        const int mode = left == 0 ? flush : Z_NO_FLUSH;
        do {
            stream.next_out = chunk.data();
            stream.avail_out = static_cast<uInt>(chunk.size());
            deflate(&stream, mode);
            out.insert(out.end(), chunk.begin(),
                       chunk.begin() +
                           static_cast<std::ptrdiff_t>(chunk.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    } while (left > 0);
    return out;
}

} // namespace

Bytes ZlibZeros(std::uint64_t inflatedSize)
{
    // With run-length matching every further MiB of zeros, flushed to a byte
    // boundary, compresses to the same bytes: the stream is built from one
    // such piece repeated, then finished with the checksum of all the zeros
    // (Adler-32 of n zeros is (n mod 65521) << 16 | 1).
    constexpr std::uint64_t kPiece = 1u << 20;
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    Bytes out;
    std::uint64_t left = inflatedSize;
    if (left > 3 * kPiece) {
        out = DeflateZeros(stream, kPiece, Z_SYNC_FLUSH);
        const Bytes piece = DeflateZeros(stream, kPiece, Z_SYNC_FLUSH);
        if (DeflateZeros(stream, kPiece, Z_SYNC_FLUSH) != piece) {
            deflateEnd(&stream);
            throw std::runtime_error("deflate pieces differ");
        }
        left -= 3 * kPiece;
        Append(out, piece);
        Append(out, piece);
        for (; left > kPiece; left -= kPiece) {
            Append(out, piece);
        }
    }
    Append(out, DeflateZeros(stream, left, Z_FINISH));
    deflateEnd(&stream);
    const auto adler = static_cast<std::uint32_t>(((inflatedSize % 65521u) << 16) | 1u);
    out.resize(out.size() - 4);
    AppendBE32(out, adler);
    return out;
}

std::uint32_t Crc32(const Bytes& in)
{
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), in.data(), static_cast<uInt>(in.size())));
}

std::string Hex(const Bytes& bytes, std::size_t max)
{
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    if (bytes.size() > max) {
        text += " ...";
    }
    return text;
}

Bytes Latin1Text(std::string_view latin1)
{
    Bytes out{0x00};
    Append(out, ToBytes(latin1));
    return out;
}

Bytes Utf8Text(std::string_view utf8)
{
    Bytes out{0x03};
    Append(out, ToBytes(utf8));
    return out;
}

Bytes Utf16BomText(std::u16string_view text, bool littleEndian)
{
    Bytes out{0x01};
    if (littleEndian) {
        out.push_back(0xFF);
        out.push_back(0xFE);
    } else {
        out.push_back(0xFE);
        out.push_back(0xFF);
    }
    for (char16_t unit : text) {
        const auto hi = static_cast<std::uint8_t>(unit >> 8);
        const auto lo = static_cast<std::uint8_t>(unit & 0xFF);
        if (littleEndian) {
            out.push_back(lo);
            out.push_back(hi);
        } else {
            out.push_back(hi);
            out.push_back(lo);
        }
    }
    return out;
}

Bytes Utf16BEText(std::u16string_view text)
{
    Bytes out{0x02};
    for (char16_t unit : text) {
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    }
    return out;
}

Bytes Latin1Comment(std::string_view language, std::string_view description, std::string_view text)
{
    Bytes out{0x00};
    Append(out, ToBytes(language));
    Append(out, ToBytes(description));
    out.push_back(0x00);
    Append(out, ToBytes(text));
    return out;
}

Bytes PicV22(std::string_view format, std::uint8_t pictureType, std::string_view description,
             const Bytes& image)
{
    Bytes out{0x00};
    Append(out, ToBytes(format));
    out.push_back(pictureType);
    Append(out, ToBytes(description));
    out.push_back(0x00);
    Append(out, image);
    return out;
}

Bytes Apic(std::string_view mime, std::uint8_t pictureType, std::string_view description,
           const Bytes& image)
{
    Bytes out{0x00};
    Append(out, ToBytes(mime));
    out.push_back(0x00);
    out.push_back(pictureType);
    Append(out, ToBytes(description));
    out.push_back(0x00);
    Append(out, image);
    return out;
}

Bytes PngChunk(std::string_view type, const Bytes& data)
{
    Bytes typeAndData = ToBytes(type);
    Append(typeAndData, data);
    Bytes out;
    AppendBE32(out, static_cast<std::uint32_t>(data.size()));
    Append(out, typeAndData);
    AppendBE32(out, Crc32(typeAndData));
    return out;
}

Bytes RgbPng(std::uint32_t width, std::uint32_t height, const Bytes& rows)
{
    Bytes out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes header;
    AppendBE32(header, width);
    AppendBE32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // depth, RGB, deflate, filter 0, no interlace
    Append(out, PngChunk("IHDR", header));
    Append(out, PngChunk("IDAT", ZlibCompress(rows)));
    Append(out, PngChunk("IEND", {}));
    return out;
}

Bytes TinyPng()
{
    // Three rows of filter byte 0 and two red, green or blue pixels.
    const Bytes rows{0, 255, 0,   0,   255, 0,   0, //
                     0, 0,   255, 0,   0,   255, 0, //
                     0, 0,   0,   255, 0,   0,   255};
    return RgbPng(2, 3, rows);
}

Bytes TinyJpeg()
{
    Bytes out{0xFF, 0xD8};
    // Quantisation table 0, all ones.
    out.insert(out.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});
    out.insert(out.end(), 64, 0x01);
    // Baseline frame: 8 bits, height 1, width 1, one component (ID 1,
    // sampling 1 x 1, table 0).
    out.insert(out.end(),
               {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11, 0x00});
    // Huffman tables DC 0 and AC 0, each one code of length 1 for the
    // symbol 0 (DC difference 0, end of block).
    for (const std::uint8_t tableClass : {std::uint8_t{0x00}, std::uint8_t{0x10}}) {
        out.insert(out.end(), {0xFF, 0xC4, 0x00, 0x14, tableClass, 0x01});
        out.insert(out.end(), 15, 0x00);
        out.push_back(0x00);
    }
    // Scan of the one component, then its one block: the codes 0 and 0,
    // padded with one bits.
    out.insert(out.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
    out.push_back(0x3F);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

Id3v2Builder& Id3v2Builder::Version(std::uint8_t major, std::uint8_t revision)
{
    m_major = major;
    m_revision = revision;
    return *this;
}

Id3v2Builder& Id3v2Builder::HeaderFlags(std::uint8_t flags)
{
    m_flags = flags;
    return *this;
}

Id3v2Builder& Id3v2Builder::Unsync()
{
    m_unsync = true;
    m_flags |= 0x80;
    return *this;
}

Id3v2Builder& Id3v2Builder::ExtendedHeaderV3(std::uint32_t paddingSize,
                                             std::optional<std::uint32_t> crc,
                                             std::uint16_t extraFlags)
{
    m_extended.clear();
    AppendBE32(m_extended, crc ? 10 : 6);
    const auto flags = static_cast<std::uint16_t>((crc ? 0x8000 : 0) | extraFlags);
    m_extended.push_back(static_cast<std::uint8_t>(flags >> 8));
    m_extended.push_back(static_cast<std::uint8_t>(flags & 0xFF));
    AppendBE32(m_extended, paddingSize);
    if (crc) {
        AppendBE32(m_extended, *crc);
    }
    m_flags |= 0x40;
    return *this;
}

Id3v2Builder& Id3v2Builder::ExtendedHeaderV4(bool update, std::optional<std::uint32_t> crc,
                                             std::optional<std::uint8_t> restrictions)
{
    Bytes entries;
    std::uint8_t flags = 0;
    if (update) {
        flags |= 0x40;
        entries.push_back(0x00);
    }
    if (crc) {
        flags |= 0x20;
        entries.push_back(0x05);
        entries.push_back(static_cast<std::uint8_t>((*crc >> 28) & 0x0F));
        for (int shift = 21; shift >= 0; shift -= 7) {
            entries.push_back(static_cast<std::uint8_t>((*crc >> shift) & 0x7F));
        }
    }
    if (restrictions) {
        flags |= 0x10;
        entries.push_back(0x01);
        entries.push_back(*restrictions);
    }
    m_extended.clear();
    AppendSyncsafe32(m_extended, static_cast<std::uint32_t>(6 + entries.size()));
    m_extended.push_back(0x01);
    m_extended.push_back(flags);
    Append(m_extended, entries);
    m_flags |= 0x40;
    return *this;
}

Id3v2Builder& Id3v2Builder::RawExtendedHeader(const Bytes& bytes)
{
    m_extended = bytes;
    m_flags |= 0x40;
    return *this;
}

Id3v2Builder& Id3v2Builder::Frame(std::string_view id, const Bytes& data, std::uint8_t statusFlags,
                                  std::uint8_t formatFlags, const Bytes& added,
                                  std::optional<std::uint32_t> sizeOverride)
{
    Append(m_frames, ToBytes(id));
    const auto size = sizeOverride.value_or(static_cast<std::uint32_t>(added.size() + data.size()));
    if (m_major >= 4 && !m_plainSizes) {
        AppendSyncsafe32(m_frames, size);
    } else {
        AppendBE32(m_frames, size);
    }
    m_frames.push_back(statusFlags);
    m_frames.push_back(formatFlags);
    Append(m_frames, added);
    Append(m_frames, data);
    return *this;
}

Id3v2Builder& Id3v2Builder::PlainFrameSizes()
{
    m_plainSizes = true;
    return *this;
}

Id3v2Builder& Id3v2Builder::TextFrame(std::string_view id, std::string_view latin1)
{
    return Frame(id, Latin1Text(latin1));
}

Id3v2Builder& Id3v2Builder::FrameV22(std::string_view id, const Bytes& data,
                                     std::optional<std::uint32_t> sizeOverride)
{
    Append(m_frames, ToBytes(id));
    const auto size = sizeOverride.value_or(static_cast<std::uint32_t>(data.size()));
    m_frames.push_back(static_cast<std::uint8_t>(size >> 16));
    m_frames.push_back(static_cast<std::uint8_t>(size >> 8));
    m_frames.push_back(static_cast<std::uint8_t>(size));
    Append(m_frames, data);
    return *this;
}

Id3v2Builder& Id3v2Builder::CompressedFrameV3(std::string_view id, const Bytes& plain)
{
    Bytes added;
    AppendBE32(added, static_cast<std::uint32_t>(plain.size()));
    return Frame(id, ZlibCompress(plain), 0, 0x80, added);
}

Id3v2Builder& Id3v2Builder::Raw(const Bytes& bytes)
{
    Append(m_frames, bytes);
    return *this;
}

Id3v2Builder& Id3v2Builder::Padding(std::size_t count)
{
    m_frames.insert(m_frames.end(), count, 0x00);
    return *this;
}

Id3v2Builder& Id3v2Builder::SizeOverride(std::uint32_t size)
{
    m_sizeOverride = size;
    return *this;
}

Bytes Id3v2Builder::Body() const
{
    Bytes body = m_extended;
    Append(body, m_frames);
    return m_unsync ? UnsyncBytes(body) : body;
}

Bytes Id3v2Builder::Build() const
{
    const Bytes body = Body();
    Bytes out = ToBytes("ID3");
    out.push_back(m_major);
    out.push_back(m_revision);
    out.push_back(m_flags);
    AppendSyncsafe32(out, m_sizeOverride.value_or(static_cast<std::uint32_t>(body.size())));
    Append(out, body);
    return out;
}

Bytes MpegFrames(std::size_t count)
{
    // FF FB: sync, MPEG-1, Layer III, no CRC; 90: 128 kbit/s, 44.1 kHz, no
    // padding; 00: stereo. 144 * 128000 / 44100 = 417 bytes per frame.
    constexpr std::size_t kFrameSize = 417;
    Bytes out;
    out.reserve(count * kFrameSize);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(0xFF);
        out.push_back(0xFB);
        out.push_back(0x90);
        out.push_back(0x00);
        out.insert(out.end(), kFrameSize - 4, 0x00);
    }
    return out;
}

Bytes Id3v1Block(const Id3v1Fields& fields)
{
    Bytes out(128, 0x00);
    auto put = [&out](std::size_t offset, std::size_t size, const std::string& text) {
        for (std::size_t i = 0; i < size && i < text.size(); ++i) {
            out[offset + i] = static_cast<std::uint8_t>(text[i]);
        }
    };
    put(0, 3, fields.Magic);
    put(3, 30, fields.Title);
    put(33, 30, fields.Artist);
    put(63, 30, fields.Album);
    put(93, 4, fields.Year);
    put(97, fields.Track ? 28 : 30, fields.Comment);
    if (fields.Track) {
        out[125] = 0x00;
        out[126] = *fields.Track;
    }
    out[127] = fields.Genre;
    return out;
}

Mp3Builder& Mp3Builder::Tag(const Bytes& tag)
{
    m_tag = tag;
    return *this;
}

Mp3Builder& Mp3Builder::Audio(std::size_t frames)
{
    Append(m_audio, MpegFrames(frames));
    return *this;
}

Mp3Builder& Mp3Builder::Raw(const Bytes& bytes)
{
    Append(m_audio, bytes);
    return *this;
}

Mp3Builder& Mp3Builder::Id3v1(const Id3v1Fields& fields)
{
    m_id3v1 = Id3v1Block(fields);
    return *this;
}

Bytes Mp3Builder::Build() const
{
    Bytes out = m_tag;
    Append(out, m_audio);
    if (m_id3v1) {
        Append(out, *m_id3v1);
    }
    return out;
}

void Mp3Builder::WriteTo(const std::string& path) const
{
    WriteFile(path, Build());
}

namespace {

// The path as the file system takes it: the string's bytes are UTF-8 (on
// POSIX they pass as they are).
std::filesystem::path Utf8Path(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

} // namespace

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(Utf8Path(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

TempDir::TempDir()
{
#ifdef _WIN32
    // No mkdtemp: a random name, made only if it is new.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("varnello-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) {
            m_path = path.string();
        }
    }
    if (m_path.empty()) {
        throw std::runtime_error("cannot create a temporary directory");
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "varnello-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    m_path = pattern;
#endif
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Restore write permission on anything a test made read-only so that the
    // removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::File(std::string_view name) const
{
    // Joined as UTF-8, which a narrow path on Windows is not taken as.
    const std::filesystem::path joined =
        std::filesystem::path(std::u8string(m_path.begin(), m_path.end())) /
        std::u8string(name.begin(), name.end());
    const std::u8string text = joined.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace varnello::testsupport
