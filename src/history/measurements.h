// The figures of one row over a range of the history, as the cursors of the
// history window mark it: measured from the chunks' tallies and the changes
// at the range's edges, so that a range of a million changes costs a few
// thousand chunks and not every change.
#pragma once

#include <cstdint>
#include <optional>

#include "history/timeline.h"

namespace history {

// A figure with nothing to stand on is absent.
struct RowMeasurements {
    std::uint32_t changes = 0;
    std::uint32_t rises = 0;  // OFF to ON
    std::optional<TimeMs> onMs;
    // Of the time the row's state was known: grey time and time before the
    // first change count for neither.
    std::optional<double> onPercent;
    // Over the pulses whose rise and fall both lie in the range.
    std::optional<TimeMs> shortestOnMs;
    std::optional<TimeMs> longestOnMs;
    // Between successive rises in the range.
    std::optional<double> meanPeriodMs;
    bool operator==(const RowMeasurements&) const = default;
};

// Over [from, to), given either way round.
RowMeasurements measureRow(const Timeline& timeline, int row, TimeMs from, TimeMs to);

}  // namespace history
