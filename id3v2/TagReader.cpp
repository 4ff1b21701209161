#include "TagReader.h"

#include "ByteOrder.h"
#include "FrameFlags.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace varnello {

namespace {

constexpr std::size_t kHeaderSize = 10;
// A version 3 frame must end within the largest tag the format allows.
constexpr std::uint64_t kLargestTag = 0x10000000;
const char* const kLoadingText = "Loading tag";
constexpr std::uint64_t kFramesReserved = 32;
constexpr std::uint8_t kCompressionV22 = 0x40;

bool IsPadding(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() >= 4 && std::string_view(reinterpret_cast<const char*>(bytes.data()), 4) ==
                                 std::string_view("MP3e")) {
        return true;
    }
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0x00; });
}

// The four characters that TFrameIndex::AddFrame accepts as a frame ID.
bool IsFrameId(std::span<const std::uint8_t> header)
{
    return std::all_of(header.begin(), header.begin() + 4, [](std::uint8_t b) {
        return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
    });
}

// Version 3 keeps its flags in other bit positions; the frame record holds
// them in the version 4 layout.
std::array<std::uint8_t, 2> TranslateFlagsV3(std::uint8_t statusByte, std::uint8_t formatByte)
{
    std::uint8_t format = 0;
    if ((formatByte & 0x20) != 0) {
        format |= frameflags::kGrouping;
    }
    if ((formatByte & 0x80) != 0) {
        format |= frameflags::kCompression | frameflags::kDataLengthIndicator;
    }
    if ((formatByte & 0x40) != 0) {
        format |= frameflags::kEncryption;
    }
    return {static_cast<std::uint8_t>(statusByte >> 1), format};
}

} // namespace

TagReader::TagReader(Tid3v2tag& tag, FileStream& file, std::uint64_t tagOffset)
    : m_tag(tag), m_file(file), m_tagOffset(tagOffset)
{
}

StatusWord TagReader::ReadTag()
{
    m_tag.LoadComplete = false;
    m_tag.FramesEnd = 0;
    m_tag.ReportProgress(0, kLoadingText);
    const std::uint64_t size = m_file.Size();
    if (m_file.Position() > size || size - m_file.Position() < kHeaderSize) {
        return status::kNoTag;
    }
    m_file.ReadExact(m_header);
    const std::span<const std::uint8_t> header(m_header);
    if (std::string_view(reinterpret_cast<const char*>(header.data()), 3) != "ID3" ||
        header[3] == 0xFF || header[4] == 0xFF ||
        std::any_of(header.begin() + 6, header.end(), [](std::uint8_t b) { return b >= 0x80; })) {
        return status::kNoTag;
    }
    m_tag.MajorVersion = header[3];
    m_tag.Revision = header[4];
    m_tag.TagOffset = m_tagOffset;
    const bool supported = m_tag.MajorVersion >= 2 && m_tag.MajorVersion <= 4;
    // No compression scheme was ever defined for a version 2.2 tag with its
    // compression flag; established readers ignore such a tag, and so does this one.
    const bool compressedV22 = m_tag.MajorVersion == 2 && (header[5] & kCompressionV22) != 0;
    if (!supported || compressedV22) {
        return status::kMajorVersion;
    }
    if (m_tag.Revision != 0 && !m_tag.AcceptRevision) {
        return status::kRevision;
    }
    if (m_tag.Revision != 0) {
        m_status |= status::kWarnRevision;
    }
    m_headerAccepted = true;
    m_tag.UnconvertibleFrames.clear();
    StatusWord result = status::kOk;
    if (m_tag.MajorVersion == 2) {
        result = ReadTagV22();
    } else {
        result = m_tag.MajorVersion == 3 ? ReadTagV23() : ReadTagV24();
    }
    m_tag.LoadStatus = result;
    m_tag.Modified = false;
    m_tag.LoadComplete = true;
    m_tag.ReportProgress(100, "Load Complete");
    return result;
}

// The start both versions share: header flags, tag size, the body reader. Returns
// false when the tag reaches past the end of the file.
bool TagReader::StartBody(std::uint8_t definedFlags)
{
    const std::uint8_t flags = m_header[5];
    m_tag.SetUnsynchronisation((flags & tagflags::kUnsynchronisation) != 0);
    m_tag.SetExtendedHeader((flags & tagflags::kExtendedHeader) != 0);
    m_tag.SetExperimental((flags & tagflags::kExperimental) != 0);
    m_tag.SetFooter((flags & definedFlags & tagflags::kFooter) != 0);
    if ((flags & ~definedFlags) != 0) {
        m_status |= status::kWarnHeaderFlags;
    }
    m_tag.TagSize = bytes::ReadSyncsafe32(m_header, 6);
    if (m_file.Size() < m_tagOffset + m_tag.TagSize + kHeaderSize) {
        return false;
    }
    const bool tagUnsync = m_tag.MajorVersion == 3 && m_tag.Unsynchronisation();
    m_body.emplace(m_file, m_tag.TagSize, tagUnsync);
    UpdateProgress();
    return true;
}

StatusWord TagReader::ReadTagV23()
{
    if (!StartBody(0xE0)) {
        return Fail(status::kBadTagSize);
    }
    if (const StatusWord extended = ReadExtendedHeaderV23(); !status::IsSuccess(extended)) {
        return extended;
    }
    return ReadFrames();
}

StatusWord TagReader::ReadTagV24()
{
    if (!StartBody(0xF0)) {
        return Fail(status::kBadTagSize);
    }
    if (const StatusWord extended = ReadExtendedHeaderV24(); !status::IsSuccess(extended)) {
        return extended;
    }
    return ReadFrames();
}

void TagReader::ClearExtendedHeader()
{
    m_tag.ExtHeaderSize = 0;
    m_tag.PaddingSize = 0;
    m_tag.CRC32 = 0;
    m_tag.Restrictions = 0;
    m_tag.ExtFlags = 0;
    m_tag.Modified = false;
}

StatusWord TagReader::ReadExtendedHeaderV23()
{
    ClearExtendedHeader();
    if (!m_tag.ExtendedHeader() || m_body->Unconsumed() <= 10) {
        return m_status;
    }
    m_work.clear();
    if (!ReadExact(10, m_work)) {
        return Fail(status::kBadTag);
    }
    m_tag.ExtHeaderSize = bytes::ReadBE32(m_work, 0);
    const bool crc = (m_work[4] & 0x80) != 0;
    m_tag.SetCrcPresent(crc);
    if ((m_work[4] & 0x7F) != 0 || m_work[5] != 0) {
        m_status |= status::kWarnExtendedFlags;
    }
    m_tag.PaddingSize = bytes::ReadBE32(m_work, 6);
    m_extendedPadding = m_tag.PaddingSize;
    if (crc && m_tag.ExtHeaderSize == 10) {
        if (!ReadExact(4, m_work)) {
            return Fail(status::kBadTag);
        }
        m_tag.CRC32 = bytes::ReadBE32(m_work, 10);
    }
    m_tag.Modified = false;
    return m_status;
}

StatusWord TagReader::ReadExtendedHeaderV24()
{
    ClearExtendedHeader();
    if (!m_tag.ExtendedHeader() || m_body->Unconsumed() <= 6) {
        return m_status;
    }
    m_work.clear();
    if (!ReadExact(4, m_work)) {
        return Fail(status::kBadTag);
    }
    m_tag.ExtHeaderSize = bytes::ReadSyncsafe32(m_work, 0);
    if (m_tag.ExtHeaderSize < 6 || m_tag.ExtHeaderSize - 4 > m_body->Unconsumed() ||
        !ReadExact(m_tag.ExtHeaderSize - 4, m_work) || m_work[4] == 0) {
        return Fail(status::kBadTag);
    }
    m_tag.ExtFlags = static_cast<std::uint8_t>(
        m_work[5] & (tagflags::kTagIsUpdate | tagflags::kCrcPresent | tagflags::kRestrictions));
    if ((m_work[5] & 0x8F) != 0 || m_work[4] > 1) {
        m_status |= status::kWarnExtendedFlags;
    }
    const StatusWord walked = WalkExtendedFlagsV24();
    m_tag.Modified = false;
    return walked;
}

// The data of every set flag follows the flag bytes, in bit order from 0x80
// down, each as a length byte and that many bytes.
StatusWord TagReader::WalkExtendedFlagsV24()
{
    const std::span<const std::uint8_t> ext(m_work);
    const std::uint8_t flags = ext[5];
    std::size_t at = 5 + std::size_t{ext[4]};
    const auto skip = [&]() {
        if (at >= ext.size()) {
            return false;
        }
        at += 1 + std::size_t{ext[at]};
        return true;
    };
    if (((flags & 0x80) != 0 && !skip()) || ((flags & tagflags::kTagIsUpdate) != 0 && !skip())) {
        return Fail(status::kBadTag);
    }
    if ((flags & tagflags::kCrcPresent) != 0) {
        if (at >= ext.size() || ext[at] < 5 || at + 6 > ext.size()) {
            return Fail(status::kBadTag);
        }
        m_tag.CRC32 = bytes::ReadSyncsafe35(ext, at + 1);
        skip();
    }
    if ((flags & tagflags::kRestrictions) != 0) {
        if (at + 2 > ext.size()) {
            return Fail(status::kBadTag);
        }
        m_tag.Restrictions = ext[at + 1];
    }
    return m_status;
}

StatusWord TagReader::ReadFrames()
{
    const std::uint64_t framesStart = m_body->Consumed();
    const StatusWord before = m_status;
    const StatusWord syncsafe = WalkFrames();
    const bool doubtful = m_junkFound || m_sizeNotSyncsafe;
    if (m_tag.MajorVersion != 4 || (status::IsSuccess(syncsafe) && !doubtful)) {
        return syncsafe;
    }
    // Older taggers wrote version 4 frame sizes as plain integers. When the
    // syncsafe reading does not walk the frames cleanly, the plain reading
    // is tried, and kept only when it walks them better. A clean tag never
    // pays for this.
    TFrameIndex syncsafeFrames = std::move(m_tag.Frames);
    const std::uint32_t syncsafePadding = m_tag.PaddingSize;
    const std::uint32_t syncsafeEnd = m_tag.FramesEnd;
    const StatusWord syncsafeWarnings = m_status;
    m_tag.Frames = TFrameIndex();
    m_tag.PaddingSize = 0;
    m_status = before;
    m_paddingFound = false;
    m_junkFound = false;
    m_plainSizes = true;
    RestartFrames(framesStart);
    const StatusWord plain = WalkFrames();
    const int syncsafeScore = !status::IsSuccess(syncsafe) ? 0 : 1;
    const int plainScore = !status::IsSuccess(plain) ? 0 : (m_junkFound ? 1 : 2);
    if (plainScore > syncsafeScore) {
        m_status |= status::kWarnPlainSizes;
        return static_cast<StatusWord>(plain | status::kWarnPlainSizes);
    }
    m_tag.Frames = std::move(syncsafeFrames);
    m_tag.PaddingSize = syncsafePadding;
    m_tag.FramesEnd = syncsafeEnd;
    m_status = syncsafeWarnings;
    return syncsafe;
}

// Reads the frames from the start of the frame list once more. Only version
// 4 bodies are read again, and they are read as stored.
void TagReader::RestartFrames(std::uint64_t framesStart)
{
    m_file.Seek(m_tagOffset + kHeaderSize + framesStart);
    m_bodyBase = framesStart;
    m_body.emplace(m_file, static_cast<std::uint32_t>(m_tag.TagSize - framesStart), false);
}

// One walk over the frames with the size reading chosen. Whatever follows
// the last frame and is not a frame (zeros, junk, an invalid frame ID, a
// piece shorter than a frame header) ends the list and is padding, as the
// established readers take it.
StatusWord TagReader::WalkFrames()
{
    m_tag.Frames.ClearFrames();
    // Room for the frames of a usual tag, so that the records are not moved
    // each time the list grows; never more than the body could hold.
    m_tag.Frames.Reserve(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(kFramesReserved, m_body->Unconsumed() / kHeaderSize)));
    m_tag.FramesEnd = kHeaderSize + m_tag.TagSize;
    while (m_body->Unconsumed() > 0) {
        const std::uint64_t left = m_body->Unconsumed();
        const std::size_t got = ReadFrameHeader();
        const std::span<const std::uint8_t> bytes(m_header.data(), got);
        if (IsPadding(bytes) || got < kHeaderSize || !IsFrameId(bytes)) {
            if (!IsPadding(bytes)) {
                m_junkFound = true;
                m_status |= status::kWarnJunkPadding;
            }
            // Counted as stored, with version 3 unsynchronisation too.
            m_tag.FramesEnd = static_cast<std::uint32_t>(kHeaderSize + m_tag.TagSize - left);
            ReadPadding(left);
            break;
        }
        if (const StatusWord frame = ReadFrame(); !status::IsSuccess(frame)) {
            // What the reader understood ends where this frame starts.
            m_tag.FramesEnd = static_cast<std::uint32_t>(kHeaderSize + m_tag.TagSize - left);
            return frame;
        }
    }
    if (!m_paddingFound && m_extendedPadding != 0) {
        // The extended header promised padding that is not there.
        m_status |= status::kWarnPadding;
    }
    return m_status;
}

// Reads up to 10 bytes, fewer only at the end of the tag, into m_header.
std::size_t TagReader::ReadFrameHeader()
{
    if (const std::uint8_t* held = m_body->TakeHeld(kHeaderSize)) {
        std::memcpy(m_header.data(), held, kHeaderSize);
        UpdateProgress();
        return kHeaderSize;
    }
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kHeaderSize, m_body->Unconsumed()));
    return ReadSome(std::span<std::uint8_t>(m_header.data(), want));
}

// Everything from a padding start to the end of the tag is padding: `found`
// bytes as stored, the first of them just read as a frame header would be.
void TagReader::ReadPadding(std::uint64_t found)
{
    m_paddingFound = true;
    const auto size = static_cast<std::uint32_t>(found);
    if (m_body->Unconsumed() == 0) {
        m_tag.PaddingSize = size;
        return;
    }
    // The rest is not read: the tag's end is known, and the audio data is
    // taken to start there. A save checks it before it overwrites it.
    if (m_extendedPadding != 0) {
        if (size != m_extendedPadding) {
            m_status |= status::kWarnPadding;
        }
    } else {
        m_tag.PaddingSize = size;
    }
}

// The frame is read into a record of its own, which joins the frame list
// only when the whole frame was read.
StatusWord TagReader::ReadFrame()
{
    const std::span<const std::uint8_t> header(m_header);
    FrameRecord record;
    record.ID.assign(reinterpret_cast<const char*>(header.data()), 4);
    if (!TFrameIndex::MakeStoredId(record.ID)) {
        return Fail(status::kBadFrameId);
    }
    const bool v3 = m_tag.MajorVersion == 3;
    const bool plainSize = v3 || m_plainSizes;
    std::uint32_t size = plainSize ? bytes::ReadBE32(header, 4) : bytes::ReadSyncsafe32(header, 4);
    if (!plainSize && std::any_of(header.begin() + 4, header.begin() + 8,
                                  [](std::uint8_t b) { return b >= 0x80; })) {
        m_sizeNotSyncsafe = true;
    }
    const std::uint64_t end = kHeaderSize + m_bodyBase + m_body->Consumed() + size;
    if (size > m_body->Unconsumed() || (v3 && end > kLargestTag)) {
        return Fail(status::kBadTag);
    }
    record.DataOffset = static_cast<std::uint32_t>(m_bodyBase + m_body->Consumed());
    record.StoredFlags = v3 ? TranslateFlagsV3(header[8], header[9])
                            : std::array<std::uint8_t, 2>{header[8], header[9]};
    if (!v3 && m_tag.Unsynchronisation() &&
        (record.StoredFlags[1] & frameflags::kUnsynchronisation) == 0) {
        // A version 4 header's unsynchronisation flag covers every frame,
        // whether the frame says so itself or not: the data is kept as
        // stored and described as unsynchronised.
        record.StoredFlags[1] |= frameflags::kUnsynchronisation;
        m_status |= status::kWarnTagUnsync;
    }
    record.Flags = record.StoredFlags;
    // Flags that put fields between the frame header and the data.
    const auto addedFields = static_cast<std::uint8_t>(
        frameflags::kGrouping | frameflags::kEncryption |
        (v3 ? frameflags::kCompression : frameflags::kDataLengthIndicator));
    if ((record.StoredFlags[1] & addedFields) != 0 &&
        !status::IsSuccess(ReadFlagAddedBytes(record, size))) {
        return Fail(status::kBadTag);
    }
    record.HeaderSize =
        static_cast<std::uint32_t>(m_bodyBase + m_body->Consumed() - record.DataOffset) + 10;
    if (!ReadFrameData(size, record.Data)) {
        return Fail(status::kBadTag);
    }
    record.Modified = true; // as for every frame added to a tag
    m_tag.Frames.AppendRecord(std::move(record));
    return m_status;
}

// The size was checked against the bytes the tag has left, so the buffer
// never asks for more than the file holds.
bool TagReader::ReadFrameData(std::uint32_t size, std::vector<std::uint8_t>& data)
{
    if (const std::uint8_t* held = m_body->TakeHeld(size)) {
        // Most frames lie whole in the buffer: one allocation and one copy.
        data.assign(held, held + size);
        UpdateProgress();
        return true;
    }
    data.reserve(size);
    return ReadExact(size, data);
}

// Reads the bytes that the format flags put before the data, in the order of
// the tag's version, and takes them off the frame size.
StatusWord TagReader::ReadFlagAddedBytes(FrameRecord& record, std::uint32_t& size)
{
    const std::uint8_t format = record.StoredFlags[1];
    const bool v3 = m_tag.MajorVersion == 3;
    const bool grouped = (format & frameflags::kGrouping) != 0;
    const bool encrypted = (format & frameflags::kEncryption) != 0;
    const bool hasLength =
        (format & (v3 ? frameflags::kCompression : frameflags::kDataLengthIndicator)) != 0;
    const std::uint32_t added = (grouped ? 1u : 0u) + (encrypted ? 1u : 0u) + (hasLength ? 4u : 0u);
    if (added > size) {
        // The frame is too small to hold even the fields its flags announce.
        return status::kBadTag;
    }
    std::array<std::uint8_t, 4> field{};
    const auto readByte = [&](std::uint8_t& target) {
        const bool ok = ReadSome(std::span<std::uint8_t>(field.data(), 1)) == 1;
        target = ok ? field[0] : 0;
        return ok;
    };
    const auto readLength = [&]() {
        if (ReadSome(std::span<std::uint8_t>(field)) != field.size()) {
            return false;
        }
        record.DataLength = v3 ? bytes::ReadBE32(field) : bytes::ReadSyncsafe32(field);
        return true;
    };
    bool ok = true;
    if (v3) {
        ok = (!hasLength || readLength()) && (!encrypted || readByte(record.EncryptionMethod)) &&
             (!grouped || readByte(record.GroupID));
    } else {
        ok = (!grouped || readByte(record.GroupID)) &&
             (!encrypted || readByte(record.EncryptionMethod)) && (!hasLength || readLength());
    }
    size -= added;
    return ok ? status::kOk : status::kBadTag;
}

bool TagReader::ReadExact(std::size_t n, std::vector<std::uint8_t>& target)
{
    return ReadSome(n, target) == n;
}

std::size_t TagReader::ReadSome(std::size_t n, std::vector<std::uint8_t>& target)
{
    const std::size_t got = m_body->Read(n, target);
    UpdateProgress();
    return got;
}

std::size_t TagReader::ReadSome(std::span<std::uint8_t> target)
{
    const std::size_t got = m_body->Read(target);
    UpdateProgress();
    return got;
}

// The figure is the ring count of the bytes handed out (RingCount.h), so
// that it does not depend on how the body is buffered. It changes only when
// that ring would refill, and the tag hears of it only when the percentage
// changes.
void TagReader::UpdateProgress()
{
    const std::uint64_t taken = m_bodyBase + m_body->Taken();
    if (taken == m_reportedTaken) {
        return;
    }
    m_reportedTaken = taken;
    const std::uint64_t total = std::uint64_t{m_tag.TagSize} + kHeaderSize;
    const std::uint64_t done = std::min(kHeaderSize + taken, total);
    const auto percent = static_cast<std::uint8_t>((done * 100 + total / 2) / total);
    // Frames read a second time (plain version 4 sizes) do not move it back.
    if (percent > m_reportedPercent) {
        m_reportedPercent = percent;
        m_tag.ReportProgress(percent, kLoadingText);
    }
}

} // namespace varnello
