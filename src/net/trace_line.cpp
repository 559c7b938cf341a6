// The developer trace: a line formatted here goes to the window's hidden
// trace box in Sorrel; Kelvane discards its lines.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "net/window_port.h"
#include "platform/text.h"
#include "variant_constants.h"

namespace net {

namespace {
constexpr std::size_t traceLineBytes = 256;
}

void traceLine(WindowPort& window, const char* format, ...) {
    if constexpr (variant::product == variant::Product::Kelvane) {
        (void)window;
        (void)format;
    } else {
        char line[traceLineBytes];
        va_list args;
        va_start(args, format);
        const int wanted = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        std::string_view kept(line, std::strlen(line));
        // A line cut short ends on a whole character, never half of one.
        if (wanted >= static_cast<int>(sizeof line)) kept = text::truncateCp932(kept, kept.size());
        window.traceText(kept);
    }
}

}  // namespace net
