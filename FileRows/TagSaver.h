#pragma once
// Saves edited fields into files: the tag editor's single-file and multi-file
// saves and the properties view's save. Each file's own ID3v2 tag is loaded
// first so that frames the editors do not touch keep their bytes; fields that
// were not changed are left as they are. An existing ID3v1 tag gets the same
// fields and keeps every other byte; none is ever created, and it is written
// only after the ID3v2 part succeeded, so a failed or refused save changes
// nothing. A file whose ID3v2 tag is there but cannot be read is not saved
// unless the caller asked for it to be replaced.

#include "Cover.h"
#include "FileRow.h"
#include "FolderFlushes.h"
#include "Genres.h"
#include "StatusWord.h"
#include "TagBytes.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace varnello {

struct TagFieldInfo;
class UndoRecorder;

struct SaveResult
{
    bool Id3v2Saved = false;
    varnello::TagKind TagKind = tagkind::kNone; // the row's TagKind after the save
    TagFields Fields;                           // the row's cells after the save
    std::vector<SaveFailure> Failures;
};

// What a repair of a file whose ID3v2 tag cannot be read would keep and lose.
struct UnreadableTag
{
    StatusWord Status;                       // the load's status word
    bool Replaceable = false;                // the tag is there and does not load
    std::vector<std::string> ReadableFrames; // the IDs of the frames a repair keeps
    std::uint64_t UnreadableBytes = 0;       // the rest of the tag, which a repair drops
    std::vector<std::string> LostFrames;     // ID3v2.2 frames without a version 3 form
};

// True when a tag keeps the text as given and reads it back the same: valid
// UTF-8 without control characters, line breaks allowed only in multi-line
// text (the comment).
bool IsStorableFieldText(std::string_view text, bool multiline);
// A track or disc number as a save takes it: digits, optionally followed by
// "/" and the total in digits, each number from 1 to 9999 ("3", "03",
// "3/12"). Empty text, which removes the field, is accepted too.
bool IsValidNumberPair(std::string_view text);
// Whether a save takes `text` for the field: storable text, and for the
// track and the disc a number pair. A save with a value it does not take is
// refused with status kInvalidValue before anything is written.
bool IsValidFieldValue(const TagFieldInfo& field, std::string_view text);
bool AreValidFieldValues(const TagFields& values, FieldMask mask);
// The text with what IsStorableFieldText refuses taken out: tabs and line
// breaks (outside multi-line text) become spaces, other control characters
// go. For editors that clean what is typed or pasted.
std::string StorableFieldText(std::string_view text, bool multiline);

class TagSaver
{
public:
    // SaveSingle and SaveContent save the fields of kAllTagFields whose
    // edited values differ from the row's; the others are kept as they are.
    //
    // The tag editor in single-file mode: `edited` as typed in the dialog. On
    // success the row takes the edited values (the genre trimmed when the file
    // has an ID3v1 tag) and the ID3v2 bit; on failure it keeps its cells and
    // TagKind, and the failure is listed. An existing ID3v1 tag gets the
    // edited values either way.
    //
    // `cover` goes into the ID3v2 tag in the same save as the fields (see
    // CoverEdit); a save whose only change is the cover still saves.
    SaveResult SaveSingle(const std::string& folder, const FileRow& row, const TagFields& edited,
                          const CoverEdit& cover = {});

    // The properties view: like SaveSingle, but the genre cell keeps the text
    // as typed and the TagKind cell keeps its value.
    SaveResult SaveContent(const std::string& folder, const FileRow& row, const TagFields& edited,
                           const CoverEdit& cover = {});

    // The tag editor in multi-file mode and the tool: the fields in `mask`
    // (any of kAllTagFields) are written to every row; rows are updated in
    // place. Failures are listed with the last processed file first. The one
    // cover edit applies to every row.
    std::vector<SaveFailure> SaveMultiple(const std::string& folder, std::vector<FileRow*>& rows,
                                          const TagFields& edited, FieldMask mask,
                                          const CoverEdit& cover = {});

    // A file whose ID3v2 tag is there but does not load is refused (status
    // kUnreadableTag), and so is an ID3v2.2 tag with frames that have no
    // version 3 form (kUnconvertibleFrame), unless this is set: then the tag
    // is replaced by one that keeps every frame that could be read.
    void SetReplaceUnreadable(bool replace) { m_replaceUnreadable = replace; }

    // For a run of many saves: files replaced through a temporary file leave
    // the flush of their folder to `batch` (null: each save flushes its own),
    // which the caller flushes when the run ends.
    void DeferFolderFlushes(FolderFlushes* batch) { m_deferredFlushes = batch; }

    // Each saved file keeps the modification time it had before the save,
    // for players that sort by it.
    void KeepModificationTimes(bool keep) { m_keepModificationTimes = keep; }

    // Each file a save changes is recorded into `recorder` (null: none), so
    // that the change can be undone.
    void RecordUndo(UndoRecorder* recorder) { m_undo = recorder; }

    // What replacing the file's unreadable tag would keep and drop.
    static UnreadableTag InspectUnreadable(const std::string& path);

private:
    // Writes the fields of `id3v2Mask` into the ID3v2 tag and then those of
    // `id3v1Mask` into an existing ID3v1 tag; the cover edit goes into the
    // ID3v2 tag in the same save. Returns the status word.
    StatusWord SaveFile(const std::string& path, const TagFields& values, FieldMask id3v2Mask,
                        FieldMask id3v1Mask, const CoverEdit& cover);

    // Records the change of a file just saved, whose tag bytes before the
    // save are `before`.
    void RecordChange(SaveTarget& target, const std::string& path, TagBytes before);

    GenreLookup m_genres;
    bool m_replaceUnreadable = false;
    FolderFlushes* m_deferredFlushes = nullptr;
    bool m_keepModificationTimes = false;
    UndoRecorder* m_undo = nullptr;
    // The folders whose leftover temporary files this saver has cleared.
    std::set<std::string> m_clearedFolders;
};

} // namespace varnello
