#include "TagSaver.h"

#include "Mp3Mng.h"
#include "Tid3v2tag.h"

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
    const StatusWord code = loadStatus & 0xFF00u;
    return code == status::kCannotOpen || code == status::kReadError || code == status::kIoError;
}

void SetFields(Tid3v2tag& tag, const TagFields& values, unsigned mask)
{
    if ((mask & fieldmask::kTitle) != 0) {
        tag.SetTextFrame("TIT2", values.Title);
    }
    if ((mask & fieldmask::kArtist) != 0) {
        tag.SetTextFrame("TPE1", values.Artist);
    }
    if ((mask & fieldmask::kAlbum) != 0) {
        tag.SetTextFrame("TALB", values.Album);
    }
    if ((mask & fieldmask::kYear) != 0) {
        tag.SetYear(values.Year);
    }
    if ((mask & fieldmask::kGenre) != 0) {
        tag.SetTextFrame("TCON", values.Genre);
    }
    if ((mask & fieldmask::kComment) != 0) {
        COMM comment;
        comment.Encoding = 0;
        comment.Language = "ENG";
        comment.Text = values.Comment;
        tag.SetComment(comment, "", "None");
    }
}

// Writes the fields into the file's ID3v2 tag. A tag that loads keeps every
// frame it has; only the fields in `changed` are set. A file without a
// loadable tag gets a new version 3 tag with all six fields.
StatusWord WriteId3v2(const std::string& path, const TagFields& values, unsigned changed)
{
    Tid3v2tag tag;
    const StatusWord loaded = tag.LoadFromFile(path, 0);
    if (status::IsSuccess(loaded)) {
        SetFields(tag, values, changed);
        return tag.SaveToFile(path, kOwnValue, kOwnValue, kStartOfFile);
    }
    if (IsAccessFailure(loaded)) {
        return loaded;
    }
    // A fresh object: the failed load may have left frames behind and an
    // error that would refuse every save.
    Tid3v2tag fresh;
    SetFields(fresh, values, fieldmask::kAll);
    return fresh.SaveToFile(path, kOwnValue, kOwnValue, kStartOfFile);
}

// Rewrites the file's ID3v1 tag from the fields. A file that has none (any
// more) is left alone: an ID3v1 tag is never created.
void WriteId3v1(const std::string& path, const TagFields& values, const GenreLookup& genres)
{
    Mp3Mng id3v1;
    id3v1.Open(path);
    if (!id3v1.HasTag()) {
        return;
    }
    id3v1.SetTitle(values.Title);
    id3v1.SetArtist(values.Artist);
    id3v1.SetAlbum(values.Album);
    id3v1.SetYear(values.Year);
    id3v1.SetComment(values.Comment);
    id3v1.SetGenre(genres.TextToGenre(TrimControl(values.Genre)));
    id3v1.WriteTag(); // failures of the ID3v1 write are not reported
}

// The fields whose edited text differs from the row's cell.
unsigned ChangedFields(const TagFields& row, const TagFields& edited)
{
    unsigned mask = 0;
    mask |= row.Title != edited.Title ? fieldmask::kTitle : 0u;
    mask |= row.Artist != edited.Artist ? fieldmask::kArtist : 0u;
    mask |= row.Album != edited.Album ? fieldmask::kAlbum : 0u;
    mask |= row.Year != edited.Year ? fieldmask::kYear : 0u;
    mask |= row.Genre != edited.Genre ? fieldmask::kGenre : 0u;
    mask |= row.Comment != edited.Comment ? fieldmask::kComment : 0u;
    return mask;
}

// The row's cells with the fields in `mask` taken from `edited`.
TagFields Merge(const TagFields& row, const TagFields& edited, unsigned mask)
{
    TagFields merged = row;
    merged.Title = (mask & fieldmask::kTitle) != 0 ? edited.Title : row.Title;
    merged.Artist = (mask & fieldmask::kArtist) != 0 ? edited.Artist : row.Artist;
    merged.Album = (mask & fieldmask::kAlbum) != 0 ? edited.Album : row.Album;
    merged.Year = (mask & fieldmask::kYear) != 0 ? edited.Year : row.Year;
    merged.Genre = (mask & fieldmask::kGenre) != 0 ? edited.Genre : row.Genre;
    merged.Comment = (mask & fieldmask::kComment) != 0 ? edited.Comment : row.Comment;
    return merged;
}

bool HasId3v1(const FileRow& row)
{
    return (row.TagKind & tagkind::kId3v1) != 0;
}

} // namespace

SaveResult TagSaver::SaveSingle(const std::string& folder, const FileRow& row,
                                const TagFields& edited)
{
    const std::string path = JoinPath(folder, row.FileName);
    const StatusWord status = WriteId3v2(path, edited, ChangedFields(row.Fields, edited));

    // With an ID3v1 tag the dialog's genre box takes the trimmed text that
    // the ID3v1 genre was looked up from; the row then shows that text.
    TagFields written = edited;
    if (HasId3v1(row)) {
        written.Genre = TrimControl(edited.Genre);
        // Runs whatever the ID3v2 save gave: the two tags are separate.
        WriteId3v1(path, written, m_genres);
    }

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
                                 const TagFields& edited)
{
    const std::string path = JoinPath(folder, row.FileName);
    const StatusWord status = WriteId3v2(path, edited, ChangedFields(row.Fields, edited));
    if (HasId3v1(row)) {
        WriteId3v1(path, edited, m_genres);
    }

    SaveResult result;
    result.Id3v2Saved = status::IsSuccess(status);
    result.TagKind = row.TagKind;
    if (result.Id3v2Saved) {
        result.Fields = edited;
    } else {
        result.Fields = row.Fields;
        result.Failures.push_back({row.FileName, status});
    }
    return result;
}

std::vector<SaveFailure> TagSaver::SaveMultiple(const std::string& folder,
                                                std::vector<FileRow*>& rows,
                                                const TagFields& edited, unsigned mask)
{
    mask &= fieldmask::kAll;
    std::vector<SaveFailure> failures;
    for (FileRow* row : rows) {
        if (row == nullptr) {
            continue;
        }
        const std::string path = JoinPath(folder, row->FileName);
        // A file without a loadable ID3v2 tag gets all six fields, the row's
        // own where a field is not ticked; one with a tag gets only the
        // ticked fields and keeps the rest as they are.
        const TagFields values = Merge(row->Fields, edited, mask);
        const StatusWord status = WriteId3v2(path, values, mask);
        if (status::IsSuccess(status)) {
            row->Fields = values;
        } else {
            failures.insert(failures.begin(), SaveFailure{row->FileName, status});
        }
        if (HasId3v1(*row)) {
            WriteId3v1(path, row->Fields, m_genres);
        }
    }
    return failures;
}

} // namespace varnello
