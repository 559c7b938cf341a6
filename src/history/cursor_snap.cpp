#include "history/cursor_snap.h"

#include <cmath>

namespace history {

TimeMs snapCursor(const Timeline& timeline, TimeMs pointer, int row, double msPerColumn) {
    const auto nearest = timeline.nearestChange(pointer, static_cast<RowMask>(1u << row));
    if (!nearest) return pointer;
    const TimeMs time = timeline.at(*nearest).time;
    const auto distance = static_cast<double>(std::llabs(time - pointer));
    return distance <= snapColumns * msPerColumn ? time : pointer;
}

}  // namespace history
