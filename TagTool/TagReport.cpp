#include "TagReport.h"

#include "FrameFlags.h"
#include "Genres.h"
#include "Mp3Mng.h"
#include "Pictures.h"
#include "TextCodec.h"
#include "Tid3v2tag.h"
#include "ZlibCodec.h"

namespace varnello::tagtool {

namespace {

// Compressed text is inflated only to be shown, into a copy that lives while
// its frame is described, and no more than this for the whole tag: a tag of
// many compressed frames would otherwise be held inflated all at once, GiBs
// for a file of a few MiB.
constexpr std::size_t kShownInflation = std::size_t{32} << 20;

// ISO-8859-1 decoding keeps a terminating zero as a character; it is not
// part of what a user sees.
std::string WithoutTerminator(std::string text)
{
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

// Decodes text frames ("T..."), user-defined text ("TXXX") and comments
// ("COMM", "USLT"): encoding byte, then for comments a language, then for
// both a terminated description, then the text.
void DecodeFrameText(const std::vector<std::uint8_t>& data, FrameReport& frame)
{
    const bool comment = frame.ID == "COMM" || frame.ID == "USLT";
    const bool userText = frame.ID == "TXXX";
    if (data.empty() || (!comment && frame.ID[0] != 'T')) {
        return;
    }
    frame.HasText = true;
    frame.Encoding = data[0];
    std::size_t start = 1;
    if (comment) {
        if (data.size() < 4) {
            frame.TextResult = textresult::kNoData;
            return;
        }
        frame.Language = std::string(data.begin() + 1, data.begin() + 4);
        start = 4;
    }
    if (comment || userText) {
        std::string description;
        std::size_t consumed = 0;
        frame.TextResult = DecodeText(data, start, false, description, frame.Encoding, consumed);
        frame.Description = WithoutTerminator(description);
        if (frame.TextResult != textresult::kOk) {
            return;
        }
        start += consumed;
    }
    std::size_t limit = 0;
    frame.TextResult = DecodeText(data, start, comment, frame.Text, frame.Encoding, limit);
    frame.Text = WithoutTerminator(frame.Text);
}

bool ShowsText(const std::string& id)
{
    return id[0] == 'T' || id == "COMM" || id == "USLT";
}

// Decodes the text of a compressed frame from an inflated copy; `budget` is
// what may still be inflated.
void DecodeCompressedText(const std::vector<std::uint8_t>& data, std::size_t& budget,
                          FrameReport& frame)
{
    std::vector<std::uint8_t> plain;
    try {
        plain = DecompressBuffer(data, 0, budget);
    } catch (const EZLibError&) {
        frame.HasText = true;
        frame.TextResult = textresult::kUnreadable;
        return;
    }
    budget -= plain.size();
    DecodeFrameText(plain, frame);
}

FrameReport DescribeFrame(TFrameIndex& frames, std::uint32_t i, std::size_t& budget)
{
    FrameReport frame;
    frame.ID = frames.ID(i);
    frame.StatusFlags = frames.GetFlags(i, 1);
    frame.FormatFlags = frames.GetFlags(i, 2);
    frame.Size = frames.DataSize(i);
    frame.DataLength = frames.GetDataLength(i);
    frame.Encrypted = frames.StoredEncryption(i);
    if (frame.Encrypted || !ShowsText(frame.ID)) {
        return frame;
    }
    // Undo the stored transformations to read the text; nothing is saved.
    if (frames.StoredUnsynchronisation(i)) {
        frames.DeunsyncFrame(i);
    }
    if (frames.StoredCompression(i)) {
        DecodeCompressedText(frames.Record(i).Data, budget, frame);
    } else {
        DecodeFrameText(frames.Record(i).Data, frame);
    }
    return frame;
}

// The pictures, each checked while its data is held, one at a time.
std::vector<PictureReport> DescribePictures(Tid3v2tag& tag)
{
    std::vector<PictureReport> pictures;
    ForEachPicture(tag, true, [&pictures](std::uint32_t, AttachedPicture&& picture) {
        PictureReport report;
        report.Type = picture.PictureType;
        report.TypeName = PictureTypeName(picture.PictureType);
        report.Mime = picture.Mime;
        report.Description = picture.Description;
        report.Size = picture.Size;
        if (const ImageCheck check = CheckImage(picture.Data); check.Format != ImageFormat::kNone) {
            report.Dimensions = std::pair(check.Width, check.Height);
        }
        pictures.push_back(std::move(report));
    });
    return pictures;
}

} // namespace

Id3v2Report ReadId3v2Report(const std::string& path)
{
    Id3v2Report report;
    Tid3v2tag tag;
    report.Status = tag.LoadFromFile(path, 0);
    report.Loaded = status::IsSuccess(report.Status);
    if (!report.Loaded) {
        return report;
    }
    report.MajorVersion = tag.MajorVersion;
    report.Revision = tag.Revision;
    report.Flags = tag.Flags;
    report.TagSize = tag.TagSize;
    report.PaddingSize = tag.PaddingSize;
    report.ExtHeaderSize = tag.ExtHeaderSize;
    report.ExtFlags = tag.ExtFlags;
    report.Crc32 = tag.CRC32;
    report.Restrictions = tag.Restrictions;
    report.UnconvertibleFrames = tag.UnconvertibleFrames;
    // Before the frames are described, which leaves some of them
    // deunsynchronised in memory; the pictures read either form.
    report.Pictures = DescribePictures(tag);
    std::size_t budget = kShownInflation;
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        report.Frames.push_back(DescribeFrame(tag.Frames, i, budget));
    }
    return report;
}

Id3v1Report ReadId3v1Report(const std::string& path)
{
    Id3v1Report report;
    Mp3Mng id3v1;
    id3v1.Open(path);
    report.Present = id3v1.ReadTag() == mp3status::kOk && id3v1.HasTag();
    if (!report.Present) {
        return report;
    }
    id3v1.GetTitle(report.Title);
    id3v1.GetArtist(report.Artist);
    id3v1.GetAlbum(report.Album);
    id3v1.GetYear(report.Year);
    id3v1.GetComment(report.Comment);
    report.Genre = id3v1.GetGenre();
    report.GenreName = report.Genre < kGenreCount ? GenreNames[report.Genre] : "";
    if (id3v1.TagBuffer[125] == 0 && id3v1.TagBuffer[126] != 0) {
        report.Track = id3v1.TagBuffer[126];
    }
    return report;
}

} // namespace varnello::tagtool
