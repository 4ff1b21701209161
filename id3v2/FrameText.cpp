// Access to the text frames and comment frames of a tag by frame ID. Text is
// UTF-8 in memory; frames are read in any of the ID3v2 encodings and written
// in ISO-8859-1 when every character fits, else in the Unicode encoding that
// the tag's version knows best.

#include "FrameFlags.h"
#include "TextCodec.h"
#include "Tid3v2tag.h"

namespace varnello {

namespace {

constexpr std::string_view kCommentId = "COMM";
constexpr std::size_t kCommentHeaderSize = 4; // encoding byte and three language bytes
constexpr std::size_t kLanguageSize = 3;
// Text and comment frames are read to be shown: no real one inflates to more
// than this. Refusing to inflate further keeps a tag of a few compressed
// frames that inflate to hundreds of MiB each from costing GiBs and seconds.
constexpr std::size_t kLargestReadableText = std::size_t{16} << 20;
// Comments are short texts. A comment walk that has inflated this much data
// inflates no more, so that a tag full of compressed comments that match no
// filter costs bounded memory and time.
constexpr std::size_t kCommentWalkInflation = std::size_t{16} << 20;

// Frame IDs compared without a call into the library: they are four bytes.
bool SameId(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k] != b[k]) {
            return false;
        }
    }
    return true;
}

bool IsTextFrameId(std::string_view id)
{
    return id.size() == 4 && id[0] == 'T' && id != "TXXX";
}

// An ID that the frame list stores exactly as given. Anything else would be
// refused, or stored in upper case beside a frame of the same ID.
bool IsStorableId(std::string_view id)
{
    for (const char c : id) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// Removes unsynchronisation and compression from the stored data so that it
// can be read as text. The requested flags stay as they are, so the next save
// applies them again. Both transformations do nothing unless the data is
// stored in that form.
TextResult PrepareForReading(TFrameIndex& frames, std::uint32_t i)
{
    const FrameRecord& record = frames.Record(i);
    const auto anyEncoding =
        frameflags::kUnsynchronisation | frameflags::kCompression | frameflags::kEncryption;
    if (((record.Flags[1] | record.StoredFlags[1]) & anyEncoding) == 0) {
        // Stored plain, as nearly every frame is: nothing to undo.
        return record.Data.empty() ? textresult::kNoData : textresult::kOk;
    }
    frames.DeunsyncFrame(i);
    if (((record.Flags[1] | record.StoredFlags[1]) & frameflags::kEncryption) != 0) {
        return textresult::kEncrypted;
    }
    frames.DecompressFrame(i, kLargestReadableText);
    const auto stillEncoded = frameflags::kUnsynchronisation | frameflags::kCompression;
    if ((record.StoredFlags[1] & stillEncoded) != 0) {
        return textresult::kUnreadable;
    }
    return record.Data.empty() ? textresult::kNoData : textresult::kOk;
}

// The encoding a text is written in: ISO-8859-1 when that is asked for and
// every character fits; otherwise a Unicode encoding the tag's version has:
// UTF-16 with a byte-order mark in version 3 (its only one), UTF-8 in version
// 4 unless another Unicode encoding was asked for.
std::uint8_t ChooseEncoding(std::uint8_t requested, bool fitsLatin1, std::uint8_t majorVersion)
{
    const bool version4 = majorVersion == 4;
    if (requested == textencoding::kLatin1 && fitsLatin1) {
        return textencoding::kLatin1;
    }
    if (requested == textencoding::kUtf16Bom || (version4 && requested != textencoding::kLatin1)) {
        return requested;
    }
    return version4 ? textencoding::kUtf8 : textencoding::kUtf16Bom;
}

void Append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

// Replaces the frame's data by plain (not compressed, not unsynchronised) bytes.
// The engine cannot encrypt, so a request to encrypt the frame is dropped: the
// save would otherwise refuse the whole tag. A group ID is no transformation
// of the data, so the frame stays in its group.
void StoreFrameData(TFrameIndex& frames, std::uint32_t i, std::vector<std::uint8_t> data)
{
    frames.SetData(i, std::move(data));
    frames.SetFlags(i, 2,
                    static_cast<std::uint8_t>(frames.GetFlags(i, 2) & ~frameflags::kEncryption));
}

std::vector<std::uint8_t> TextFrameData(std::string_view text, std::uint8_t majorVersion)
{
    const std::uint8_t encoding =
        ChooseEncoding(textencoding::kLatin1, FitsLatin1(text), majorVersion);
    std::vector<std::uint8_t> data{encoding};
    Append(data, EncodeText(text, encoding));
    return data;
}

// The three language bytes as written: ISO-8859-1, padded with zero bytes.
std::string LanguageBytes(std::string_view language)
{
    std::string bytes = Utf8ToLatin1(language);
    bytes.resize(kLanguageSize, '\0');
    return bytes;
}

std::vector<std::uint8_t> CommentFrameData(const COMM& comment, std::uint8_t majorVersion)
{
    std::string_view description = comment.Description;
    if (description.ends_with('\0')) {
        description.remove_suffix(1); // the terminator is written below
    }
    const bool fits = FitsLatin1(description) && FitsLatin1(comment.Text);
    const std::uint8_t encoding = ChooseEncoding(comment.Encoding, fits, majorVersion);
    const std::string language = LanguageBytes(comment.Language);

    std::vector<std::uint8_t> data{encoding};
    data.insert(data.end(), language.begin(), language.end());
    Append(data, EncodeText(description, encoding));
    const std::size_t terminatorSize =
        encoding == textencoding::kLatin1 || encoding == textencoding::kUtf8 ? 1 : 2;
    data.insert(data.end(), terminatorSize, 0x00);
    Append(data, EncodeText(comment.Text, encoding));
    return data;
}

std::size_t CharacterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// What the comment walk needs of one comment frame before its text.
struct CommentHead
{
    std::uint8_t Encoding = 0;
    std::string Language;
    std::string Description;
    std::size_t TextStart = 0;
};

TextResult ReadCommentHead(TFrameIndex& frames, std::uint32_t i, CommentHead& head)
{
    const TextResult prepared = PrepareForReading(frames, i);
    if (prepared != textresult::kOk) {
        return prepared;
    }
    const std::vector<std::uint8_t>& data = frames.Record(i).Data;
    std::size_t consumed = 0;
    const TextResult result =
        DecodeText(data, kCommentHeaderSize, false, head.Description, data[0], consumed);
    if (result != textresult::kOk) {
        return result;
    }
    // Decoding starts behind the language, so the data holds all of it here.
    if (head.Description.ends_with('\0')) {
        head.Description.pop_back();
    }
    head.Encoding = data[0];
    head.Language = Latin1ToUtf8(std::string(data.begin() + 1, data.begin() + 4));
    head.TextStart = kCommentHeaderSize + consumed;
    return textresult::kOk;
}

bool Matches(const CommentHead& head, std::string_view description, std::string_view language)
{
    return head.Description == description &&
           (CharacterCount(language) != kLanguageSize || head.Language == language);
}

// Walks the comment frames to the first one that matches the filters, passing
// over those that cannot be decoded. Returns its index in `match` (0 when none
// matches) and kOk, or kNotFound.
TextResult FindComment(TFrameIndex& frames, std::string_view description, std::string_view language,
                       std::uint32_t& match, CommentHead& head)
{
    match = 0;
    std::size_t inflated = 0;
    for (std::uint32_t i = 1; i <= frames.Count(); ++i) {
        if (!SameId(frames.ID(i), kCommentId)) {
            continue;
        }
        const bool compressed = frames.StoredCompression(i);
        if (compressed && inflated >= kCommentWalkInflation) {
            continue; // read no further compressed comments
        }
        head = CommentHead{};
        const TextResult result = ReadCommentHead(frames, i, head);
        if (compressed && !frames.StoredCompression(i)) {
            inflated += frames.DataSize(i);
        }
        if (result != textresult::kOk) {
            // A comment that cannot be decoded matches no filter that can be
            // given; it is kept as it is, and the walk goes on.
            continue;
        }
        if (Matches(head, description, language)) {
            match = i;
            return textresult::kOk;
        }
    }
    return textresult::kNotFound;
}

TextResult CheckComment(const COMM& comment)
{
    if (comment.Encoding > textencoding::kUtf8) {
        return textresult::kBadCommentEncoding;
    }
    for (const char c : LanguageBytes(comment.Language)) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return textresult::kBadLanguage;
        }
    }
    return textresult::kOk;
}

} // namespace

TextResult Tid3v2tag::GetTextFrame(std::string_view id, std::string& text)
{
    text.clear();
    if (!IsTextFrameId(id)) {
        return textresult::kNotTextFrame;
    }
    const std::uint32_t i = Frames.Find(id);
    if (i == 0) {
        return textresult::kNotFound;
    }
    const TextResult prepared = PrepareForReading(Frames, i);
    if (prepared != textresult::kOk) {
        return prepared;
    }
    const std::vector<std::uint8_t>& data = Frames.Record(i).Data;
    std::size_t limit = 0;
    return DecodeText(data, 1, false, text, data[0], limit);
}

TextResult Tid3v2tag::SetTextFrame(std::string_view id, std::string_view text)
{
    if (!IsTextFrameId(id) || !IsStorableId(id)) {
        return textresult::kNotTextFrame;
    }
    std::uint32_t i = Frames.Find(id);
    if (text.empty()) {
        if (i == 0) {
            return textresult::kOk;
        }
        Frames.DeleteFrame(i);
        return textresult::kRemoved;
    }
    if (i == 0) {
        i = Frames.AddFrame(id);
    }
    StoreFrameData(Frames, i, TextFrameData(text, MajorVersion));
    return textresult::kOk;
}

TextResult Tid3v2tag::GetComment(COMM& comment, std::string_view description,
                                 std::string_view language)
{
    comment = COMM{};
    comment.Language.clear();
    std::uint32_t match = 0;
    CommentHead head;
    const TextResult found = FindComment(Frames, description, language, match, head);
    if (found != textresult::kOk) {
        return found;
    }
    comment.Encoding = head.Encoding;
    comment.Language = head.Language;
    comment.Description = head.Description;
    std::size_t limit = 0;
    return DecodeText(Frames.Record(match).Data, head.TextStart, true, comment.Text, head.Encoding,
                      limit);
}

TextResult Tid3v2tag::SetComment(const COMM& comment, std::string_view description,
                                 std::string_view language)
{
    std::uint32_t match = 0;
    CommentHead head;
    const TextResult found = FindComment(Frames, description, language, match, head);
    if (found != textresult::kOk && found != textresult::kNotFound) {
        return found;
    }
    if (match == 0 && comment.Text.empty()) {
        return textresult::kOk;
    }
    const TextResult checked = CheckComment(comment);
    if (checked != textresult::kOk) {
        return checked;
    }
    if (comment.Text.empty()) {
        Frames.DeleteFrame(match);
        return textresult::kRemoved;
    }
    if (match == 0) {
        match = Frames.AddFrame(kCommentId);
    }
    StoreFrameData(Frames, match, CommentFrameData(comment, MajorVersion));
    return textresult::kOk;
}

TextResult Tid3v2tag::GetYear(std::string& text)
{
    const TextResult result = GetTextFrame("TYER", text);
    if (result == textresult::kNotFound && MajorVersion == 4) {
        return GetTextFrame("TDRC", text);
    }
    return result;
}

TextResult Tid3v2tag::SetYear(std::string_view text)
{
    if (MajorVersion != 4) {
        return SetTextFrame("TYER", text);
    }
    // Version 4 keeps the year in TDRC. A TYER that such a tag carries anyway
    // is what GetYear reads first, so it gets the same text.
    if (Frames.Find("TYER") != 0) {
        SetTextFrame("TYER", text);
    }
    return SetTextFrame("TDRC", text);
}

} // namespace varnello
