#pragma once
// A plain-text table with aligned columns for a terminal: cells are cut to a
// column's maximum width with "…", control characters become blanks, and
// wide characters count as two columns.

#include <cstddef>
#include <string>
#include <vector>

namespace varnello::tagtool {

struct TableColumn
{
    std::string Caption;
    std::size_t MaxWidth = 40;
    bool AlignRight = false;
};

class TextTable
{
public:
    explicit TextTable(std::vector<TableColumn> columns);

    // A row with one cell per column (missing cells are empty).
    void AddRow(std::vector<std::string> cells);
    // The caption line, a rule and the rows, each line ending in '\n'; the
    // columns are as wide as their widest cell.
    std::string Render() const;

    // For rows printed as they come, without holding them: the caption line
    // and the rule, then one row at a time, with the given column widths (a
    // wider cell is not padded).
    std::string HeaderLines(const std::vector<std::size_t>& widths) const;
    std::string RowLine(std::vector<std::string> cells,
                        const std::vector<std::size_t>& widths) const;

private:
    std::string RenderLine(const std::vector<std::string>& cells,
                           const std::vector<std::size_t>& widths) const;

    std::vector<TableColumn> m_columns;
    std::vector<std::vector<std::string>> m_rows;
};

// The cell text made printable on one line and cut to at most `maxWidth`
// columns, with "…" marking a cut.
std::string FitCell(const std::string& text, std::size_t maxWidth);

} // namespace varnello::tagtool
