// varnello-tag list: the rows of the Varnello file table for one folder.

#include "Arguments.h"
#include "Commands.h"
#include "Console.h"
#include "FolderReader.h"
#include "JsonWriter.h"
#include "ProgressLine.h"
#include "TextTable.h"

#include <cstdio>

namespace varnello::tagtool {

namespace {

constexpr const char* kListUsage =
    "Usage: varnello-tag list [--json] [DIR]\n"
    "\n"
    "Lists the MP3 files of DIR (default: the working folder) in the order of\n"
    "the Varnello file table, with their tag fields: the ID3v2 values when that\n"
    "tag loads, otherwise the ID3v1 values.\n"
    "\n"
    "  --json    print a JSON array of objects with the keys \"no\", \"tagKind\",\n"
    "            \"fileName\", \"title\", \"artist\", \"album\", \"year\", \"genre\" and\n"
    "            \"comment\"; tagKind: 1 ID3v2 loaded, 2 ID3v1 present, 3 both, 0 none\n"
    "  --help    show this help\n";

std::string RowsAsJson(const std::vector<FileRow>& rows)
{
    JsonWriter json;
    json.BeginArray();
    for (const FileRow& row : rows) {
        json.BeginObject();
        json.StringField("no", std::to_string(row.No));
        json.NumberField("tagKind", row.TagKind);
        json.StringField("fileName", row.FileName);
        json.StringField("title", row.Fields.Title);
        json.StringField("artist", row.Fields.Artist);
        json.StringField("album", row.Fields.Album);
        json.StringField("year", row.Fields.Year);
        json.StringField("genre", row.Fields.Genre);
        json.StringField("comment", row.Fields.Comment);
        json.EndObject();
    }
    json.EndArray();
    return json.Text() + "\n";
}

std::string RowsAsTable(const std::vector<FileRow>& rows)
{
    TextTable table({{"No.", 6, true},
                     {"Tags", 4, true},
                     {"File Name", 40},
                     {"Title", 30},
                     {"Artist", 24},
                     {"Album", 24},
                     {"Year", 10},
                     {"Genre", 16},
                     {"Comment", 40}});
    for (const FileRow& row : rows) {
        const TagFields& f = row.Fields;
        table.AddRow({std::to_string(row.No), std::to_string(row.TagKind), row.FileName, f.Title,
                      f.Artist, f.Album, f.Year, f.Genre, f.Comment});
    }
    return table.Render();
}

} // namespace

int RunList(const std::vector<std::string>& args)
{
    const ParsedArguments parsed = ParseArguments(args, {"json"}, {});
    if (!parsed.Error.empty()) {
        return UsageError("list", parsed.Error);
    }
    if (parsed.Has("help")) {
        WriteOut(kListUsage);
        return exitcode::kOk;
    }
    if (parsed.Operands.size() > 1) {
        return UsageError("list", "give at most one folder");
    }
    const std::string folder = parsed.Operands.empty() ? "." : parsed.Operands.front();

    std::error_code error;
    const std::vector<std::string> names = FolderReader::ListMp3Names(folder, error);
    if (error) {
        PrintError("cannot read folder '" + folder + "': " + error.message());
        return exitcode::kFailure;
    }
    std::vector<FileRow> rows;
    rows.reserve(names.size());
    {
        const FolderReader reader;
        ProgressLine progress("Reading", stderr);
        for (const std::string& name : names) {
            rows.push_back(reader.ReadRow(folder, name, static_cast<int>(rows.size())));
            progress.Update(rows.size(), names.size());
        }
    }
    WriteOut(parsed.Has("json") ? RowsAsJson(rows) : RowsAsTable(rows));
    return exitcode::kOk;
}

} // namespace varnello::tagtool
