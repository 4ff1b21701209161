#pragma once
// Table rows as CSV text: UTF-8, a header record, fields quoted as RFC 4180
// has it (a field holding a comma, a double quote, CR or LF is put in double
// quotes, its quotes doubled), every record ended by CRLF. File names are
// written as their bytes.

#include "FileRow.h"
#include "TagFieldTable.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnello {

// A column of an export: its header text and the text of a row's cell.
struct CsvColumn
{
    std::string Caption;
    std::function<std::string(const FileRow&)> Cell;
};

CsvColumn NoCsvColumn(std::string caption);
CsvColumn TagKindCsvColumn(std::string caption);
CsvColumn FileNameCsvColumn(std::string caption);
CsvColumn FieldCsvColumn(const TagFieldInfo& field, std::string caption);

// The columns of varnello-tag's listing: "No.", "Tag Kind", "File Name" and
// every field of kAllTagFields under its label.
std::vector<CsvColumn> ListingCsvColumns();

// One field, quoted when it has to be.
std::string CsvField(std::string_view text);
// The header record of the columns, and a row's record.
std::string CsvHeader(std::span<const CsvColumn> columns);
std::string CsvRecord(const FileRow& row, std::span<const CsvColumn> columns);
// The header record and one record per row, in order.
std::string RowsToCsv(std::span<const FileRow> rows, std::span<const CsvColumn> columns);

} // namespace varnello
