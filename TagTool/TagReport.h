#pragma once
// Everything that "varnello-tag show" tells about a file, gathered from the
// engine: the ID3v2 load with its header values and every frame, and the
// ID3v1 tag with its genre number.

#include "StatusWord.h"
#include "TextResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnello::tagtool {

struct FrameReport
{
    std::string ID;
    std::uint8_t StatusFlags = 0; // version 4 layout, as requested for writing
    std::uint8_t FormatFlags = 0;
    std::uint32_t Size = 0;       // data size as stored in the tag
    std::uint32_t DataLength = 0; // uncompressed size or data length indicator
    bool Encrypted = false;
    // Text frames and comments: the decoded text (result of the decoder).
    bool HasText = false;
    std::uint8_t Encoding = 0;
    varnello::TextResult TextResult = textresult::kOk;
    std::string Text;
    // Comments and user-defined text frames.
    std::optional<std::string> Language;
    std::optional<std::string> Description;
};

// One attached picture (APIC frame) as "show" lists it.
struct PictureReport
{
    std::uint8_t Type = 0;
    std::string TypeName;
    std::string Mime;
    std::string Description;
    std::uint64_t Size = 0;
    // Known when the picture is a JPEG or PNG picture that CheckImage takes.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> Dimensions;
};

struct Id3v2Report
{
    StatusWord Status;
    bool Loaded = false;
    std::uint8_t MajorVersion = 0;
    std::uint8_t Revision = 0;
    std::uint8_t Flags = 0;
    std::uint32_t TagSize = 0;
    std::uint32_t PaddingSize = 0;
    std::uint32_t ExtHeaderSize = 0;
    std::uint8_t ExtFlags = 0;
    std::uint32_t Crc32 = 0;
    std::uint8_t Restrictions = 0;
    std::vector<FrameReport> Frames;
    std::vector<PictureReport> Pictures; // every readable picture, in frame order
    // A version 2.2 tag's frames without a version 3 form, which a save refuses to drop.
    std::vector<std::string> UnconvertibleFrames;
};

struct Id3v1Report
{
    bool Present = false;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Comment;
    std::uint8_t Genre = 255;
    std::string GenreName;
    std::optional<std::uint8_t> Track; // ID3v1.1: byte 125 zero, byte 126 not
};

Id3v2Report ReadId3v2Report(const std::string& path);
Id3v1Report ReadId3v1Report(const std::string& path);

} // namespace varnello::tagtool
