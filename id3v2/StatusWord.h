#pragma once
// The 16-bit result of every ID3v2 load and save: the high byte is the error
// code (0 is success), the low byte collects warning bits. Any value below
// 0x0100 is a success.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace varnello {

// A type of its own, so that a status word mixes neither with a bare number
// nor with the other result codes; Value() gives the number where it is shown
// or stored.
class StatusWord
{
public:
    constexpr StatusWord() = default;
    constexpr explicit StatusWord(std::uint16_t value) : m_value(value) {}

    constexpr std::uint16_t Value() const { return m_value; }
    // The high byte as a number, which StatusMessage takes.
    constexpr unsigned ErrorCode() const { return m_value >> 8u; }
    // The error alone, without the warnings gathered with it.
    constexpr StatusWord Error() const
    {
        return StatusWord(static_cast<std::uint16_t>(m_value & 0xFF00u));
    }
    constexpr StatusWord Warnings() const
    {
        return StatusWord(static_cast<std::uint16_t>(m_value & 0x00FFu));
    }

    // Whether every bit of `bits` is set, e.g. a warning.
    constexpr bool Has(StatusWord bits) const { return (m_value & bits.m_value) == bits.m_value; }

    // Gathers warning bits.
    constexpr StatusWord& operator|=(StatusWord other)
    {
        m_value = static_cast<std::uint16_t>(m_value | other.m_value);
        return *this;
    }
    friend constexpr StatusWord operator|(StatusWord a, StatusWord b) { return a |= b; }
    friend constexpr bool operator==(StatusWord, StatusWord) = default;

private:
    std::uint16_t m_value = 0;
};

// Writes the word as four hex digits, "0x2300", for test and debug output.
std::ostream& operator<<(std::ostream& out, StatusWord word);

namespace status {

inline constexpr StatusWord kOk{0x0000};
inline constexpr StatusWord kCannotOpen{0x0100};
inline constexpr StatusWord kReadOnly{0x0200};
inline constexpr StatusWord kReadError{0x0300};
inline constexpr StatusWord kWriteError{0x0400};
inline constexpr StatusWord kIoError{0x0500};
// Another save of the same file held it for longer than a save waits.
inline constexpr StatusWord kBusy{0x0600};
// Something other than a save changed the file while it was being saved.
inline constexpr StatusWord kChanged{0x0900};
inline constexpr StatusWord kPastEof{0x0800};
inline constexpr StatusWord kNoTag{0x1000};
inline constexpr StatusWord kMajorVersion{0x1100};
inline constexpr StatusWord kRevision{0x1200};
inline constexpr StatusWord kBadTagSize{0x2000};
inline constexpr StatusWord kBadFrameId{0x2100};
inline constexpr StatusWord kTagTooLarge{0x2200};
// Refusals of a save that would lose something the file holds. The file is
// left byte-identical.
// The old tag declares a size that reaches into the audio (an MPEG frame sync
// lies after its last frame).
inline constexpr StatusWord kAudioInTag{0x2300};
// The file has an ID3v2 tag that could not be read.
inline constexpr StatusWord kUnreadableTag{0x2400};
// A frame of an ID3v2.2 tag has no counterpart in the version written.
inline constexpr StatusWord kUnconvertibleFrame{0x2500};
// A field could not be written into the tag.
inline constexpr StatusWord kFieldNotSet{0x2600};
// A value holds characters that the tag's readers refuse, or a track or disc
// number out of form.
inline constexpr StatusWord kInvalidValue{0x2700};
inline constexpr StatusWord kUnknownEncryption{0x4000};
inline constexpr StatusWord kEncryption{0xC000};
inline constexpr StatusWord kGrouping{0xC100};
inline constexpr StatusWord kDataLengthEncrypted{0xC200};
inline constexpr StatusWord kStillLoading{0xFC00};
inline constexpr StatusWord kNoFrames{0xFD00};
inline constexpr StatusWord kBadTag{0xFE00};
inline constexpr StatusWord kUnknownError{0xFF00};

// Warning bits of the low byte.
inline constexpr StatusWord kWarnHeaderFlags{0x80};
inline constexpr StatusWord kWarnExtendedFlags{0x40};
inline constexpr StatusWord kWarnRevision{0x10};
inline constexpr StatusWord kWarnSkipped{0x08};
inline constexpr StatusWord kWarnPadding{0x04};
// The tag was read leniently, as real files need; a save writes it correctly.
// Bytes after the last frame that are not a frame (junk) were taken as padding.
inline constexpr StatusWord kWarnJunkPadding{0x20};
// Version 4 frame sizes stored as plain integers instead of syncsafe ones.
inline constexpr StatusWord kWarnPlainSizes{0x02};
// A version 4 header's unsynchronisation flag applied to every frame.
inline constexpr StatusWord kWarnTagUnsync{0x01};

constexpr bool IsSuccess(StatusWord word)
{
    return word.Value() < 0x0100;
}

// Puts an error code into the high byte and keeps the warnings gathered so far.
constexpr StatusWord WithError(StatusWord word, StatusWord error)
{
    return word.Warnings() | error.Error();
}

} // namespace status

// The message the log view shows for an error code (the status word's high
// byte); "Unknown error" for a code the table does not know.
std::string StatusMessage(unsigned code);

// The texts of the warning bits set in a status word's low byte, highest bit
// first.
std::vector<std::string> WarningMessages(StatusWord word);

} // namespace varnello
