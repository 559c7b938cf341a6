#include "window/measurement_table.h"

#include <algorithm>

#include "history/measurement_text.h"

namespace {

namespace colour = table_colours;

constexpr int cellPadding = 6;

// The cells of every line, the columns' names first.
std::vector<std::vector<std::string>> linesOf(const MeasurementTable& table) {
    std::vector<std::vector<std::string>> lines{history::measurementColumns()};
    for (std::size_t i = 0; i < table.names.size() && i < table.figures.size(); ++i) {
        std::vector<std::string> line{table.names[i]};
        for (std::string& cell : history::measurementCells(table.figures[i])) {
            line.push_back(std::move(cell));
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

void drawMeasurementTable(ui::Painter& painter, const MeasurementTable& table) {
    const ui::Size size = painter.size();
    painter.fillRect({0, 0, size.cx, size.cy}, colour::background);
    const std::vector<std::vector<std::string>> lines = linesOf(table);
    const std::size_t columns = lines.front().size();
    std::vector<int> widths(columns, 0);
    for (const std::vector<std::string>& line : lines) {
        for (std::size_t c = 0; c < columns && c < line.size(); ++c) {
            widths[c] = std::max(widths[c], painter.textExtent(line[c]).cx + 2 * cellPadding);
        }
    }
    const int lineHeight = painter.textExtent("0").cy + 4;
    painter.fillRect({0, 0, size.cx, lineHeight}, colour::header);
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const int top = static_cast<int>(l) * lineHeight;
        if (top >= size.cy) break;
        if (l > 0 && static_cast<int>(l) - 1 == table.chosenRow) {
            painter.fillRect({0, top, size.cx, lineHeight}, colour::chosenRow);
        }
        int x = 0;
        for (std::size_t c = 0; c < columns && c < lines[l].size(); ++c) {
            const std::string& cell = lines[l][c];
            // Names and the columns' names stand at the left, figures at the
            // right of their cells.
            const bool left = c == 0 || l == 0;
            const int textX =
                left ? x + cellPadding : x + widths[c] - cellPadding - painter.textExtent(cell).cx;
            painter.text(textX, top + 2, cell, colour::text);
            x += widths[c];
            painter.line(x - 1, top, x - 1, top + lineHeight - 1, colour::grid);
        }
        painter.line(0, top + lineHeight - 1, size.cx - 1, top + lineHeight - 1, colour::grid);
    }
}
