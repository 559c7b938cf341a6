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

// A cursor in sight: its line's x and its clock time's label on the axis,
// left of the line when it would leave the diagram on the right.
struct CursorMark {
    int x = 0;
    ui::Rect label;
    std::string text;
    ui::Color color;
};

std::optional<CursorMark> cursorMark(ui::Painter& painter, const DiagramContent& content,
                                     std::optional<history::TimeMs> time, std::string_view name,
                                     ui::Color color) {
    if (!time) return std::nullopt;
    const DiagramGeometry& g = content.geometry;
    const double column = content.view->columnOf(static_cast<double>(*time));
    if (column < 0 || column >= g.plotWidth()) return std::nullopt;
    CursorMark mark;
    mark.x = g.labelWidth + static_cast<int>(column);
    // Appended piece by piece: g++ 12 at -O3 sees a false overlap in an
    // assignment of the name followed by appends.
    const std::string clock = history::formatDateTime(*time).substr(11);
    mark.text.append(name.data(), name.size());
    mark.text.push_back(' ');
    mark.text.append(clock);
    mark.color = color;
    const ui::Size extent = painter.textExtent(mark.text);
    const int left = mark.x + 3 + extent.cx <= g.width ? mark.x + 3 : mark.x - 3 - extent.cx;
    mark.label = {left, std::max(0, (g.axisHeight - extent.cy) / 2), extent.cx, extent.cy};
    return mark;
}

bool overlaps(const ui::Rect& a, const ui::Rect& b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

// The axis's clock times leave room for the cursors' own.
void drawAxis(ui::Painter& painter, const DiagramContent& content,
              const std::vector<CursorMark>& cursors) {
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
        // A label cut by the right edge or under a cursor's is left out.
        const ui::Size extent = painter.textExtent(tick.label);
        const ui::Rect place{x + 2, textTop, extent.cx, extent.cy};
        const bool covered = std::any_of(cursors.begin(), cursors.end(), [&](const CursorMark& c) {
            return overlaps(c.label, place);
        });
        if (x + 2 + extent.cx <= g.width && !covered) {
            painter.text(x + 2, textTop, tick.label, colour::text);
        }
    }
    painter.line(0, g.axisHeight - 1, g.width - 1, g.axisHeight - 1, colour::grid);
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
    std::vector<CursorMark> cursors;
    for (auto mark : {cursorMark(painter, content, content.cursorA, "A", colour::cursorA),
                      cursorMark(painter, content, content.cursorB, "B", colour::cursorB)}) {
        if (mark) cursors.push_back(*mark);
    }
    drawAxis(painter, content, cursors);

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
    for (const CursorMark& cursor : cursors) {
        painter.line(cursor.x, 0, cursor.x, bottom, cursor.color);
        const ui::Rect& label = cursor.label;
        painter.fillRect({label.x - 1, label.y, label.cx + 2, label.cy}, colour::background);
        painter.text(label.x, label.y, cursor.text, cursor.color);
    }
    if (content.pointerX && *content.pointerX >= g.labelWidth) {
        painter.line(*content.pointerX, g.axisHeight, *content.pointerX, bottom, colour::grid);
    }
}
