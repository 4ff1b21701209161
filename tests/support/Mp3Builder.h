#pragma once
// Byte-level builders of MP3 files for tests, benchmarks and the demo folder.
// They lay out tag headers, extended headers, frame headers, padding, MPEG
// audio frames and ID3v1 blocks directly, independent of the engine: zlib's
// compress2() and crc32() are used where the format needs them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnello::testsupport {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text);
void Append(Bytes& out, const Bytes& more);
void AppendBE32(Bytes& out, std::uint32_t value);
void AppendSyncsafe32(Bytes& out, std::uint32_t value);
// Unsynchronises a whole run (0x00 after 0xFF before 0x00 or 0xE0..0xFF).
Bytes UnsyncBytes(const Bytes& in);
Bytes ZlibCompress(const Bytes& in, int level = -1);
std::uint32_t Crc32(const Bytes& in);
// A zlib stream of `inflatedSize` zero bytes, made without holding them in
// memory: a decompression bomb for tests of bounded inflation.
Bytes ZlibZeros(std::uint64_t inflatedSize);
std::string Hex(const Bytes& bytes, std::size_t max = 64);

// Text frame payloads: encoding byte + text.
Bytes Latin1Text(std::string_view latin1);                              // 00 + bytes
Bytes Utf8Text(std::string_view utf8);                                  // 03 + bytes
Bytes Utf16BomText(std::u16string_view text, bool littleEndian = true); // 01 + BOM + units
Bytes Utf16BEText(std::u16string_view text);                            // 02 + units
// COMM payload: encoding 0, language, description, 00, text.
Bytes Latin1Comment(std::string_view language, std::string_view description, std::string_view text);
// Version 2.2 PIC payload: encoding 0, three-character image format, picture
// type, Latin-1 description, 00, image bytes.
Bytes PicV22(std::string_view format, std::uint8_t pictureType, std::string_view description,
             const Bytes& image);

// APIC payload: encoding 0, MIME type, 00, picture type, Latin-1
// description, 00, image bytes.
Bytes Apic(std::string_view mime, std::uint8_t pictureType, std::string_view description,
           const Bytes& image);

// Small pictures laid out by hand. A PNG chunk: length, type, data, CRC.
Bytes PngChunk(std::string_view type, const Bytes& data);
// An 8-bit RGB PNG (colour type 2, not interlaced) whose IDAT holds `rows`
// compressed: the rows of a width x height image are height * (1 + 3 *
// width) bytes, so other sizes make a PNG whose data does not fit.
Bytes RgbPng(std::uint32_t width, std::uint32_t height, const Bytes& rows);
// A valid 2 x 3 PNG.
Bytes TinyPng();
// A valid baseline JPEG of 1 x 1 grey pixel: SOI, DQT, SOF0, two DHT
// tables of one code each, SOS, one byte of entropy-coded data, EOI.
Bytes TinyJpeg();

class Id3v2Builder
{
public:
    Id3v2Builder& Version(std::uint8_t major, std::uint8_t revision = 0);
    // Header flags byte as stored (0x80 unsync, 0x40 ext header, ...). The
    // extended-header bit is set automatically when one is added.
    Id3v2Builder& HeaderFlags(std::uint8_t flags);
    // Version 3: unsynchronise the whole body after the header (and set 0x80).
    Id3v2Builder& Unsync();
    // Version 3 extended header: size 6 or 10, flags, padding size, CRC.
    Id3v2Builder& ExtendedHeaderV3(std::uint32_t paddingSize, std::optional<std::uint32_t> crc = {},
                                   std::uint16_t extraFlags = 0);
    // Version 4 extended header: CRC as a 35-bit syncsafe value, update flag,
    // restrictions byte.
    Id3v2Builder& ExtendedHeaderV4(bool update, std::optional<std::uint32_t> crc = {},
                                   std::optional<std::uint8_t> restrictions = {});
    // Version 4 frames added after this get plain 32-bit sizes instead of
    // syncsafe ones, as some older taggers wrote them.
    Id3v2Builder& PlainFrameSizes();
    // An extended header given byte for byte.
    Id3v2Builder& RawExtendedHeader(const Bytes& bytes);

    // A frame with its header written from the arguments: `added` are the
    // flag-added bytes (group byte, method, sizes) that precede the data; the
    // size field counts added + data unless sizeOverride is given.
    Id3v2Builder& Frame(std::string_view id, const Bytes& data, std::uint8_t statusFlags = 0,
                        std::uint8_t formatFlags = 0, const Bytes& added = {},
                        std::optional<std::uint32_t> sizeOverride = {});
    Id3v2Builder& TextFrame(std::string_view id, std::string_view latin1);
    // Version 2.2 frame: three-character ID, 24-bit big-endian size, no flags.
    Id3v2Builder& FrameV22(std::string_view id, const Bytes& data,
                           std::optional<std::uint32_t> sizeOverride = {});
    // Version 3 compressed frame (format 0x80): 4-byte plain size, then zlib data.
    Id3v2Builder& CompressedFrameV3(std::string_view id, const Bytes& plain);
    // Bytes placed in the body as they are (after the frames added so far).
    Id3v2Builder& Raw(const Bytes& bytes);
    Id3v2Builder& Padding(std::size_t count);
    // Write this value into the header's size field instead of the real size.
    Id3v2Builder& SizeOverride(std::uint32_t size);

    Bytes Body() const;  // everything after the 10-byte header
    Bytes Build() const; // header + body

private:
    std::uint8_t m_major = 3;
    std::uint8_t m_revision = 0;
    std::uint8_t m_flags = 0;
    bool m_unsync = false;
    bool m_plainSizes = false;
    Bytes m_extended;
    Bytes m_frames;
    std::optional<std::uint32_t> m_sizeOverride;
};

// A valid MPEG-1 Layer III frame header (128 kbit/s, 44.1 kHz, no CRC) and a
// silent payload: 417 bytes per frame.
Bytes MpegFrames(std::size_t count);

struct Id3v1Fields
{
    std::string Title; // ISO-8859-1 bytes
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Comment; // up to 28 bytes when track is set, else 30
    std::optional<std::uint8_t> Track;
    std::uint8_t Genre = 255;
    std::string Magic = "TAG";
};
Bytes Id3v1Block(const Id3v1Fields& fields);

class Mp3Builder
{
public:
    Mp3Builder& Tag(const Bytes& tag);
    Mp3Builder& Audio(std::size_t frames);
    Mp3Builder& Raw(const Bytes& bytes);
    Mp3Builder& Id3v1(const Id3v1Fields& fields);
    Bytes Build() const;
    void WriteTo(const std::string& path) const;

private:
    Bytes m_tag;
    Bytes m_audio;
    std::optional<Bytes> m_id3v1;
};

// Whole-file helpers.
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

// A temporary directory removed with everything in it at the end of its life.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(std::string_view name) const;

private:
    std::string m_path;
};

} // namespace varnello::testsupport
