// The measurements table under the timing diagram, drawn on a surface: the
// columns' names on a grey line, then one line per signal row with its name
// and its figures, the figures right-aligned so that their decimals line up.
#pragma once

#include <string>
#include <vector>

#include "history/measurements.h"
#include "platform/ui.h"
#include "window/history_diagram.h"

namespace table_colours {
inline constexpr ui::Color background = ui::rgb(255, 255, 255);
inline constexpr ui::Color header = ui::rgb(236, 236, 236);
inline constexpr ui::Color grid = ui::rgb(200, 200, 200);
inline constexpr ui::Color text = ui::rgb(0, 0, 0);
// The row that Up and Down have chosen for the cursors' keys, as the
// diagram marks it.
inline constexpr ui::Color chosenRow = diagram_colours::chosenRow;
}  // namespace table_colours

struct MeasurementTable {
    std::vector<std::string> names;  // CP932, one per row
    std::vector<history::RowMeasurements> figures;
    int chosenRow = -1;
};

void drawMeasurementTable(ui::Painter& painter, const MeasurementTable& table);
