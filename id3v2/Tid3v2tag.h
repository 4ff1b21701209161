#pragma once
// One ID3v2 tag in memory: header values, extended-header values, the frame
// list and the settings that steer saving. Loading and saving keep their
// working state in objects of their own (TagReader, TagWriter), so separate
// tag objects may be loaded or saved on separate threads at once.

#include "Comm.h"
#include "StatusWord.h"
#include "TFrameIndex.h"
#include "TextResult.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnello {

class FileStream;
struct FileAttributes;

namespace tagflags {
// Tag header flags.
inline constexpr std::uint8_t kUnsynchronisation = 0x80;
inline constexpr std::uint8_t kExtendedHeader = 0x40;
inline constexpr std::uint8_t kExperimental = 0x20;
inline constexpr std::uint8_t kFooter = 0x10;
// Extended-header flags, in the version 4 positions for both versions.
inline constexpr std::uint8_t kTagIsUpdate = 0x40;
inline constexpr std::uint8_t kCrcPresent = 0x20;
inline constexpr std::uint8_t kRestrictions = 0x10;
} // namespace tagflags

class Tid3v2tag
{
public:
    Tid3v2tag() = default;

    std::uint8_t MajorVersion = 3;
    std::uint8_t Revision = 0;
    std::uint32_t TagSize = 0;
    std::uint8_t Flags = 0;
    std::uint8_t ExtFlags = 0;
    std::uint32_t PaddingSize = 0;
    // Where the frames of the tag last loaded or saved end, counted from the
    // tag's first byte (header included) as stored; 0 when unknown. What lies
    // between here and the tag's end is padding, which a save checks for
    // audio before it overwrites it. After a failed load, where the frame
    // that could not be read starts.
    std::uint32_t FramesEnd = 0;
    std::uint32_t ExtHeaderSize = 0;
    std::uint32_t CRC32 = 0;
    std::uint8_t Restrictions = 0;
    StatusWord LoadStatus = status::kOk;
    bool Modified = false;
    bool ReadOnly = false;
    std::string FileName;
    std::uint64_t TagOffset = 0;
    bool LoadComplete = true;
    std::uint8_t Progress = 0;
    std::string ProgressText;
    TFrameIndex Frames;
    bool AcceptRevision = true;
    bool SkipUnsupported = false;
    bool TidyFrames = true;
    std::uint8_t CompressionLevel = 2;
    std::uint8_t PaddingMode = 1;
    std::uint32_t PaddingBlock = 4096;
    std::uint32_t PaddingLimit = 4096;
    // The IDs of the frames of a loaded version 2.2 tag that have no version 3
    // form (CRM, experimental and unknown IDs, a link to such a frame), in tag
    // order. The frame list holds the others, converted. A save refuses with
    // status::kUnconvertibleFrame while any is listed, since the tag written
    // would lack them.
    std::vector<std::string> UnconvertibleFrames;

    // Called whenever Progress or ProgressText changes during a load or save,
    // so that a caller can show it. Empty by default.
    std::function<void(const Tid3v2tag&)> OnProgress;

    // Flag properties; every setter marks the tag Modified.
    bool Unsynchronisation() const { return (Flags & tagflags::kUnsynchronisation) != 0; }
    void SetUnsynchronisation(bool on) { SetFlagBit(Flags, tagflags::kUnsynchronisation, on); }
    bool ExtendedHeader() const { return (Flags & tagflags::kExtendedHeader) != 0; }
    void SetExtendedHeader(bool on) { SetFlagBit(Flags, tagflags::kExtendedHeader, on); }
    void SetExperimental(bool on) { SetFlagBit(Flags, tagflags::kExperimental, on); }
    void SetFooter(bool on) { SetFlagBit(Flags, tagflags::kFooter, on); }
    bool TagIsUpdate() const { return (ExtFlags & tagflags::kTagIsUpdate) != 0; }
    void SetTagIsUpdate(bool on) { SetFlagBit(ExtFlags, tagflags::kTagIsUpdate, on); }
    bool CrcPresent() const { return (ExtFlags & tagflags::kCrcPresent) != 0; }
    void SetCrcPresent(bool on) { SetFlagBit(ExtFlags, tagflags::kCrcPresent, on); }
    bool RestrictionsPresent() const { return (ExtFlags & tagflags::kRestrictions) != 0; }
    void SetRestrictionsPresent(bool on) { SetFlagBit(ExtFlags, tagflags::kRestrictions, on); }

    // Loads the tag at Offset (0 or more) of the file. Returns the status word.
    StatusWord LoadFromFile(const std::string& fileName, std::int64_t offset);
    // The same on a file that the caller has opened already (see
    // FileStream::OpenRegularForReading), with the attributes taken from it;
    // lets a listing read both tags of a file through one open.
    StatusWord LoadFromOpenFile(FileStream& file, const FileAttributes& attributes,
                                const std::string& fileName, std::int64_t offset);

    // Saves the tag into the file. MajorVersion or Revision 255 stands for the
    // object's own value; fileName "=" for the object's FileName; a negative
    // offset for TagOffset with "=", else for 0.
    StatusWord SaveToFile(const std::string& fileName, std::uint8_t majorVersion,
                          std::uint8_t revision, std::int64_t offset);

    // Text frames (IDs beginning with T, except TXXX) and comment frames.
    // Text is UTF-8.
    TextResult GetTextFrame(std::string_view id, std::string& text);
    TextResult SetTextFrame(std::string_view id, std::string_view text);
    TextResult GetComment(COMM& comment, std::string_view description, std::string_view language);
    TextResult SetComment(const COMM& comment, std::string_view description,
                          std::string_view language);

    // The year as a user sees it: TYER, or, in a version 4 tag without TYER,
    // the text of TDRC as stored. Setting writes TDRC in a version 4 tag and
    // TYER in a version 3 tag.
    TextResult GetYear(std::string& text);
    TextResult SetYear(std::string_view text);

    // Accepts the loss of the frames in UnconvertibleFrames: the next save
    // writes the tag without them.
    void DropUnconvertibleFrames()
    {
        UnconvertibleFrames.clear();
        Modified = true;
    }

    // Used by the reader and writer to publish progress.
    void ReportProgress(std::uint8_t percent, std::string_view text);

private:
    void SetFlagBit(std::uint8_t& field, std::uint8_t bit, bool on)
    {
        field =
            on ? static_cast<std::uint8_t>(field | bit) : static_cast<std::uint8_t>(field & ~bit);
        Modified = true;
    }
};

} // namespace varnello
