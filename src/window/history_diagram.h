// The timing diagram drawn on a surface: the names at the left, clock
// times at the top, and per row and pixel column what the signal did: a red
// band while on, a line while off, grey while the server was stopped, a
// black stroke where it changed within the column; the two cursors as lines
// with their clock times on the axis.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "history/time_view.h"
#include "history/timeline.h"
#include "platform/ui.h"

// Where the diagram's parts lie in the surface, in pixels.
struct DiagramGeometry {
    int width = 0;
    int height = 0;
    int labelWidth = 0;  // the names' column at the left
    int axisHeight = 0;  // the clock times at the top
    int rows = 0;
    int plotWidth() const { return width > labelWidth ? width - labelWidth : 1; }
    int rowHeight() const;
    // The row under y; nothing above or below the rows.
    std::optional<int> rowAt(int y) const;
};

namespace diagram_colours {
inline constexpr ui::Color on = ui::rgb(255, 0, 0);  // the lamp's red
inline constexpr ui::Color off = ui::rgb(0, 0, 0);
inline constexpr ui::Color stopped = ui::rgb(127, 127, 127);  // the stopped lamp's grey
inline constexpr ui::Color edge = ui::rgb(0, 0, 0);
inline constexpr ui::Color background = ui::rgb(255, 255, 255);
inline constexpr ui::Color grid = ui::rgb(224, 224, 224);
inline constexpr ui::Color text = ui::rgb(0, 0, 0);
inline constexpr ui::Color cursorA = ui::rgb(0, 0, 255);
inline constexpr ui::Color cursorB = ui::rgb(0, 150, 0);
// Behind the name of the row the cursors' keys move along.
inline constexpr ui::Color chosenRow = ui::rgb(220, 232, 255);
}  // namespace diagram_colours

struct DiagramContent {
    DiagramGeometry geometry;
    const history::Timeline* timeline = nullptr;
    const history::TimeView* view = nullptr;
    std::vector<std::string> names;  // CP932, one per row
    std::optional<history::TimeMs> cursorA;
    std::optional<history::TimeMs> cursorB;
    std::optional<int> chosenRow;
    std::optional<int> pointerX;  // in the surface
};

void drawDiagram(ui::Painter& painter, const DiagramContent& content);

// The band of a row: from top to top + height.
struct Band {
    int top = 0;
    int height = 0;
};
Band bandOf(const DiagramGeometry& geometry, int row);
