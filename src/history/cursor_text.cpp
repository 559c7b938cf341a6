#include "history/cursor_text.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "history/wall_clock.h"

namespace history {

namespace {

// "Δ" in CP932.
constexpr std::string_view delta = "\x83\xa2";

}  // namespace

std::string spanText(TimeMs span) {
    std::array<char, 32> buffer{};
    if (std::llabs(span) < 1000) {
        std::snprintf(buffer.data(), buffer.size(), "%lld ms", static_cast<long long>(span));
    } else {
        std::snprintf(buffer.data(), buffer.size(), "%.3f s", static_cast<double>(span) / 1000.0);
    }
    return buffer.data();
}

std::string cursorLineText(std::optional<TimeMs> a, std::optional<TimeMs> b) {
    std::string text;
    if (a) text.append("A ").append(formatDateTime(*a));
    if (b) {
        if (!text.empty()) text.append("  ");
        text.append("B ").append(formatDateTime(*b));
    }
    if (a && b) text.append("  ").append(delta).append(" ").append(spanText(*b - *a));
    return text;
}

}  // namespace history
