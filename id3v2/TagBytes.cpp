#include "TagBytes.h"

#include "ByteOrder.h"
#include "FileStream.h"
#include "SaveIo.h"
#include "SaveProgress.h"
#include "TagPlacer.h"
#include "Tid3v2tag.h"

namespace varnello {

namespace {

constexpr std::uint64_t kHeaderSize = 10;
constexpr std::uint64_t kId3v1Size = 128;

// A tag header as a tag at an offset must begin: "ID3", version and revision
// below 0xFF, a syncsafe size.
bool IsTagHeader(const std::array<std::uint8_t, 10>& header)
{
    return header[0] == 'I' && header[1] == 'D' && header[2] == '3' && header[3] < 0xFF &&
           header[4] < 0xFF && header[6] < 0x80 && header[7] < 0x80 && header[8] < 0x80 &&
           header[9] < 0x80;
}

} // namespace

StatusWord MeasureTagAt(const SaveIo& io, FileStream& file, std::uint64_t offset,
                        std::uint64_t fileSize, TagExtent& extent)
{
    extent = {};
    if (fileSize < offset || fileSize - offset < kHeaderSize) {
        return status::kOk;
    }
    std::array<std::uint8_t, 10> header{};
    io.Read(file, offset, header);
    if (!IsTagHeader(header)) {
        return status::kOk;
    }
    const std::uint64_t size = kHeaderSize + std::uint64_t{bytes::ReadSyncsafe32(header, 6)};
    if (size > fileSize - offset) {
        return status::kBadTagSize;
    }
    extent.Declared = size;
    extent.Whole = size;
    // A version 4 footer belongs to the tag; left in place it would sit in
    // front of the audio.
    if (header[3] == 4 && (header[5] & tagflags::kFooter) != 0 &&
        fileSize - offset - size >= kHeaderSize) {
        std::array<std::uint8_t, 10> footer{};
        io.Read(file, offset + size, footer);
        if (footer[0] == '3' && footer[1] == 'D' && footer[2] == 'I' && footer[3] == 4) {
            extent.Whole += kHeaderSize;
        }
    }
    return status::kOk;
}

StatusWord ReadTagBytes(SaveTarget& target, std::uint64_t limit, TagBytes& bytes)
{
    bytes = {};
    platform::FileInfo now;
    if (platform::Query(target.File().Handle(), now)) {
        return status::kReadError;
    }
    bytes.FileSize = now.Size;
    bytes.ModifiedNanoseconds = now.ModifiedNanoseconds;
    try {
        const SaveOptions plain;
        const SaveIo io(plain);
        TagExtent extent;
        if (const StatusWord measured = MeasureTagAt(io, target.File(), 0, now.Size, extent);
            !status::IsSuccess(measured)) {
            return measured;
        }
        if (extent.Whole > limit) {
            return status::kTagTooLarge;
        }
        bytes.Head.resize(static_cast<std::size_t>(extent.Whole));
        io.Read(target.File(), 0, bytes.Head);
        if (now.Size - extent.Whole >= kId3v1Size) {
            bytes.Tail.emplace();
            io.Read(target.File(), now.Size - kId3v1Size, *bytes.Tail);
        }
    } catch (const std::runtime_error&) {
        return StatusOfCurrentException();
    }
    return status::kOk;
}

StatusWord ReadTagBytesAfterSave(SaveTarget& target, std::uint64_t limit, TagBytes& bytes,
                                 std::chrono::milliseconds wait)
{
    if (target.StillNamed()) {
        return ReadTagBytes(target, limit, bytes);
    }
    SaveTarget replaced;
    if (const StatusWord opened = replaced.Open(target.Path(), wait); !status::IsSuccess(opened)) {
        return opened;
    }
    return ReadTagBytes(replaced, limit, bytes);
}

StatusWord RestoreTagBytes(SaveTarget& target, const TagBytes& from, const TagBytes& to,
                           const SaveOptions& options)
{
    TagBytes now;
    const StatusWord read = ReadTagBytes(target, from.Head.size(), now);
    if (read == status::kTagTooLarge || read == status::kBadTagSize || now != from) {
        return status::kChanged;
    }
    if (!status::IsSuccess(read)) {
        return read;
    }
    const bool tailChanges = to.Tail != from.Tail;
    if (tailChanges && !to.Tail) {
        return status::kChanged; // nothing to put in the place of the last bytes
    }
    if (to.Head == from.Head && !tailChanges) {
        return status::kOk;
    }
    TagPlan plan;
    plan.FileSize = now.FileSize;
    plan.OldSize = from.Head.size();
    plan.NewSize = to.Head.size();
    if (tailChanges) {
        plan.Tail = to.Tail;
    }
    try {
        const SaveIo io(options);
        if (to.Head == from.Head) {
            // Only the ID3v1 block changes: one write of 128 bytes.
            RequireUnchanged(target);
            io.Write(target.File(), now.FileSize - kId3v1Size, *plan.Tail);
            io.KeepModificationTime(target.File(), target.Info());
            return status::kOk;
        }
        Tid3v2tag scratch; // receives the progress figures
        SaveProgress progress(scratch);
        TagPlacer placer(plan, io, progress, [&to](WriteCache& cache) { cache.Put(to.Head); });
        placer.Place(target);
    } catch (const std::runtime_error&) {
        return StatusOfCurrentException();
    }
    return status::kOk;
}

} // namespace varnello
