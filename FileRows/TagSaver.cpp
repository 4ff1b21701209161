#include "TagSaver.h"

#include "FileStream.h"
#include "Mp3Mng.h"
#include "Pictures.h"
#include "SaveJournal.h"
#include "SaveTarget.h"
#include "SaveToFile.h"
#include "TagFieldTable.h"
#include "TextCodec.h"
#include "Tid3v2tag.h"
#include "UndoHistory.h"

#include <array>
#include <optional>

namespace varnello {

namespace {

// Version and revision 255: the tag keeps its own version, so a version 4
// tag stays version 4; a new tag is version 3. A negative offset: the start
// of the file.
constexpr std::uint8_t kOwnValue = 255;
constexpr std::int64_t kStartOfFile = -1;

// Loading failures that mean the file could not be read at all. Its tag is
// then unknown and may well be intact, so nothing is written over it.
bool IsAccessFailure(StatusWord loadStatus)
{
    const StatusWord code = loadStatus.Error();
    return code == status::kCannotOpen || code == status::kReadError || code == status::kIoError;
}

bool IsNoTag(StatusWord loadStatus)
{
    return loadStatus.Error() == status::kNoTag;
}

bool Written(TextResult result)
{
    return result == textresult::kOk || result == textresult::kRemoved;
}

// Sets the fields of the mask; false when one of them could not be set.
bool SetFields(Tid3v2tag& tag, const TagFields& values, FieldMask mask)
{
    bool ok = true;
    for (const TagFieldInfo& field : kAllTagFields) {
        if (!mask.Has(field.Mask)) {
            continue;
        }
        const std::string& value = values.*field.Member;
        if (field.Mask == fieldmask::kComment) {
            COMM comment;
            comment.Encoding = 0;
            comment.Language = "ENG";
            comment.Text = value;
            ok = Written(tag.SetComment(comment, "", "None")) && ok;
        } else if (field.Mask == fieldmask::kYear) {
            ok = Written(tag.SetYear(value)) && ok; // the year frame of the tag's version
        } else {
            ok = Written(tag.SetTextFrame(field.FrameId, value)) && ok;
        }
    }
    return ok;
}

using Tail = std::optional<std::array<std::uint8_t, 128>>;

// A cover edit with the check of its picture, made once before the save.
struct CoverChange
{
    const CoverEdit& Edit;
    ImageCheck Check;
};

// Keeps the old tag's size whenever the new tag fits in it, so that the
// audio moves only when the tag outgrows its space; a growing tag gets room
// to the next block, so that later saves fit.
void KeepTheTagsPlace(Tid3v2tag& tag)
{
    tag.PaddingMode = 1;
    tag.PaddingLimit = tag.PaddingBlock > 1 ? tag.PaddingBlock - 1 : 0;
}

// Saves the tag, or removes it from the file when no frame is left; the
// ID3v1 block goes in with it.
StatusWord StoreTag(Tid3v2tag& tag, SaveTarget& target, const Tail& tail,
                    const SaveOptions& options)
{
    if (tag.Frames.Count() == 0) {
        return RemoveTagFromTarget(target, 0, options, tail);
    }
    KeepTheTagsPlace(tag);
    return SaveTagToTarget(tag, target, kOwnValue, kOwnValue, 0, options, tail);
}

// Puts the cover edit into the tag; false when the tag cannot take the
// picture. Removing a cover that is not there is no failure.
bool ApplyCover(Tid3v2tag& tag, const CoverEdit& cover, const ImageCheck& check)
{
    switch (cover.Action) {
    case CoverAction::kSet:
        return SetFrontCover(tag, cover.Image, check);
    case CoverAction::kRemove:
        RemoveCover(tag);
        return true;
    case CoverAction::kKeep:
        break;
    }
    return true;
}

// The fields of `changed` and the cover edit, set into the tag.
bool SetFieldsAndCover(Tid3v2tag& tag, const TagFields& values, FieldMask changed,
                       const CoverChange& cover)
{
    const bool fields = SetFields(tag, values, changed);
    return ApplyCover(tag, cover.Edit, cover.Check) && fields;
}

// Writes the fields into the file's ID3v2 tag, with the new ID3v1 block. A
// tag that loads keeps every frame it has; only the fields in `changed` are
// set. A file without an ID3v2 tag gets a new version 3 tag with the
// non-empty fields of the window's six and of `changed`. A tag that is
// there but does not load is left alone unless the caller asked for it to be
// replaced; the replacement keeps every frame that could be read.
// The cover edit goes in with the fields, whichever way the tag is made.
StatusWord WriteTags(SaveTarget& target, const TagFields& values, FieldMask changed,
                     const CoverChange& cover, bool replaceUnreadable, const Tail& tail,
                     const SaveOptions& options)
{
    Tid3v2tag tag;
    const StatusWord loaded = LoadTagFromTarget(tag, target, 0);
    if (status::IsSuccess(loaded)) {
        if (replaceUnreadable) {
            // Frames of an ID3v2.2 tag without a counterpart go, as agreed.
            tag.DropUnconvertibleFrames();
        }
        if (!SetFieldsAndCover(tag, values, changed, cover)) {
            return status::kFieldNotSet;
        }
        return StoreTag(tag, target, tail, options);
    }
    if (IsAccessFailure(loaded)) {
        return loaded;
    }
    if (IsNoTag(loaded)) {
        // A fresh object: a failed load may leave settings behind.
        Tid3v2tag fresh;
        if (!SetFieldsAndCover(fresh, values, fieldmask::kAll | changed, cover)) {
            return status::kFieldNotSet;
        }
        // Without a frame to write, only the ID3v1 block may change.
        return StoreTag(fresh, target, tail, options);
    }
    if (!replaceUnreadable) {
        return status::kUnreadableTag;
    }
    // The frames read before the fault stay; the unreadable rest is dropped,
    // as the user agreed.
    tag.LoadStatus = status::kOk;
    tag.DropUnconvertibleFrames();
    if (tag.MajorVersion != 3 && tag.MajorVersion != 4) {
        tag.MajorVersion = 3;
    }
    tag.Revision = 0;
    if (!SetFieldsAndCover(tag, values, changed, cover)) {
        return status::kFieldNotSet;
    }
    return StoreTag(tag, target, tail, options);
}

// The ID3v1 genre for the text of a genre field: a reference such as "(17)"
// or "(17)Rock" as ID3v2 stores it, a number, or a genre name.
std::uint8_t Id3v1Genre(const GenreLookup& genres, const std::string& text)
{
    const std::string trimmed = TrimControl(text);
    if (trimmed.size() > 2 && trimmed.front() == '(') {
        const std::size_t close = trimmed.find(')');
        const std::string number = trimmed.substr(1, close == std::string::npos ? 0 : close - 1);
        if (!number.empty() && number.size() <= 3 &&
            number.find_first_not_of("0123456789") == std::string::npos &&
            std::stoi(number) < 256) {
            return static_cast<std::uint8_t>(std::stoi(number));
        }
    }
    return genres.TextToGenre(trimmed);
}

// The number before any "/" of a track text that IsValidNumberPair takes;
// 0 for empty text.
unsigned LeadingNumber(std::string_view text)
{
    unsigned number = 0;
    for (std::size_t i = 0; i < text.size() && text[i] != '/'; ++i) {
        number = number * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return number;
}

// The file's ID3v1 block with the fields of the mask changed and every other
// byte kept, read through the locked file; none when the file has no ID3v1
// tag (one is never created) or nothing in it changes.
Tail NewId3v1Block(const std::string& path, SaveTarget& target, const TagFields& values,
                   FieldMask mask, const GenreLookup& genres)
{
    Mp3Mng id3v1;
    id3v1.Open(path, target.File());
    if (!id3v1.HasTag() || mask.Empty()) {
        return std::nullopt;
    }
    const std::array<std::uint8_t, 128> before = id3v1.TagBuffer;
    if (mask.Has(fieldmask::kTitle)) {
        id3v1.SetTitle(values.Title);
    }
    if (mask.Has(fieldmask::kArtist)) {
        id3v1.SetArtist(values.Artist);
    }
    if (mask.Has(fieldmask::kAlbum)) {
        id3v1.SetAlbum(values.Album);
    }
    if (mask.Has(fieldmask::kYear)) {
        id3v1.SetYear(values.Year);
    }
    if (mask.Has(fieldmask::kComment)) {
        id3v1.SetComment(values.Comment);
    }
    if (mask.Has(fieldmask::kGenre)) {
        id3v1.SetGenre(Id3v1Genre(genres, values.Genre));
    }
    // A track number the 1.1 layout cannot hold (none, or above 255) leaves
    // the track bytes as they are.
    if (const unsigned track = LeadingNumber(values.Track);
        mask.Has(fieldmask::kTrack) && track >= 1 && track <= 255) {
        id3v1.SetTrack(static_cast<std::uint8_t>(track));
    }
    if (id3v1.TagBuffer == before) {
        return std::nullopt;
    }
    return id3v1.TagBuffer;
}

bool HasId3v1(const FileRow& row)
{
    return Has(row.TagKind, tagkind::kId3v1);
}

// The row's cells with the fields in `mask` taken from `edited`.
TagFields Merge(const TagFields& row, const TagFields& edited, FieldMask mask)
{
    TagFields merged = row;
    for (const TagFieldInfo& field : kAllTagFields) {
        if (mask.Has(field.Mask)) {
            merged.*field.Member = edited.*field.Member;
        }
    }
    return merged;
}

} // namespace

bool IsStorableFieldText(std::string_view text, bool multiline)
{
    if (!IsValidUtf8(text)) {
        return false;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool lineBreak = c == '\n' || c == '\r';
        if (byte < 0x20 && !(multiline && lineBreak)) {
            return false;
        }
    }
    return true;
}

bool IsValidNumberPair(std::string_view text)
{
    if (text.empty()) {
        return true;
    }
    const std::size_t slash = text.find('/');
    const auto isNumber = [](std::string_view digits) {
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
            return false;
        }
        const std::size_t first = digits.find_first_not_of('0');
        // Past leading zeros, at most four digits: 1 to 9999.
        return first != std::string_view::npos && digits.size() - first <= 4;
    };
    return isNumber(text.substr(0, slash)) &&
           (slash == std::string_view::npos || isNumber(text.substr(slash + 1)));
}

bool IsValidFieldValue(const TagFieldInfo& field, std::string_view text)
{
    return IsStorableFieldText(text, field.Multiline) &&
           (!IsNumberPairField(field) || IsValidNumberPair(text));
}

bool AreValidFieldValues(const TagFields& values, FieldMask mask)
{
    for (const TagFieldInfo& field : kAllTagFields) {
        if (mask.Has(field.Mask) && !IsValidFieldValue(field, values.*field.Member)) {
            return false;
        }
    }
    return true;
}

std::string StorableFieldText(std::string_view text, bool multiline)
{
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text) {
        const bool lineBreak = c == '\n' || c == '\r';
        if (static_cast<unsigned char>(c) >= 0x20 || (multiline && lineBreak)) {
            kept.push_back(c);
        } else if (c == '\t' || lineBreak) {
            kept.push_back(' ');
        }
    }
    return kept;
}

StatusWord TagSaver::SaveFile(const std::string& path, const TagFields& values, FieldMask id3v2Mask,
                              FieldMask id3v1Mask, const CoverEdit& cover)
{
    if (!AreValidFieldValues(values, id3v2Mask | id3v1Mask)) {
        return status::kInvalidValue;
    }
    CoverChange coverChange{cover, {}};
    if (cover.Action == CoverAction::kSet) {
        coverChange.Check = CheckImage(cover.Image);
        if (coverChange.Check.Format == ImageFormat::kNone) {
            return status::kInvalidValue;
        }
    }
    // Held from the load to the end of the save: no other save of the file
    // runs in between, and nothing is written into another file.
    SaveTarget target;
    if (const StatusWord opened = target.Open(path); !status::IsSuccess(opened)) {
        return opened;
    }
    RecoverLockedFile(target);
    if (m_clearedFolders.insert(target.FolderPath()).second) {
        RemoveLeftoverTemporaries(target.FolderPath());
    }
    const Tail tail = NewId3v1Block(path, target, values, id3v1Mask, m_genres);
    SaveOptions options;
    options.DeferredFolderFlushes = m_deferredFlushes;
    options.KeepModificationTime = m_keepModificationTimes;
    TagBytes before;
    const StatusWord read =
        m_undo != nullptr ? ReadTagBytes(target, m_undo->Room(), before) : status::kOk;
    if (read == status::kTagTooLarge) {
        m_undo->Overflow(); // a tag beyond the room left: the step cannot be undone
    }
    const StatusWord saved =
        WriteTags(target, values, id3v2Mask, coverChange, m_replaceUnreadable, tail, options);
    if (m_undo != nullptr && status::IsSuccess(saved)) {
        if (status::IsSuccess(read)) {
            RecordChange(target, path, std::move(before));
        } else {
            m_undo->Missed(path);
        }
    }
    return saved;
}

void TagSaver::RecordChange(SaveTarget& target, const std::string& path, TagBytes before)
{
    TagBytes after;
    const std::uint64_t room = m_undo->Room();
    const std::uint64_t left = room > before.MemorySize() ? room - before.MemorySize() : 0;
    const StatusWord read = ReadTagBytesAfterSave(target, left, after);
    if (read == status::kTagTooLarge) {
        m_undo->Overflow();
    } else if (!status::IsSuccess(read)) {
        m_undo->Missed(path);
    } else if (after != before) {
        m_undo->Add({path, std::move(before), std::move(after)});
    }
}

SaveResult TagSaver::SaveSingle(const std::string& folder, const FileRow& row,
                                const TagFields& edited, const CoverEdit& cover)
{
    // With an ID3v1 tag the dialog's genre box takes the trimmed text that
    // the ID3v1 genre was looked up from; the row then shows that text.
    const FieldMask changed = ChangedFieldMask(row.Fields, edited);
    TagFields written = Merge(row.Fields, edited, fieldmask::kAll | changed);
    if (HasId3v1(row)) {
        written.Genre = TrimControl(edited.Genre);
    }
    // Both tags get the text as typed: the ID3v1 fields trim it anyway.
    const StatusWord status =
        SaveFile(JoinPath(folder, row.FileName), edited, changed, changed, cover);

    SaveResult result;
    result.Id3v2Saved = status::IsSuccess(status);
    if (result.Id3v2Saved) {
        result.TagKind = row.TagKind | tagkind::kId3v2;
        result.Fields = written;
    } else {
        result.TagKind = row.TagKind;
        result.Fields = row.Fields;
        result.Failures.push_back({row.FileName, status});
    }
    return result;
}

SaveResult TagSaver::SaveContent(const std::string& folder, const FileRow& row,
                                 const TagFields& edited, const CoverEdit& cover)
{
    const FieldMask changed = ChangedFieldMask(row.Fields, edited);
    const StatusWord status =
        SaveFile(JoinPath(folder, row.FileName), edited, changed, changed, cover);

    SaveResult result;
    result.Id3v2Saved = status::IsSuccess(status);
    result.TagKind = row.TagKind;
    if (result.Id3v2Saved) {
        result.Fields = Merge(row.Fields, edited, fieldmask::kAll | changed);
    } else {
        result.Fields = row.Fields;
        result.Failures.push_back({row.FileName, status});
    }
    return result;
}

std::vector<SaveFailure> TagSaver::SaveMultiple(const std::string& folder,
                                                std::vector<FileRow*>& rows,
                                                const TagFields& edited, FieldMask mask,
                                                const CoverEdit& cover)
{
    std::vector<SaveFailure> failures;
    for (FileRow* row : rows) {
        if (row == nullptr) {
            continue;
        }
        // A file without an ID3v2 tag gets the window's six fields and the
        // ticked ones, the row's own where a field is not ticked; one with a
        // tag gets only the ticked fields and keeps the rest as they are.
        const TagFields values = Merge(row->Fields, edited, mask);
        const StatusWord status =
            SaveFile(JoinPath(folder, row->FileName), values, mask, mask, cover);
        if (status::IsSuccess(status)) {
            row->Fields = values;
        } else {
            failures.insert(failures.begin(), SaveFailure{row->FileName, status});
        }
    }
    return failures;
}

UnreadableTag TagSaver::InspectUnreadable(const std::string& path)
{
    UnreadableTag report;
    Tid3v2tag tag;
    const StatusWord loaded = tag.LoadFromFile(path, 0);
    report.Status = loaded;
    if (status::IsSuccess(loaded) && !tag.UnconvertibleFrames.empty()) {
        // It loads, but a save would refuse to drop the frames it cannot
        // convert: those are what a replacement loses.
        report.Status = status::kUnconvertibleFrame;
        report.Replaceable = true;
        report.LostFrames = tag.UnconvertibleFrames;
        for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
            report.ReadableFrames.push_back(std::string(tag.Frames.ID(i)));
        }
        return report;
    }
    if (status::IsSuccess(loaded) || IsNoTag(loaded) || IsAccessFailure(loaded)) {
        return report;
    }
    report.Replaceable = true;
    tag.DropUnconvertibleFrames();
    std::uint64_t kept = 0;
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        report.ReadableFrames.push_back(std::string(tag.Frames.ID(i)));
        kept += 10 + tag.Frames.DataSize(i);
    }
    const std::uint64_t declared = std::uint64_t{tag.TagSize} + 10;
    report.UnreadableBytes = declared > kept ? declared - kept : 0;
    return report;
}

} // namespace varnello
