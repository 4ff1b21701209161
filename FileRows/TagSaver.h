#pragma once
// Saves edited fields into files: the tag editor's single-file and multi-file
// saves and the properties view's save. Each file's own ID3v2 tag is loaded
// first so that frames the editors do not touch keep their bytes; fields that
// were not changed are left as they are; an existing ID3v1 tag is rewritten
// from the row's cells, and none is ever created.

#include "FileRow.h"
#include "Genres.h"

#include <string>
#include <vector>

namespace varnello {

struct SaveResult
{
    bool Id3v2Saved = false;
    int TagKind = 0;  // the row's TagKind after the save
    TagFields Fields; // the row's cells after the save
    std::vector<SaveFailure> Failures;
};

class TagSaver
{
public:
    // The tag editor in single-file mode: `edited` as typed in the dialog. On
    // success the row takes the edited values (the genre trimmed when the file
    // has an ID3v1 tag) and the ID3v2 bit; on failure it keeps its cells and
    // TagKind, and the failure is listed. An existing ID3v1 tag gets the
    // edited values either way.
    SaveResult SaveSingle(const std::string& folder, const FileRow& row, const TagFields& edited);

    // The properties view: like SaveSingle, but the genre cell keeps the text
    // as typed and the TagKind cell keeps its value.
    SaveResult SaveContent(const std::string& folder, const FileRow& row, const TagFields& edited);

    // The tag editor in multi-file mode: the fields in `mask` are written to
    // every row; rows are updated in place. Failures are listed with the last
    // processed file first.
    std::vector<SaveFailure> SaveMultiple(const std::string& folder, std::vector<FileRow*>& rows,
                                          const TagFields& edited, unsigned mask);

private:
    GenreLookup m_genres;
};

} // namespace varnello
