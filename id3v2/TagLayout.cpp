#include "TagLayout.h"

#include "ByteOrder.h"
#include "Crc32.h"
#include "FrameFlags.h"
#include "Unsync.h"

#include <algorithm>
#include <array>

namespace varnello::layout {

namespace {

void PutBE32(Bytes& out, std::uint32_t value)
{
    std::array<std::uint8_t, 4> bytes{};
    bytes::WriteBE32(bytes.data(), value);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutSyncsafe32(Bytes& out, std::uint32_t value)
{
    std::array<std::uint8_t, 4> bytes{};
    bytes::WriteSyncsafe32(bytes.data(), value);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

std::uint8_t Bit(std::uint8_t byte, std::uint8_t from, std::uint8_t to)
{
    return (byte & from) != 0 ? to : std::uint8_t{0};
}

Bytes FrameHeaderV3(const FrameRecord& frame, std::uint32_t dataSize)
{
    using namespace frameflags;
    const std::uint8_t status = frame.Flags[0];
    const std::uint8_t format = frame.Flags[1];
    Bytes added;
    if ((format & kCompression) != 0) {
        PutBE32(added, frame.DataLength);
    }
    if ((format & kEncryption) != 0) {
        added.push_back(frame.EncryptionMethod);
    }
    if ((format & kGrouping) != 0) {
        added.push_back(frame.GroupID);
    }
    Bytes header(frame.ID.begin(), frame.ID.end());
    PutBE32(header, dataSize + static_cast<std::uint32_t>(added.size()));
    header.push_back(Bit(status, kTagAlterPreservation, 0x80) |
                     Bit(status, kFileAlterPreservation, 0x40) | Bit(status, kReadOnly, 0x20));
    header.push_back(Bit(format, kCompression, 0x80) | Bit(format, kEncryption, 0x40) |
                     Bit(format, kGrouping, 0x20));
    header.insert(header.end(), added.begin(), added.end());
    return header;
}

Bytes FrameHeaderV4(const FrameRecord& frame, std::uint32_t dataSize)
{
    using namespace frameflags;
    constexpr std::uint8_t kStatusBits = kTagAlterPreservation | kFileAlterPreservation | kReadOnly;
    constexpr std::uint8_t kFormatBits =
        kGrouping | kCompression | kEncryption | kUnsynchronisation | kDataLengthIndicator;
    const std::uint8_t format = frame.Flags[1] & kFormatBits;
    Bytes added;
    if ((format & kGrouping) != 0) {
        added.push_back(frame.GroupID);
    }
    if ((format & kEncryption) != 0) {
        added.push_back(frame.EncryptionMethod);
    }
    if ((format & kDataLengthIndicator) != 0) {
        PutSyncsafe32(added, frame.DataLength);
    }
    Bytes header(frame.ID.begin(), frame.ID.end());
    PutSyncsafe32(header, dataSize + static_cast<std::uint32_t>(added.size()));
    header.push_back(frame.Flags[0] & kStatusBits);
    header.push_back(format);
    header.insert(header.end(), added.begin(), added.end());
    return header;
}

// Whether data[i] is a 0x00 that unsynchronisation put there.
bool IsInsertedZero(std::span<const std::uint8_t> data, std::size_t i)
{
    return data[i] == 0x00 && i > 0 && data[i - 1] == 0xFF && i + 1 < data.size() &&
           (data[i + 1] == 0x00 || data[i + 1] >= 0xE0);
}

} // namespace

Bytes TagHeader(std::uint8_t version, std::uint8_t flags, std::uint32_t bodySize)
{
    Bytes header{'I', 'D', '3', version, 0x00, static_cast<std::uint8_t>(flags & 0xE0)};
    PutSyncsafe32(header, bodySize);
    return header;
}

Bytes FrameHeader(const FrameRecord& frame, std::uint8_t version, std::uint32_t dataSize)
{
    return version == 3 ? FrameHeaderV3(frame, dataSize) : FrameHeaderV4(frame, dataSize);
}

Bytes UnsyncHeaderRun(const Bytes& header, std::span<const std::uint8_t> data)
{
    Bytes run = header;
    if (!data.empty()) {
        run.push_back(data[0]);
    }
    const std::size_t length = run.size();
    run.resize(length + UnsyncCount(run));
    UnsyncInsert(run.data(), length);
    if (!data.empty()) {
        run.pop_back();
    }
    return run;
}

std::uint32_t ExtendedHeaderSizeV3(bool crc)
{
    return crc ? 14 : 10;
}

std::uint32_t ExtendedHeaderSizeV4(std::uint8_t extFlags)
{
    std::uint32_t size = 6;
    size += (extFlags & 0x40) != 0 ? 1 : 0;
    size += (extFlags & 0x20) != 0 ? 6 : 0;
    size += (extFlags & 0x10) != 0 ? 2 : 0;
    return size;
}

Bytes ExtendedHeaderV3(bool crc, std::uint32_t padding, std::uint32_t crcValue, bool unsync)
{
    Bytes header;
    PutBE32(header, crc ? 10 : 6);
    header.push_back(crc ? 0x80 : 0x00);
    header.push_back(0x00);
    Bytes fields;
    PutBE32(fields, padding);
    if (crc) {
        PutBE32(fields, crcValue);
    }
    if (unsync) {
        const std::size_t length = fields.size();
        fields.resize(length + UnsyncCount(fields));
        UnsyncInsert(fields.data(), length);
    }
    header.insert(header.end(), fields.begin(), fields.end());
    return header;
}

Bytes ExtendedHeaderV4(std::uint8_t extFlags, std::uint32_t crcValue, std::uint8_t restrictions)
{
    const std::uint8_t flags = extFlags & 0x70;
    Bytes header;
    PutSyncsafe32(header, ExtendedHeaderSizeV4(flags));
    header.push_back(0x01);
    header.push_back(flags);
    if ((flags & 0x40) != 0) {
        header.push_back(0x00);
    }
    if ((flags & 0x20) != 0) {
        header.push_back(0x05);
        std::array<std::uint8_t, 5> crc{};
        bytes::WriteSyncsafe35(crc.data(), crcValue);
        header.insert(header.end(), crc.begin(), crc.end());
    }
    if ((flags & 0x10) != 0) {
        header.push_back(0x01);
        header.push_back(restrictions);
    }
    return header;
}

std::uint32_t DeunsyncedSize(std::span<const std::uint8_t> data)
{
    std::size_t dropped = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        dropped += IsInsertedZero(data, i) ? 1 : 0;
    }
    return static_cast<std::uint32_t>(data.size() - dropped);
}

void Crc32UpdateDeunsynced(std::span<const std::uint8_t> data, std::uint32_t& reg)
{
    // Feed the runs between inserted zeros as whole spans.
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (IsInsertedZero(data, i)) {
            Crc32Update(data.subspan(start, i - start), reg);
            start = i + 1;
        }
    }
    Crc32Update(data.subspan(start), reg);
}

void Crc32UpdateZeros(std::uint64_t count, std::uint32_t& reg)
{
    static constexpr std::array<std::uint8_t, 4096> kZeros{};
    while (count > 0) {
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(count, 4096));
        Crc32Update(std::span(kZeros.data(), take), reg);
        count -= take;
    }
}

std::uint32_t RealignedPadding(std::uint64_t fileSize, std::uint64_t oldSize, std::uint64_t newSize,
                               std::uint32_t block)
{
    // A block of 0 would divide by zero; it stands for no alignment at all.
    const std::uint64_t b = std::max<std::uint32_t>(block, 1);
    const std::uint64_t aligned = (fileSize / b + 1) * b;
    std::uint32_t padding = static_cast<std::uint32_t>(aligned - (fileSize - oldSize) - newSize);
    if (padding > b) {
        // The same as taking `block` away while the padding exceeds it.
        padding -= static_cast<std::uint32_t>((padding - 1) / b * b);
    }
    return padding;
}

std::uint32_t ChoosePadding(const PaddingSettings& settings, std::uint64_t fileSize,
                            std::uint64_t oldSize, std::uint64_t newSize)
{
    if (settings.Mode == 0) {
        return settings.Current;
    }
    if (settings.Mode == 2 || newSize > oldSize) {
        return RealignedPadding(fileSize, oldSize, newSize, settings.Block);
    }
    if (settings.Limit >= settings.Block) {
        return RealignedPadding(fileSize, oldSize, newSize, settings.Block);
    }
    return static_cast<std::uint32_t>(oldSize - newSize);
}

} // namespace varnello::layout
