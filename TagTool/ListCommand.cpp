// varnello-tag list: the rows of the Varnello file table for one folder.

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "CsvExport.h"
#include "FolderReader.h"
#include "JsonWriter.h"
#include "Platform.h"
#include "ProgressLine.h"
#include "TextTable.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace varnello::tagtool {

namespace {

const std::vector<TableColumn> kColumns{{"No.", 10, true}, {"Tags", 4, true}, {"File Name", 40},
                                        {"Title", 30},     {"Artist", 24},    {"Album", 24},
                                        {"Year", 10},      {"Genre", 16},     {"Comment", 40}};
constexpr std::size_t kNoColumn = 0;
constexpr std::size_t kFileNameColumn = 2;

constexpr const char* kListUsage =
    "Usage: varnello-tag list [--json | --csv] [--recursive] [DIR]\n"
    "       varnello-tag list [--json | --csv] [--recursive] --hex-path HEX\n"
    "\n"
    "Lists the MP3 files of DIR (default: the working folder) in the order of\n"
    "the Varnello file table, with their tag fields: the ID3v2 values when that\n"
    "tag loads, otherwise the ID3v1 values. Rows are printed as they are read.\n"
    "In the table, control characters and bytes that are not UTF-8 in a file\n"
    "name are shown escaped (\\n, \\xFF, a backslash as \\\\).\n"
    "\n"
    "  --json           print a JSON array of objects with the keys \"no\", \"tagKind\",\n"
    "                   \"fileName\", \"title\", \"artist\", \"album\", \"year\", \"genre\",\n"
    "                   \"comment\", \"track\", \"disc\" and \"albumArtist\"; tagKind:\n"
    "                   1 ID3v2 loaded, 2 ID3v1 present, 3 both, 0 none. A file\n"
    "                   name that is not valid UTF-8 also gets \"fileNameHex\", its\n"
    "                   bytes in hex: give it back to any command as --hex-path HEX\n"
    "  --recursive      list the MP3 files of all subfolders too, after those of\n"
    "                   the folder itself, each folder's in turn; the file name is\n"
    "                   the path relative to DIR (\"Live/01.mp3\"). Hidden folders\n"
    "                   are left out, and no folder is listed twice, so a link\n"
    "                   back up makes no loop. A subfolder that cannot be read is\n"
    "                   skipped and named on stderr, and the exit status is 1\n"
    "  --csv            print CSV (UTF-8, CRLF line ends, RFC 4180 quoting): a\n"
    "                   header record, then one record per file with the columns\n"
    "                   No., Tag Kind (as in --json), File Name (its bytes), Title,\n"
    "                   Artist, Album, Year, Genre, Comment, Track, Disc and\n"
    "                   Album artist\n"
    "  --hex-path HEX   the folder given as the hex digits of its name's bytes\n"
    "  --help           show this help\n";

// Column widths known before any row is read: "No." as wide as the last
// number, the file name as wide as the widest name (up to its limit), every
// other column at its limit. The output does not depend on how rows are
// buffered, and no row needs to be held.
std::vector<std::size_t> ColumnWidths(const std::vector<TableColumn>& columns,
                                      const std::vector<std::string>& names)
{
    std::vector<std::size_t> widths;
    for (const TableColumn& column : columns) {
        widths.push_back(std::max(column.MaxWidth, DisplayWidth(column.Caption)));
    }
    widths[kNoColumn] = std::max(DisplayWidth(columns[kNoColumn].Caption),
                                 std::to_string(names.empty() ? 0 : names.size() - 1).size());
    std::size_t nameWidth = DisplayWidth(columns[kFileNameColumn].Caption);
    for (const std::string& name : names) {
        nameWidth = std::max(
            nameWidth, DisplayWidth(FitCell(EscapedText(name), columns[kFileNameColumn].MaxWidth)));
    }
    widths[kFileNameColumn] = nameWidth;
    return widths;
}

void RowAsJson(JsonWriter& json, const FileRow& row)
{
    json.BeginObject();
    json.StringField("no", std::to_string(row.No));
    json.NumberField("tagKind", static_cast<int>(row.TagKind));
    json.StringField("fileName", row.FileName);
    if (!IsValidUtf8(row.FileName)) {
        json.StringField("fileNameHex", HexBytes(row.FileName));
    }
    json.StringField("title", row.Fields.Title);
    json.StringField("artist", row.Fields.Artist);
    json.StringField("album", row.Fields.Album);
    json.StringField("year", row.Fields.Year);
    json.StringField("genre", row.Fields.Genre);
    json.StringField("comment", row.Fields.Comment);
    json.StringField("track", row.Fields.Track);
    json.StringField("disc", row.Fields.Disc);
    json.StringField("albumArtist", row.Fields.AlbumArtist);
    json.EndObject();
}

std::vector<std::string> RowCells(const FileRow& row)
{
    const TagFields& f = row.Fields;
    return {std::to_string(row.No),
            std::to_string(static_cast<int>(row.TagKind)),
            EscapedText(row.FileName),
            f.Title,
            f.Artist,
            f.Album,
            f.Year,
            f.Genre,
            f.Comment};
}

} // namespace

int RunList(const std::vector<std::string>& args)
{
    CommandLine line("list", kListUsage);
    for (const char* name : {"json", "csv", "recursive"}) {
        line.AddSwitch(name);
    }
    if (const std::optional<int> exit = line.Parse(args)) {
        return *exit;
    }
    if (line.Operands().size() > 1) {
        return UsageError("list", "give at most one folder");
    }
    if (line.Has("json") && line.Has("csv")) {
        return UsageError("list", "give --json or --csv, not both");
    }
    const std::string folder = line.Operands().empty() ? "." : line.Operands().front();

    std::error_code error;
    std::vector<FolderReader::SkippedFolder> skipped;
    const std::vector<std::string> names =
        line.Has("recursive") ? FolderReader::ListMp3NamesRecursive(folder, error, skipped)
                              : FolderReader::ListMp3Names(folder, error);
    if (error) {
        PrintError("cannot read folder '" + folder + "': " + error.message());
        return exitcode::kFailure;
    }
    for (const FolderReader::SkippedFolder& subfolder : skipped) {
        PrintError("skipped folder '" + platform::JoinPath(folder, subfolder.Path) +
                   "': " + subfolder.Error.message());
    }
    const bool asJson = line.Has("json");
    const bool asCsv = line.Has("csv");
    const std::vector<CsvColumn> csvColumns =
        asCsv ? ListingCsvColumns() : std::vector<CsvColumn>{};
    const TextTable table(kColumns);
    const std::vector<std::size_t> widths =
        asJson || asCsv ? std::vector<std::size_t>{} : ColumnWidths(kColumns, names);
    JsonWriter json;
    if (asJson) {
        json.BeginArray();
        WriteOut(json.TakeText());
    } else if (asCsv) {
        WriteOut(CsvHeader(csvColumns));
    } else {
        WriteOut(table.HeaderLines(widths));
    }
    {
        // Rows go to stdout as they are read; a progress line on the same
        // terminal would tear them.
        // The files are read by a few readers at once and handed on in
        // table order, a batch at a time.
        ProgressLine progress("Reading", platform::IsTerminal(1) ? nullptr : stderr);
        std::size_t done = 0;
        FolderReader().ReadRows(folder, names, [&](std::vector<FileRow>&& batch) {
            for (const FileRow& row : batch) {
                if (asJson) {
                    RowAsJson(json, row);
                    WriteOut(json.TakeText());
                } else if (asCsv) {
                    WriteOut(CsvRecord(row, csvColumns));
                } else {
                    WriteOut(table.RowLine(RowCells(row), widths));
                }
            }
            done += batch.size();
            progress.Update(done, names.size());
            return std::ferror(stdout) == 0;
        });
    }
    if (asJson) {
        json.EndArray();
        WriteOut(json.TakeText() + "\n");
    }
    return skipped.empty() ? exitcode::kOk : exitcode::kFailure;
}

} // namespace varnello::tagtool
