// The version 2.2 part of the tag reader. A version 2.2 tag is loaded in its
// version 3 form: each frame is converted as it is read, so that the frame
// accessors and the writer see nothing but version 3 frames. Frames without a
// version 3 form are not added; their IDs go to UnconvertibleFrames.

#include "ByteOrder.h"
#include "FrameConversionV22.h"
#include "TagReader.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

namespace varnello {

namespace {

constexpr std::size_t kTagHeaderSize = 10;
constexpr std::size_t kFrameHeaderSize = 6; // three-character ID, 24-bit size, no flags
constexpr std::uint64_t kFramesReserved = 32;
constexpr std::uint8_t kDefinedFlags = 0xC0; // unsynchronisation, compression

bool IsFrameIdV22(std::string_view id)
{
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

} // namespace

// The header flags of version 2.2 are unsynchronisation (of the whole tag,
// as in version 3) and compression, which ReadTag has refused already.
StatusWord TagReader::ReadTagV22()
{
    const std::uint8_t flags = m_header[5];
    m_tag.SetUnsynchronisation((flags & tagflags::kUnsynchronisation) != 0);
    m_tag.SetExtendedHeader(false);
    m_tag.SetExperimental(false);
    m_tag.SetFooter(false);
    if ((flags & ~kDefinedFlags) != 0) {
        m_status |= status::kWarnHeaderFlags;
    }
    m_tag.TagSize = bytes::ReadSyncsafe32(m_header, 6);
    if (m_file.Size() < m_tagOffset + m_tag.TagSize + kTagHeaderSize) {
        return Fail(status::kBadTagSize);
    }
    m_body.emplace(m_file, m_tag.TagSize, m_tag.Unsynchronisation());
    UpdateProgress();
    ClearExtendedHeader();
    return ReadFramesV22();
}

StatusWord TagReader::ReadFramesV22()
{
    m_tag.Frames.ClearFrames();
    m_tag.Frames.Reserve(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(kFramesReserved, m_body->Unconsumed() / kFrameHeaderSize)));
    // Where the frames end, for a save's check of the padding for audio:
    // the tag's end, or where padding or an unreadable frame begins.
    const std::uint64_t tagEnd = std::uint64_t{kTagHeaderSize} + m_tag.TagSize;
    m_tag.FramesEnd = static_cast<std::uint32_t>(tagEnd);
    while (m_body->Unconsumed() > 0) {
        const std::uint64_t left = m_body->Unconsumed();
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kFrameHeaderSize, left));
        const std::size_t got = ReadSome(std::span<std::uint8_t>(m_header.data(), want));
        const std::span<const std::uint8_t> header(m_header.data(), got);
        if (std::all_of(header.begin(), header.end(), [](std::uint8_t b) { return b == 0; })) {
            m_tag.FramesEnd = static_cast<std::uint32_t>(tagEnd - left);
            ReadPadding(left);
            break;
        }
        if (got < kFrameHeaderSize) {
            m_tag.FramesEnd = static_cast<std::uint32_t>(tagEnd - left);
            return Fail(status::kBadTag);
        }
        if (const StatusWord frame = ReadFrameV22(); !status::IsSuccess(frame)) {
            m_tag.FramesEnd = static_cast<std::uint32_t>(tagEnd - left);
            return frame;
        }
    }
    return m_status;
}

StatusWord TagReader::ReadFrameV22()
{
    const std::string id(reinterpret_cast<const char*>(m_header.data()), 3);
    if (!IsFrameIdV22(id)) {
        return Fail(status::kBadFrameId);
    }
    const std::uint32_t size = (std::uint32_t{m_header[3]} << 16) |
                               (std::uint32_t{m_header[4]} << 8) | std::uint32_t{m_header[5]};
    if (size > m_body->Unconsumed()) {
        return Fail(status::kBadTag);
    }
    const auto dataOffset = static_cast<std::uint32_t>(m_body->Consumed());
    std::vector<std::uint8_t> data;
    if (!ReadFrameData(size, data)) {
        return Fail(status::kBadTag);
    }
    std::optional<ConvertedFrame> converted = ConvertFrameV22(id, std::move(data));
    if (!converted) {
        m_tag.UnconvertibleFrames.push_back(id);
        return m_status;
    }
    FrameRecord record;
    record.Modified = true; // as for every frame added to a tag
    record.ID = converted->ID;
    record.DataOffset = dataOffset;
    record.HeaderSize = kFrameHeaderSize;
    record.Data = std::move(converted->Data);
    m_tag.Frames.AppendRecord(std::move(record));
    return m_status;
}

} // namespace varnello
