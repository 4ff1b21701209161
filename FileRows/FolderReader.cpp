#include "FolderReader.h"

#include "FileStream.h"
#include "Genres.h"
#include "Mp3Mng.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace varnello {

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasMp3Extension(const std::string& name)
{
    static constexpr std::string_view kExtension = ".mp3";
    if (name.size() < kExtension.size()) {
        return false;
    }
    const std::size_t start = name.size() - kExtension.size();
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        if (LowerAscii(name[start + i]) != kExtension[i]) {
            return false;
        }
    }
    return true;
}

// The sort key of a name: ASCII letters folded to lower case.
std::string FoldedName(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded) {
        c = LowerAscii(c);
    }
    return folded;
}

// Case-insensitive order; names that differ only in case keep a fixed order
// by their bytes. Bytes compare unsigned, so UTF-8 names sort after ASCII by
// code point.
void SortNames(std::vector<std::string>& names)
{
    const auto unsignedLess = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            });
    };
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        keyed.emplace_back(FoldedName(name), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) {
            return unsignedLess(a.first, b.first);
        }
        return unsignedLess(a.second, b.second);
    });
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = std::move(keyed[i].second);
    }
}

void ReadId3v2Cells(Tid3v2tag& tag, TagFields& fields)
{
    tag.GetTextFrame("TIT2", fields.Title);
    tag.GetTextFrame("TPE1", fields.Artist);
    tag.GetTextFrame("TALB", fields.Album);
    tag.GetYear(fields.Year);
    tag.GetTextFrame("TCON", fields.Genre);
    COMM comment;
    tag.GetComment(comment, "", "None");
    fields.Comment = comment.Text;
    // A failed decode may leave the part read before the fault; it is shown
    // as it is, like any other text.
    for (std::string* cell : {&fields.Title, &fields.Artist, &fields.Album, &fields.Year,
                              &fields.Genre, &fields.Comment}) {
        *cell = TrimControl(*cell);
    }
}

void ReadId3v1Cells(const Mp3Mng& id3v1, TagFields& fields)
{
    id3v1.GetTitle(fields.Title);
    id3v1.GetArtist(fields.Artist);
    id3v1.GetAlbum(fields.Album);
    id3v1.GetYear(fields.Year);
    id3v1.GetComment(fields.Comment);
    const std::uint8_t genre = id3v1.GetGenre();
    // Genre 0 would be "Blues" in the list, but the table shows it empty.
    fields.Genre = genre == 0 ? std::string() : GenreToText(genre);
}

} // namespace

std::vector<std::string> FolderReader::ListMp3Names(const std::string& folder)
{
    std::error_code ignored;
    return ListMp3Names(folder, ignored);
}

std::vector<std::string> FolderReader::ListMp3Names(const std::string& folder,
                                                    std::error_code& error)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    error.clear();
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), error);
    if (error) {
        return names;
    }
    while (!error && it != fs::directory_iterator()) {
        std::string name = it->path().filename().string();
        std::error_code statError;
        // Follows symbolic links: a link to an MP3 file is listed like the file.
        if (!name.empty() && name.front() != '.' && HasMp3Extension(name) &&
            it->is_regular_file(statError)) {
            names.push_back(std::move(name));
        }
        it.increment(error);
    }
    if (error) {
        names.clear();
        return names;
    }
    SortNames(names);
    return names;
}

FileRow FolderReader::ReadRow(const std::string& folder, const std::string& fileName, int no) const
{
    FileRow row;
    row.No = no;
    row.FileName = fileName;
    const std::string path = JoinPath(folder, fileName);

    // One open serves both tags. A file that cannot be opened, or that is not
    // a regular file, has neither tag: both loads would fail to open it too.
    FileAttributes attributes;
    FileStream file;
    try {
        file = FileStream::OpenRegularForReading(path, attributes);
    } catch (const EFileOpenError&) {
        return row;
    }
    // Fresh objects for every file: nothing of the previous file can show.
    Tid3v2tag tag;
    if (status::IsSuccess(tag.LoadFromOpenFile(file, attributes, path, 0))) {
        row.TagKind |= tagkind::kId3v2;
    }
    // Open reads the tag; asking ReadTag again would only repeat that read
    // for a file without one and give the same answer.
    Mp3Mng id3v1;
    id3v1.Open(path, file);
    if (id3v1.HasTag()) {
        row.TagKind |= tagkind::kId3v1;
    }

    if ((row.TagKind & tagkind::kId3v2) != 0) {
        ReadId3v2Cells(tag, row.Fields);
    } else if (row.TagKind == tagkind::kId3v1) {
        ReadId3v1Cells(id3v1, row.Fields);
    }
    return row;
}

std::vector<FileRow> FolderReader::ReadFolder(const std::string& folder,
                                              const Progress& progress) const
{
    const std::vector<std::string> names = ListMp3Names(folder);
    std::vector<FileRow> rows;
    rows.reserve(names.size());
    for (const std::string& name : names) {
        rows.push_back(ReadRow(folder, name, static_cast<int>(rows.size())));
        if (progress && !progress(rows.size(), names.size())) {
            break;
        }
    }
    return rows;
}

} // namespace varnello
