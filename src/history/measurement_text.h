// The measurements table as the window shows it and as it is copied: one
// row per signal, its name and then its figures, seconds with three
// decimals, percentages with one, "-" for a figure that is absent. Texts
// are CP932, like the names they carry.
#pragma once

#include <string>
#include <vector>

#include "history/measurements.h"

namespace history {

// "信号", "変化", "立ち上がり", "ON 合計 [s]", "ON 割合 [%]", "最短 ON [s]",
// "最長 ON [s]", "平均周期 [s]".
const std::vector<std::string>& measurementColumns();

// The cells after the signal's name, in the columns' order.
std::vector<std::string> measurementCells(const RowMeasurements& figures);

// The table for the clipboard: the columns' line, then a line for each name
// with the figures of the same place; fields apart by a tab, lines ended by
// CR LF.
std::string measurementTableText(const std::vector<std::string>& names,
                                 const std::vector<RowMeasurements>& figures);

}  // namespace history
