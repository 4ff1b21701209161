#include "TagWriter.h"

#include "ByteOrder.h"
#include "Crc32.h"
#include "FrameFlags.h"
#include "FramePreparation.h"
#include "TagBytes.h"
#include "TagPlacer.h"
#include "TagReader.h"

#include <algorithm>
#include <array>

namespace varnello {

namespace {

constexpr std::uint8_t kDefaultArgument = 255;

// The old tag's padding is read in pieces of this size when it is checked.
constexpr std::size_t kScanChunk = 65536;

// An MPEG audio frame header: the sync, then a version, layer, bitrate and
// sample rate that name real values. Free-format bitrates are left out; they
// are too rare to be worth a refused save over junk that happens to match.
bool IsMpegFrameHeader(std::span<const std::uint8_t> b)
{
    return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && ((b[1] >> 3) & 0x03) != 0x01 &&
           ((b[1] >> 1) & 0x03) != 0x00 && (b[2] >> 4) != 0x0F && (b[2] >> 4) != 0x00 &&
           ((b[2] >> 2) & 0x03) != 0x03;
}

} // namespace

TagWriter::TagWriter(Tid3v2tag& tag, SaveTarget& target, std::uint64_t offset,
                     const SaveOptions& options,
                     const std::optional<std::array<std::uint8_t, 128>>& tail)
    : m_tag(tag), m_target(target), m_file(target.File()), m_io(options), m_progress(tag)
{
    m_plan.Offset = offset;
    m_plan.Tail = tail;
}

StatusWord TagWriter::WriteTag(std::uint8_t majorVersion, std::uint8_t revision)
{
    const StatusWord planned = PlanTag(majorVersion, revision);
    if (!status::IsSuccess(planned)) {
        return planned;
    }
    TagPlacer placer(m_plan, m_io, m_progress, [this](WriteCache& cache) { EmitTag(cache); });
    placer.Place(m_target);
    UpdateObject();
    return m_status;
}

StatusWord TagWriter::RemoveTag()
{
    m_progress.Report(0, "Removing tag");
    m_plan.FileSize = m_target.Info().Size;
    if (m_plan.FileSize < m_plan.Offset) {
        return status::kPastEof;
    }
    if (const StatusWord found = FindOldTag(); !status::IsSuccess(found)) {
        return found;
    }
    if (m_plan.Tail && m_plan.AudioSize() < m_plan.Tail->size()) {
        return status::kBadTagSize;
    }
    if (m_plan.OldSize == 0 && !m_plan.Tail) {
        return status::kOk; // no tag to remove
    }
    m_plan.NewSize = 0;
    TagPlacer placer(m_plan, m_io, m_progress, [](WriteCache&) {});
    if (m_plan.OldSize == 0) {
        // Only the ID3v1 block changes: one write of 128 bytes.
        RequireUnchanged(m_target);
        m_io.Write(m_file, m_plan.FileSize - m_plan.Tail->size(), *m_plan.Tail);
        m_io.KeepModificationTime(m_file, m_target.Info());
    } else {
        placer.Place(m_target);
    }
    m_tag.Frames.ClearFrames();
    m_tag.TagSize = 0;
    m_tag.Modified = false;
    m_progress.Report(100, "Save Complete");
    return status::kOk;
}

StatusWord TagWriter::PlanTag(std::uint8_t majorVersion, std::uint8_t revision)
{
    // A version 2.2 tag holds its frames converted to version 3 since the
    // load, and its own version is that of version 3. A save always writes
    // revision 0: the tag's own revision, whatever it was read as, is not
    // asked for explicitly.
    const bool fromV22 = m_tag.MajorVersion == 2;
    const std::uint8_t ownVersion = fromV22 ? 3 : m_tag.MajorVersion;
    m_plan.Version = majorVersion == kDefaultArgument ? ownVersion : majorVersion;
    const std::uint8_t written = revision == kDefaultArgument ? 0 : revision;
    if (m_plan.Version != 3 && m_plan.Version != 4) {
        return status::kMajorVersion;
    }
    if (written != 0) {
        return status::kRevision;
    }
    if (!m_tag.UnconvertibleFrames.empty()) {
        return status::kUnconvertibleFrame;
    }
    if (m_tag.Frames.Count() == 0) {
        return status::kNoFrames;
    }
    m_progress.Report(0, "Preparing tag");
    m_plan.FileSize = m_target.Info().Size;
    if (m_plan.FileSize < m_plan.Offset) {
        return status::kPastEof;
    }
    m_status = PrepareFrames(m_tag, m_plan.Version, m_progress);
    if (!status::IsSuccess(m_status)) {
        return m_status;
    }
    m_status = status::WithError(m_status, FindOldTag());
    if (!status::IsSuccess(m_status)) {
        return m_status;
    }
    if (m_plan.Tail && m_plan.AudioSize() < m_plan.Tail->size()) {
        return status::kBadTagSize; // the ID3v1 block would lie inside the old tag
    }
    MeasureFrames();
    m_status = status::WithError(m_status, FinishSizing());
    return m_status;
}

// The old tag is the tag whose header lies at the offset. A header that is
// not a tag header at all means there is none; a tag header whose size
// reaches past the end of the file is refused, because taking everything up
// to the end as the old tag would overwrite the audio.
StatusWord TagWriter::FindOldTag()
{
    m_plan.OldSize = 0;
    TagExtent extent;
    if (const StatusWord measured =
            MeasureTagAt(m_io, m_file, m_plan.Offset, m_plan.FileSize, extent);
        measured != status::kOk) {
        return measured;
    }
    if (extent.Declared == 0) {
        return status::kOk;
    }
    if (const StatusWord audio = CheckPadding(extent.Declared); audio != status::kOk) {
        return audio;
    }
    m_plan.OldSize = extent.Whole;
    return status::kOk;
}

// Where the old tag's frames end, counted from its first byte. The tag object
// knows it when it was read from this very tag; otherwise the old tag is read
// to find out. Of a tag that cannot be read, everything from the first frame
// that could not be read is checked, or the whole body when not even the
// headers could be.
std::uint64_t TagWriter::OldFramesEnd(std::uint64_t size)
{
    if (status::IsSuccess(m_tag.LoadStatus) && m_tag.FramesEnd != 0 &&
        m_tag.TagOffset == m_plan.Offset && m_tag.FileName == m_target.Path() &&
        std::uint64_t{m_tag.TagSize} + 10 == size && m_tag.FramesEnd <= size) {
        return m_tag.FramesEnd;
    }
    Tid3v2tag old;
    m_file.Seek(m_plan.Offset);
    TagReader reader(old, m_file, m_plan.Offset);
    const StatusWord read = reader.ReadTag();
    if (old.FramesEnd != 0) {
        return old.FramesEnd;
    }
    return status::IsSuccess(read) ? size : layout::kTagHeaderSize;
}

// The bytes between the old tag's last frame and its declared end are about
// to be overwritten as padding. An MPEG frame sync among them means that the
// size is wrong and audio lies inside it; that audio must not be lost.
StatusWord TagWriter::CheckPadding(std::uint64_t size)
{
    const std::uint64_t end = m_plan.Offset + size;
    std::uint64_t at = m_plan.Offset + OldFramesEnd(size);
    // A header that starts inside the tag may end in the bytes after it.
    const std::uint64_t limit = std::min(end + 3, m_plan.FileSize);
    std::vector<std::uint8_t> buffer;
    while (at < end) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kScanChunk, limit - at));
        buffer.resize(n);
        m_io.Read(m_file, at, buffer);
        const std::size_t whole = n >= 4 ? n - 3 : 0;
        const auto inTag = static_cast<std::size_t>(std::min<std::uint64_t>(whole, end - at));
        for (std::size_t i = 0; i < inTag; ++i) {
            if (buffer[i] == 0xFF && IsMpegFrameHeader(std::span(buffer).subspan(i, 4))) {
                return status::kAudioInTag;
            }
        }
        if (at + n >= limit) {
            break;
        }
        at += inTag;
    }
    return status::kOk;
}

void TagWriter::MeasureFrames()
{
    const bool v3 = m_plan.Version == 3;
    m_plan.HasCrc = m_tag.CrcPresent();
    if (m_plan.HasCrc) {
        m_tag.SetExtendedHeader(true);
        m_progress.Phase("Calculating CRC-32");
    }
    std::uint64_t size = layout::kTagHeaderSize;
    if (m_tag.ExtendedHeader()) {
        size += v3 ? layout::ExtendedHeaderSizeV3(m_plan.HasCrc)
                   : layout::ExtendedHeaderSizeV4(m_tag.ExtFlags);
    }
    const TFrameIndex& frames = m_tag.Frames;
    m_frameHeaders.clear();
    m_frameHeaders.reserve(frames.Count());
    for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
        const FrameRecord& frame = frames.Record(i);
        const std::span<const std::uint8_t> data = frame.Data;
        // Version 3 frame sizes and the CRC count the data as it is before
        // unsynchronisation.
        const bool plainCounts = v3 && (frame.StoredFlags[1] & frameflags::kUnsynchronisation) != 0;
        const std::uint32_t counted =
            plainCounts ? layout::DeunsyncedSize(data) : static_cast<std::uint32_t>(data.size());
        layout::Bytes header = layout::FrameHeader(frame, m_plan.Version, counted);
        if (m_plan.HasCrc) {
            Crc32Update(header, m_crcRegister);
            if (plainCounts) {
                layout::Crc32UpdateDeunsynced(data, m_crcRegister);
            } else {
                Crc32Update(data, m_crcRegister);
            }
        }
        if (v3 && m_tag.Unsynchronisation()) {
            header = layout::UnsyncHeaderRun(header, data);
        }
        size += header.size() + data.size();
        m_frameHeaders.push_back(std::move(header));
    }
    // An unsynchronised tag must not end in FF: a reader would take the
    // first padding zero for an inserted one, and without padding the FF
    // would meet the audio's first byte as a false sync.
    m_trailingZero = v3 && m_tag.Unsynchronisation() && frames.Count() > 0 &&
                     !frames.Record(frames.Count()).Data.empty() &&
                     frames.Record(frames.Count()).Data.back() == 0xFF;
    m_plan.NewSize = size + (m_trailingZero ? 1 : 0);
}

StatusWord TagWriter::FinishSizing()
{
    const layout::PaddingSettings settings{m_tag.PaddingMode, m_tag.PaddingBlock,
                                           m_tag.PaddingLimit, m_tag.PaddingSize};
    m_plan.Padding =
        layout::ChoosePadding(settings, m_plan.FileSize, m_plan.OldSize, m_plan.NewSize);
    m_tag.PaddingSize = m_plan.Padding;
    layout::Bytes extended;
    if (m_plan.Version == 3 && m_tag.ExtendedHeader()) {
        // The fields of a version 3 extended header are unsynchronised with
        // the tag; the bytes this inserts come on top of the padding.
        const std::uint32_t crc = m_plan.HasCrc ? ~m_crcRegister : 0;
        extended =
            layout::ExtendedHeaderV3(m_plan.HasCrc, m_plan.Padding, crc, m_tag.Unsynchronisation());
        m_plan.NewSize += extended.size() - layout::ExtendedHeaderSizeV3(m_plan.HasCrc);
    }
    m_plan.NewSize += m_plan.Padding;
    if (m_plan.NewSize - layout::kTagHeaderSize > layout::kMaxTagBody) {
        return status::kTagTooLarge;
    }
    if (m_plan.Version == 4 && m_plan.HasCrc) {
        layout::Crc32UpdateZeros(m_plan.Padding, m_crcRegister);
    }
    m_plan.Crc = ~m_crcRegister;
    if (m_plan.Version == 4 && m_tag.ExtendedHeader()) {
        extended = layout::ExtendedHeaderV4(m_tag.ExtFlags, m_plan.Crc, m_tag.Restrictions);
    }
    m_headers = layout::TagHeader(m_plan.Version, m_tag.Flags,
                                  static_cast<std::uint32_t>(m_plan.NewSize - 10));
    m_headers.insert(m_headers.end(), extended.begin(), extended.end());
    return status::kOk;
}

void TagWriter::EmitTag(WriteCache& cache)
{
    cache.Put(m_headers);
    const TFrameIndex& frames = m_tag.Frames;
    for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
        cache.Put(m_frameHeaders[i - 1]);
        cache.Put(frames.Record(i).Data);
    }
    cache.PutZeros(m_plan.Padding + (m_trailingZero ? 1u : 0u));
}

void TagWriter::UpdateObject()
{
    m_tag.MajorVersion = m_plan.Version;
    m_tag.Revision = 0;
    m_tag.TagSize = static_cast<std::uint32_t>(m_plan.NewSize - 10);
    m_tag.CRC32 = m_plan.Crc;
    m_tag.LoadStatus = m_status;
    m_tag.Modified = false;
    m_tag.TagOffset = m_plan.Offset;
    m_tag.PaddingSize = m_plan.Padding;
    m_tag.FramesEnd = static_cast<std::uint32_t>(m_plan.NewSize - m_plan.Padding);
    m_progress.Report(100, "Save Complete");
}

} // namespace varnello
