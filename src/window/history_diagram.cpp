#include "window/history_diagram.h"

#include <algorithm>

#include "history/wall_clock.h"

namespace {

namespace colour = diagram_colours;

// What one row shows in one pixel column.
enum class Mark { None, On, Off, Stopped, Edge };

Mark markOf(const history::Column& column, int row) {
    if (!column.known) return Mark::None;
    const auto bit = static_cast<history::RowMask>(1u << row);
    const bool on = (column.seen.on & bit) != 0;
    const bool off = (column.seen.off & bit) != 0;
    const bool grey = (column.seen.grey & bit) != 0;
    if (static_cast<int>(on) + static_cast<int>(off) + static_cast<int>(grey) > 1)
        return Mark::Edge;
    if (on) return Mark::On;
    if (grey) return Mark::Stopped;
    return off ? Mark::Off : Mark::None;
}

// Columns that show the same are drawn as one: the cost follows the pixel
// columns, never the number of changes.
void drawRow(ui::Painter& painter, const DiagramContent& content,
             const std::vector<history::Column>& columns, int row) {
    const DiagramGeometry& g = content.geometry;
    const Band band = bandOf(g, row);
    const int count = static_cast<int>(columns.size());
    for (int start = 0; start < count;) {
        const Mark mark = markOf(columns[static_cast<std::size_t>(start)], row);
        int end = start + 1;
        while (end < count && markOf(columns[static_cast<std::size_t>(end)], row) == mark) ++end;
        const int x = g.labelWidth + start;
        const int width = end - start;
        switch (mark) {
            case Mark::On:
                painter.fillRect({x, band.top, width, band.height}, colour::on);
                break;
            case Mark::Off:
                painter.line(x, band.top + band.height - 1, x + width - 1,
                             band.top + band.height - 1, colour::off);
                break;
            case Mark::Stopped:
                painter.fillRect({x, band.top, width, band.height}, colour::stopped);
                break;
            case Mark::Edge:
                painter.fillRect({x, band.top, width, band.height}, colour::edge);
                break;
            case Mark::None:
                break;
        }
        start = end;
    }
}

void drawAxis(ui::Painter& painter, const DiagramContent& content) {
    const DiagramGeometry& g = content.geometry;
    const history::TimeView& view = *content.view;
    const int spacing = painter.textExtent("00:00:00.000").cx + 16;
    const ui::Size textSize = painter.textExtent("0");
    const int textTop = std::max(0, (g.axisHeight - textSize.cy) / 2);
    // The date of the left edge stands above the names.
    const std::string date = history::formatDateTime(static_cast<history::TimeMs>(view.start()));
    painter.text(4, textTop, date.substr(0, 10), colour::text);
    for (const history::Tick& tick : history::axisTicks(view, spacing)) {
        const int x = g.labelWidth + tick.x;
        painter.line(x, g.axisHeight - 4, x, g.height - 1, colour::grid);
        // A label cut by the right edge is left out.
        if (x + 2 + painter.textExtent(tick.label).cx <= g.width) {
            painter.text(x + 2, textTop, tick.label, colour::text);
        }
    }
    painter.line(0, g.axisHeight - 1, g.width - 1, g.axisHeight - 1, colour::grid);
}

// A cursor's line down the rows and its clock time on the axis, on a
// background of its own so that it reads over the ticks; the label stands
// left of the line when it would leave the diagram on the right.
void drawCursor(ui::Painter& painter, const DiagramContent& content, history::TimeMs time,
                std::string_view name, ui::Color color) {
    const DiagramGeometry& g = content.geometry;
    const double column = content.view->columnOf(static_cast<double>(time));
    if (column < 0 || column >= g.plotWidth()) return;
    const int x = g.labelWidth + static_cast<int>(column);
    const int bottom = g.axisHeight + g.rows * g.rowHeight() - 1;
    painter.line(x, 0, x, bottom, color);
    std::string label(name);
    label.append(" ").append(history::formatDateTime(time).substr(11));
    const ui::Size extent = painter.textExtent(label);
    const int left = x + 3 + extent.cx <= g.width ? x + 3 : x - 3 - extent.cx;
    const int top = std::max(0, (g.axisHeight - extent.cy) / 2);
    painter.fillRect({left - 1, top, extent.cx + 2, extent.cy}, colour::background);
    painter.text(left, top, label, color);
}

}  // namespace

int DiagramGeometry::rowHeight() const {
    if (rows <= 0) return 0;
    return std::max(8, (height - axisHeight) / rows);
}

std::optional<int> DiagramGeometry::rowAt(int y) const {
    if (rows <= 0 || y < axisHeight) return std::nullopt;
    const int row = (y - axisHeight) / rowHeight();
    if (row >= rows) return std::nullopt;
    return row;
}

Band bandOf(const DiagramGeometry& geometry, int row) {
    const int height = geometry.rowHeight();
    const int top = geometry.axisHeight + row * height;
    const int bandHeight = std::max(3, height / 2);
    return {top + (height - bandHeight) / 2, bandHeight};
}

void drawDiagram(ui::Painter& painter, const DiagramContent& content) {
    const DiagramGeometry& g = content.geometry;
    painter.fillRect({0, 0, g.width, g.height}, colour::background);
    if (content.view == nullptr || content.timeline == nullptr) return;
    drawAxis(painter, content);

    const ui::Size textSize = painter.textExtent("0");
    for (int row = 0; row < g.rows; ++row) {
        const int top = g.axisHeight + row * g.rowHeight();
        if (row == content.chosenRow) {
            painter.fillRect({0, top + 1, g.labelWidth, g.rowHeight() - 1}, colour::chosenRow);
        }
        if (row > 0) painter.line(0, top, g.width - 1, top, colour::grid);
        const std::string& name =
            static_cast<std::size_t>(row) < content.names.size() ? content.names[row] : "";
        painter.text(4, top + (g.rowHeight() - textSize.cy) / 2, name, colour::text);
    }

    const history::TimeView& view = *content.view;
    const std::vector<history::Column> columns =
        content.timeline->columns(view.start(), view.msPerColumn(), g.plotWidth());
    for (int row = 0; row < g.rows; ++row) drawRow(painter, content, columns, row);

    const int bottom = g.axisHeight + g.rows * g.rowHeight() - 1;
    if (content.cursorA) drawCursor(painter, content, *content.cursorA, "A", colour::cursorA);
    if (content.cursorB) drawCursor(painter, content, *content.cursorB, "B", colour::cursorB);
    if (content.pointerX && *content.pointerX >= g.labelWidth) {
        painter.line(*content.pointerX, g.axisHeight, *content.pointerX, bottom, colour::grid);
    }
}
