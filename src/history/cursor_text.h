// The pointer line while cursors are placed: the clock times of cursors A
// and B as the pointer line shows a change's time, and the span between
// them.
#pragma once

#include <optional>
#include <string>

#include "history/change.h"

namespace history {

// B less A: "1.500 s" from a second on, "250 ms" below, either sign.
std::string spanText(TimeMs span);

// "A 2024/05/01 09:30:00.250  B 2024/05/01 09:30:01.750  Δ 1.500 s" (CP932);
// a cursor not placed is left out, and the span with it.
std::string cursorLineText(std::optional<TimeMs> a, std::optional<TimeMs> b);

}  // namespace history
