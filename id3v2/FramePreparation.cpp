#include "FramePreparation.h"

#include "FrameFlags.h"
#include "ZlibCodec.h"

#include <new>

namespace varnello {

namespace {

using namespace frameflags;

constexpr int kFormatByte = 2;

bool Requested(const TFrameIndex& frames, std::uint32_t i, std::uint8_t bit)
{
    return (frames.GetFlags(i, kFormatByte) & bit) != 0;
}

bool Stored(const TFrameIndex& frames, std::uint32_t i, std::uint8_t bit)
{
    return (frames.GetStoredFlags(i, kFormatByte) & bit) != 0;
}

void Request(TFrameIndex& frames, std::uint32_t i, std::uint8_t bit, bool on)
{
    const std::uint8_t format = frames.GetFlags(i, kFormatByte);
    const auto wanted =
        static_cast<std::uint8_t>(on ? format | bit : format & static_cast<std::uint8_t>(~bit));
    if (wanted != format) {
        frames.SetFlags(i, kFormatByte, wanted);
    }
}

// One frame asking for unsynchronisation makes the whole tag unsynchronised.
void UnifyUnsynchronisation(Tid3v2tag& tag)
{
    TFrameIndex& frames = tag.Frames;
    for (std::uint32_t i = 1; i <= frames.Count() && !tag.Unsynchronisation(); ++i) {
        if (Requested(frames, i, kUnsynchronisation)) {
            tag.SetUnsynchronisation(true);
        }
    }
    if (tag.Unsynchronisation()) {
        for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
            Request(frames, i, kUnsynchronisation, true);
        }
    }
}

void TidyFrames(TFrameIndex& frames)
{
    for (std::uint32_t i = frames.Count(); i >= 1; --i) {
        if (Requested(frames, i, kCompression) && !Requested(frames, i, kDataLengthIndicator)) {
            Request(frames, i, kDataLengthIndicator, true);
        }
        if (frames.DataSize(i) == 0) {
            frames.DeleteFrame(i);
        }
    }
}

// Fills in the uncompressed size of a frame whose header must carry it: the
// data length indicator of version 4, and the size field that every
// compressed version 3 frame has.
StatusWord FillDataLength(Tid3v2tag& tag, std::uint8_t version, std::uint32_t i, StatusWord status)
{
    TFrameIndex& frames = tag.Frames;
    if (!Stored(frames, i, kCompression | kEncryption | kUnsynchronisation)) {
        frames.SetDataLength(i, frames.DataSize(i));
        return status;
    }
    if (Stored(frames, i, kUnsynchronisation)) {
        frames.DeunsyncFrame(i);
        frames.SetDataLength(i, frames.DataSize(i));
    }
    if (Stored(frames, i, kEncryption)) {
        if (version == 3) {
            return status; // the size of encrypted data cannot be known
        }
        if (!tag.SkipUnsupported) {
            return status::WithError(status, status::kDataLengthEncrypted);
        }
        Request(frames, i, kDataLengthIndicator, false);
        frames.SetDataLength(i, 0);
        return static_cast<StatusWord>(status | status::kWarnSkipped);
    }
    if (Stored(frames, i, kCompression) && Requested(frames, i, kCompression)) {
        // The data stays compressed, with its own bytes: only its size is
        // needed, and counting it holds no inflated copy. Inflating every
        // such frame at once took GiBs for a tag of a few MiB.
        try {
            frames.SetDataLength(i,
                                 static_cast<std::uint32_t>(InflatedSize(frames.Record(i).Data)));
        } catch (const EZLibError&) {
            // Undecodable data is written as it is, as when inflating fails.
        }
    } else if (Stored(frames, i, kCompression)) {
        frames.DecompressFrame(i);
        if (!Stored(frames, i, kCompression)) {
            frames.SetDataLength(i, frames.DataSize(i));
        }
    }
    return status;
}

StatusWord FillDataLengths(Tid3v2tag& tag, std::uint8_t version, StatusWord status)
{
    TFrameIndex& frames = tag.Frames;
    const std::uint8_t carrier = version == 4 ? kDataLengthIndicator : kCompression;
    for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
        if (Requested(frames, i, carrier) && frames.GetDataLength(i) == 0) {
            status = FillDataLength(tag, version, i, status);
            if (!status::IsSuccess(status)) {
                return status;
            }
        }
    }
    return status;
}

StatusWord CompressionPass(Tid3v2tag& tag, SaveProgress& progress, StatusWord status)
{
    TFrameIndex& frames = tag.Frames;
    const std::uint32_t count = frames.Count();
    for (std::uint32_t i = 1; i <= count; ++i) {
        progress.Report(static_cast<std::uint8_t>(5 * i / count));
        const bool wanted = Requested(frames, i, kCompression);
        if (Stored(frames, i, kCompression) == wanted) {
            continue;
        }
        progress.Phase("Applying compression");
        // Compression works on the plain bytes; unsynchronisation comes back
        // in its own pass when it is asked for.
        if (Stored(frames, i, kUnsynchronisation)) {
            frames.DeunsyncFrame(i);
        }
        if (Stored(frames, i, kCompression)) {
            frames.DecompressFrame(i);
        } else {
            frames.CompressFrame(i, tag.CompressionLevel);
        }
        if (Stored(frames, i, kCompression) != wanted) {
            // Encrypted or undecodable data stays as it is, and the header
            // must then describe it as it is.
            Request(frames, i, kCompression, !wanted);
            status |= status::kWarnSkipped;
        }
    }
    return status;
}

// The writer never encrypts, decrypts or regroups data.
StatusWord MatchStored(Tid3v2tag& tag, std::uint8_t bit, StatusWord error, StatusWord status)
{
    TFrameIndex& frames = tag.Frames;
    for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
        const bool stored = Stored(frames, i, bit);
        if (stored != Requested(frames, i, bit)) {
            if (!tag.SkipUnsupported) {
                return status::WithError(status, error);
            }
            Request(frames, i, bit, stored);
            status |= status::kWarnSkipped;
        }
    }
    return status;
}

void UnsyncPass(Tid3v2tag& tag, SaveProgress& progress)
{
    TFrameIndex& frames = tag.Frames;
    const std::uint32_t count = frames.Count();
    for (std::uint32_t i = 1; i <= count; ++i) {
        progress.Report(static_cast<std::uint8_t>(5 + 5 * i / count));
        const bool wanted = Requested(frames, i, kUnsynchronisation);
        if (Stored(frames, i, kUnsynchronisation) == wanted) {
            continue;
        }
        progress.Phase("Applying unsync");
        if (wanted) {
            frames.UnsyncFrame(i);
        } else {
            frames.DeunsyncFrame(i);
        }
        if (Stored(frames, i, kUnsynchronisation) != wanted) {
            // Both operations fail only when memory runs out.
            throw std::bad_alloc();
        }
    }
}

} // namespace

StatusWord PrepareFrames(Tid3v2tag& tag, std::uint8_t version, SaveProgress& progress)
{
    StatusWord status = status::kOk;
    UnifyUnsynchronisation(tag);
    if (tag.TidyFrames) {
        TidyFrames(tag.Frames);
    }
    if (tag.Frames.Count() == 0) {
        return status::kNoFrames;
    }
    status = FillDataLengths(tag, version, status);
    if (!status::IsSuccess(status)) {
        return status;
    }
    status = CompressionPass(tag, progress, status);
    status = MatchStored(tag, kEncryption, status::kEncryption, status);
    if (!status::IsSuccess(status)) {
        return status;
    }
    UnsyncPass(tag, progress);
    return MatchStored(tag, kGrouping, status::kGrouping, status);
}

} // namespace varnello
