#include "history/measurements.h"

#include <algorithm>

namespace history {

namespace {

RowMeasurements figuresOf(const RowTally& tally) {
    RowMeasurements m;
    m.changes = tally.changes();
    m.rises = tally.rises();
    if (tally.knownMs() > 0) {
        m.onMs = tally.onMs();
        m.onPercent =
            100.0 * static_cast<double>(tally.onMs()) / static_cast<double>(tally.knownMs());
    }
    if (tally.pulses() > 0) {
        m.shortestOnMs = tally.shortestPulse();
        m.longestOnMs = tally.longestPulse();
    }
    if (tally.rises() > 1) {
        m.meanPeriodMs = static_cast<double>(tally.lastRise() - tally.firstRise()) /
                         static_cast<double>(tally.rises() - 1);
    }
    return m;
}

}  // namespace

RowMeasurements measureRow(const Timeline& timeline, int row, TimeMs from, TimeMs to) {
    if (to < from) std::swap(from, to);
    const RowSet rows = timeline.rows();
    const std::size_t first = timeline.lowerBound(from);
    const std::size_t end = timeline.lowerBound(to);
    RowTally tally(from,
                   first > 0 ? rowStateOf(timeline.at(first - 1), rows, row) : RowState::None);
    for (std::size_t i = first; i < end;) {
        // The first chunk kept has no change before it to begin its tally.
        const bool wholeChunk =
            i > 0 && i % Timeline::chunkSize == 0 && timeline.chunkEnd(i) <= end;
        if (wholeChunk) {
            tally.join(timeline.chunkTally(i, row));
            i = timeline.chunkEnd(i);
        } else {
            const Change& change = timeline.at(i);
            tally.step(change.time, rowStateOf(change, rows, row));
            ++i;
        }
    }
    tally.advanceTo(to);
    return figuresOf(tally);
}

}  // namespace history
