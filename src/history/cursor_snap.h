// Where a cursor lands when it is placed: on the change of the row under
// the pointer when the change is near enough to be what the user aimed at.
#pragma once

#include "history/timeline.h"

namespace history {

// How many pixel columns from the pointer a change still catches a cursor.
inline constexpr double snapColumns = 4;

// The nearest change of row when it lies within snapColumns columns of
// msPerColumn each, else the pointer's own time.
TimeMs snapCursor(const Timeline& timeline, TimeMs pointer, int row, double msPerColumn);

}  // namespace history
