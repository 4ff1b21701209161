#include "CsvExport.h"

#include <utility>

namespace varnello {

namespace {

template <typename TextOf> std::string Record(std::span<const CsvColumn> columns, TextOf textOf)
{
    std::string record;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            record += ',';
        }
        record += CsvField(textOf(columns[i]));
    }
    record += "\r\n";
    return record;
}

} // namespace

CsvColumn NoCsvColumn(std::string caption)
{
    return {std::move(caption), [](const FileRow& row) { return std::to_string(row.No); }};
}

CsvColumn TagKindCsvColumn(std::string caption)
{
    return {std::move(caption),
            [](const FileRow& row) { return std::to_string(static_cast<int>(row.TagKind)); }};
}

CsvColumn FileNameCsvColumn(std::string caption)
{
    return {std::move(caption), [](const FileRow& row) { return row.FileName; }};
}

CsvColumn FieldCsvColumn(const TagFieldInfo& field, std::string caption)
{
    return {std::move(caption),
            [member = field.Member](const FileRow& row) { return row.Fields.*member; }};
}

std::vector<CsvColumn> ListingCsvColumns()
{
    std::vector<CsvColumn> columns{NoCsvColumn("No."), TagKindCsvColumn("Tag Kind"),
                                   FileNameCsvColumn("File Name")};
    for (const TagFieldInfo& field : kAllTagFields) {
        columns.push_back(FieldCsvColumn(field, field.Label));
    }
    return columns;
}

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string CsvHeader(std::span<const CsvColumn> columns)
{
    return Record(columns, [](const CsvColumn& column) { return column.Caption; });
}

std::string CsvRecord(const FileRow& row, std::span<const CsvColumn> columns)
{
    return Record(columns, [&row](const CsvColumn& column) { return column.Cell(row); });
}

std::string RowsToCsv(std::span<const FileRow> rows, std::span<const CsvColumn> columns)
{
    std::string text = CsvHeader(columns);
    for (const FileRow& row : rows) {
        text += CsvRecord(row, columns);
    }
    return text;
}

} // namespace varnello
