#pragma once
// Attached pictures (APIC frames) of a tag: listing them, finding the one a
// viewer shows as the cover, putting a front cover in and taking it out, and
// checking that bytes given as a picture really are a JPEG or PNG image.
// Pictures are recognised by their bytes alone, never by a file name, and the
// check walks the whole structure, so that a broken or hostile file is
// refused before it reaches a tag or an image decoder.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnello {

class Tid3v2tag;

namespace picturetype {
inline constexpr std::uint8_t kOther = 0;
inline constexpr std::uint8_t kFrontCover = 3;
} // namespace picturetype

// "Front cover", "Back cover", … the 21 ID3v2 picture type names; "Unknown"
// beyond.
const char* PictureTypeName(std::uint8_t type);

enum class ImageFormat
{
    kNone,
    kJpeg,
    kPng
};

struct ImageCheck
{
    ImageFormat Format = ImageFormat::kNone; // kNone: not a picture this program accepts
    std::uint32_t Width = 0, Height = 0;
    const char* Mime() const; // "image/jpeg", "image/png", "" for kNone
    const char* Name() const; // "JPEG", "PNG", "" for kNone
};

inline constexpr std::size_t kLargestPicture = std::size_t{16} << 20; // 16 MiB

// JPEG or PNG, recognised by their bytes and checked by walking the whole
// structure. PNG: the signature, IHDR first, every chunk's length and CRC,
// the IDAT data inflating to exactly the size IHDR implies, IEND last. JPEG:
// SOI, marker segments with sane lengths, a SOFn with a non-zero size, SOS
// with its entropy-coded data, EOI. Anything else, truncated, or larger than
// kLargestPicture gives kNone. Memory and time stay bounded on any input.
ImageCheck CheckImage(std::span<const std::uint8_t> bytes);

struct AttachedPicture
{
    std::uint8_t PictureType = picturetype::kFrontCover;
    std::string Mime;               // as stored; a version 2.2 "JPG"/"PNG" as converted
    std::string Description;        // UTF-8
    std::vector<std::uint8_t> Data; // the picture's bytes
    std::uint64_t Size = 0;         // the picture's size even when Data was not filled
};

// Every APIC frame of the tag in frame order. Compressed or unsynchronised
// frames are read plainly, inflating at most kLargestPicture of picture. A
// frame that cannot be read (encrypted, broken, inflating further, a head
// that does not parse) is skipped, here and by every function below, so the
// cover is always a picture that can be read. `withData` false: Data stays
// empty; so it does for a picture larger than kLargestPicture.
std::vector<AttachedPicture> ListPictures(Tid3v2tag& tag, bool withData);

// The same walk, handing each picture with its frame index to `visit` in
// turn, so that a caller that looks at the data of every picture holds one
// at a time.
void ForEachPicture(Tid3v2tag& tag, bool withData,
                    const std::function<void(std::uint32_t, AttachedPicture&&)>& visit);

// The picture of frame `frame` (an index as CoverFrame gives), read as
// ListPictures reads it; nothing when that frame is no readable APIC.
std::optional<AttachedPicture> ReadPicture(Tid3v2tag& tag, std::uint32_t frame, bool withData);

// The frame index (1..Count) of the picture shown as the cover: the first
// APIC of type 3, else the first APIC; 0 when there is none.
std::uint32_t CoverFrame(Tid3v2tag& tag);

// Puts `image` (already checked: check.Format != kNone) in as the front
// cover: replaces the data of the first type 3 APIC frame in place, else
// adds a new APIC frame of type 3 with an empty description, the right MIME
// type and encoding 0. Other pictures and frames are untouched. False when
// the tag cannot take it.
bool SetFrontCover(Tid3v2tag& tag, std::span<const std::uint8_t> image, const ImageCheck& check);

// Removes the picture CoverFrame names; false when there was none.
bool RemoveCover(Tid3v2tag& tag);

} // namespace varnello
