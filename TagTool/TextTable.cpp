#include "TextTable.h"

#include "Utf8.h"

#include <algorithm>

namespace varnello::tagtool {

std::string FitCell(const std::string& text, std::size_t maxWidth)
{
    std::string printable;
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c = NextCodePoint(text, pos);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            c = ' ';
        }
        AppendUtf8(printable, c);
    }
    if (DisplayWidth(printable) <= maxWidth) {
        return printable;
    }
    // Cut so that the text and the ellipsis fit together.
    std::string out;
    std::size_t width = 0;
    for (std::size_t pos = 0; pos < printable.size();) {
        const std::size_t start = pos;
        const auto charWidth =
            static_cast<std::size_t>(CharacterWidth(NextCodePoint(printable, pos)));
        if (width + charWidth + 1 > maxWidth) {
            break;
        }
        out.append(printable, start, pos - start);
        width += charWidth;
    }
    return out + "\u2026";
}

TextTable::TextTable(std::vector<TableColumn> columns) : m_columns(std::move(columns)) {}

void TextTable::AddRow(std::vector<std::string> cells)
{
    cells.resize(m_columns.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i] = FitCell(cells[i], m_columns[i].MaxWidth);
    }
    m_rows.push_back(std::move(cells));
}

std::string TextTable::RenderLine(const std::vector<std::string>& cells,
                                  const std::vector<std::size_t>& widths) const
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::size_t cellWidth = DisplayWidth(cells[i]);
        const std::size_t pad = widths[i] > cellWidth ? widths[i] - cellWidth : 0;
        const bool lastColumn = i + 1 == cells.size();
        if (m_columns[i].AlignRight) {
            line.append(pad, ' ');
            line += cells[i];
        } else {
            line += cells[i];
            if (!lastColumn) {
                line.append(pad, ' ');
            }
        }
        if (!lastColumn) {
            line += "  ";
        }
    }
    // Empty cells at the end leave no trailing blanks.
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    return line;
}

std::string TextTable::HeaderLines(const std::vector<std::size_t>& widths) const
{
    std::vector<std::string> captions;
    std::vector<std::string> rule;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        captions.push_back(FitCell(m_columns[i].Caption, m_columns[i].MaxWidth));
        rule.emplace_back(widths[i], '-');
    }
    return RenderLine(captions, widths) + RenderLine(rule, widths);
}

std::string TextTable::RowLine(std::vector<std::string> cells,
                               const std::vector<std::size_t>& widths) const
{
    cells.resize(m_columns.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i] = FitCell(cells[i], m_columns[i].MaxWidth);
    }
    return RenderLine(cells, widths);
}

std::string TextTable::Render() const
{
    std::vector<std::size_t> widths;
    for (const TableColumn& column : m_columns) {
        widths.push_back(DisplayWidth(FitCell(column.Caption, column.MaxWidth)));
    }
    for (const auto& row : m_rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
        }
    }
    std::string out = HeaderLines(widths);
    for (const auto& row : m_rows) {
        out += RenderLine(row, widths);
    }
    return out;
}

} // namespace varnello::tagtool
