// APIC frames: encoding, MIME type (ISO-8859-1, terminated), picture type,
// description (in the encoding, terminated), picture data. Frames are read
// from a copy of their data, so listing the pictures never changes the tag;
// a frame whose data cannot be read (encrypted, broken compression, a head
// that does not parse, or inflating past the limits below) is skipped by
// every function here, so the cover is always a picture that can be shown.

#include "Pictures.h"

#include "FrameFlags.h"
#include "TextCodec.h"
#include "Tid3v2tag.h"
#include "Unsync.h"
#include "ZlibCodec.h"

#include <array>
#include <optional>

namespace varnello {

namespace {

constexpr std::string_view kPictureId = "APIC";
// Room for the MIME type and description in front of the largest picture.
constexpr std::size_t kLargestPictureHead = std::size_t{64} << 10;
// A walk over the pictures inflates no more than this in all, so that a tag
// full of small compressed frames that each inflate to the limit costs
// bounded time; compressed pictures past it are skipped.
constexpr std::size_t kPictureWalkInflation = std::size_t{64} << 20;

constexpr std::array<const char*, 21> kTypeNames{
    "Other",
    "File icon",
    "Other file icon",
    "Front cover",
    "Back cover",
    "Leaflet page",
    "Media",
    "Lead artist",
    "Artist",
    "Conductor",
    "Band",
    "Composer",
    "Lyricist",
    "Recording location",
    "During recording",
    "During performance",
    "Movie screen capture",
    "A bright coloured fish",
    "Illustration",
    "Band logotype",
    "Publisher logotype",
};

// Where the parts of one APIC frame's data lie.
struct PictureHead
{
    std::uint8_t Encoding = 0;
    std::string Mime;
    std::uint8_t PictureType = 0;
    std::size_t DescriptionStart = 0;
    std::size_t DescriptionSize = 0; // without the terminator
    std::size_t DataStart = 0;
};

std::optional<PictureHead> ParseHead(std::span<const std::uint8_t> data)
{
    PictureHead head;
    if (data.empty() || data[0] > textencoding::kUtf8) {
        return std::nullopt;
    }
    head.Encoding = data[0];
    std::size_t pos = 1;
    while (pos < data.size() && data[pos] != 0) {
        ++pos;
    }
    if (pos + 1 >= data.size()) {
        return std::nullopt; // no terminator, or no picture type behind it
    }
    head.Mime =
        Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()) + 1, pos - 1));
    head.PictureType = data[pos + 1];
    head.DescriptionStart = pos + 2;
    const bool wide =
        head.Encoding == textencoding::kUtf16Bom || head.Encoding == textencoding::kUtf16BE;
    const std::size_t unit = wide ? 2 : 1;
    pos = head.DescriptionStart;
    while (data.size() - pos >= unit && !(data[pos] == 0 && (!wide || data[pos + 1] == 0))) {
        pos += unit;
    }
    if (data.size() - pos < unit) {
        return std::nullopt; // the description has no terminator
    }
    head.DescriptionSize = pos - head.DescriptionStart;
    head.DataStart = pos + unit;
    return head;
}

std::string DecodeDescription(std::span<const std::uint8_t> data, const PictureHead& head)
{
    std::string text;
    std::size_t limit = head.DescriptionSize;
    if (limit == 0 ||
        DecodeText(data.first(head.DescriptionStart + head.DescriptionSize), head.DescriptionStart,
                   false, text, head.Encoding, limit) != textresult::kOk) {
        return {};
    }
    return text;
}

// One APIC frame read plainly: its data with unsynchronisation and
// compression undone, when it has to be, in a copy of its own.
class PictureFrame
{
public:
    // `inflated` counts the walk's inflation and stops it at the limit.
    PictureFrame(const FrameRecord& record, std::size_t& inflated)
    {
        const std::uint8_t stored = record.StoredFlags[1];
        if ((stored & frameflags::kEncryption) != 0) {
            return;
        }
        const bool unsync = (stored & frameflags::kUnsynchronisation) != 0;
        const bool compressed = (stored & frameflags::kCompression) != 0;
        if (!unsync && !compressed) {
            m_data = record.Data;
            m_readable = true;
            return;
        }
        m_copy = record.Data;
        if (unsync) {
            UnsyncRemove(m_copy);
        }
        m_readable = !compressed || Inflate(inflated);
        m_data = m_copy;
    }

    std::optional<PictureHead> Head() const
    {
        return m_readable ? ParseHead(m_data) : std::nullopt;
    }
    std::span<const std::uint8_t> Data() const { return m_data; }

private:
    bool Inflate(std::size_t& inflated)
    {
        if (inflated >= kPictureWalkInflation) {
            return false;
        }
        try {
            m_copy = DecompressBuffer(m_copy, 0, kLargestPicture + kLargestPictureHead);
        } catch (const EZLibError&) {
            return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
        inflated += m_copy.size();
        return true;
    }

    std::span<const std::uint8_t> m_data;
    std::vector<std::uint8_t> m_copy;
    bool m_readable = false;
};

bool IsPictureFrame(const TFrameIndex& frames, std::uint32_t i)
{
    return frames.ID(i) == kPictureId;
}

// The frame data of a front cover. `description` is the description as
// stored, terminator included, in `encoding`.
std::vector<std::uint8_t> PictureFrameData(std::uint8_t encoding,
                                           std::span<const std::uint8_t> description,
                                           std::span<const std::uint8_t> image, const char* mime)
{
    const std::string_view mimeText(mime);
    std::vector<std::uint8_t> data;
    data.reserve(3 + mimeText.size() + description.size() + image.size());
    data.push_back(encoding);
    data.insert(data.end(), mimeText.begin(), mimeText.end());
    data.push_back(0);
    data.push_back(picturetype::kFrontCover);
    data.insert(data.end(), description.begin(), description.end());
    data.insert(data.end(), image.begin(), image.end());
    return data;
}

// The first readable APIC of the type (any type for none), with its
// encoding and description bytes as stored.
struct FoundPicture
{
    std::uint32_t Index = 0;
    std::uint8_t Encoding = textencoding::kLatin1;
    std::vector<std::uint8_t> Description{0}; // an empty one, terminated
};

FoundPicture FindPicture(const TFrameIndex& frames, std::optional<std::uint8_t> type)
{
    std::size_t inflated = 0;
    for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
        if (!IsPictureFrame(frames, i)) {
            continue;
        }
        const PictureFrame frame(frames.Record(i), inflated);
        const std::optional<PictureHead> head = frame.Head();
        if (head && (!type || head->PictureType == *type)) {
            const auto data = frame.Data();
            return {i, head->Encoding,
                    std::vector<std::uint8_t>(
                        data.begin() + static_cast<std::ptrdiff_t>(head->DescriptionStart),
                        data.begin() + static_cast<std::ptrdiff_t>(head->DataStart))};
        }
    }
    return {};
}

std::optional<AttachedPicture> ReadFrame(const PictureFrame& frame, bool withData)
{
    const std::optional<PictureHead> head = frame.Head();
    if (!head) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> data = frame.Data();
    AttachedPicture picture;
    picture.PictureType = head->PictureType;
    picture.Mime = head->Mime;
    picture.Description = DecodeDescription(data, *head);
    picture.Size = data.size() - head->DataStart;
    if (withData && picture.Size <= kLargestPicture) {
        picture.Data.assign(data.begin() + static_cast<std::ptrdiff_t>(head->DataStart),
                            data.end());
    }
    return picture;
}

} // namespace

const char* PictureTypeName(std::uint8_t type)
{
    return type < kTypeNames.size() ? kTypeNames[type] : "Unknown";
}

void ForEachPicture(Tid3v2tag& tag, bool withData,
                    const std::function<void(std::uint32_t, AttachedPicture&&)>& visit)
{
    std::size_t inflated = 0;
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        if (IsPictureFrame(tag.Frames, i)) {
            std::optional<AttachedPicture> picture =
                ReadFrame(PictureFrame(tag.Frames.Record(i), inflated), withData);
            if (picture) {
                visit(i, std::move(*picture));
            }
        }
    }
}

std::vector<AttachedPicture> ListPictures(Tid3v2tag& tag, bool withData)
{
    std::vector<AttachedPicture> pictures;
    ForEachPicture(tag, withData, [&pictures](std::uint32_t, AttachedPicture&& picture) {
        pictures.push_back(std::move(picture));
    });
    return pictures;
}

std::optional<AttachedPicture> ReadPicture(Tid3v2tag& tag, std::uint32_t frame, bool withData)
{
    if (frame == 0 || frame > tag.Frames.Count() || !IsPictureFrame(tag.Frames, frame)) {
        return std::nullopt;
    }
    std::size_t inflated = 0;
    return ReadFrame(PictureFrame(tag.Frames.Record(frame), inflated), withData);
}

std::uint32_t CoverFrame(Tid3v2tag& tag)
{
    const std::uint32_t front = FindPicture(tag.Frames, picturetype::kFrontCover).Index;
    return front != 0 ? front : FindPicture(tag.Frames, std::nullopt).Index;
}

bool SetFrontCover(Tid3v2tag& tag, std::span<const std::uint8_t> image, const ImageCheck& check)
{
    if (check.Format == ImageFormat::kNone || image.empty() || image.size() > kLargestPicture) {
        return false;
    }
    FoundPicture found = FindPicture(tag.Frames, picturetype::kFrontCover);
    if (found.Index == 0) {
        // A new frame, in ISO-8859-1 without a description.
        found.Index = tag.Frames.AddFrame(kPictureId);
        if (found.Index == 0) {
            return false;
        }
    }
    tag.Frames.SetData(found.Index,
                       PictureFrameData(found.Encoding, found.Description, image, check.Mime()));
    // The engine cannot encrypt: a request to encrypt the frame is dropped,
    // as the text setters do, rather than failing the whole save.
    const std::uint8_t format = tag.Frames.GetFlags(found.Index, 2);
    tag.Frames.SetFlags(found.Index, 2,
                        static_cast<std::uint8_t>(format & ~frameflags::kEncryption));
    return true;
}

bool RemoveCover(Tid3v2tag& tag)
{
    const std::uint32_t i = CoverFrame(tag);
    return i != 0 && tag.Frames.DeleteFrame(i);
}

} // namespace varnello
