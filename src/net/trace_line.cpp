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

void appendFormatted(std::string& lines, const char* format, va_list args) {
    char line[traceLineBytes];
    const int wanted = std::vsnprintf(line, sizeof line, format, args);
    std::string_view kept(line, std::strlen(line));
    // A line cut short ends on a whole character, never half of one.
    if (wanted >= static_cast<int>(sizeof line)) kept = text::truncateCp932(kept, kept.size());
    lines += kept;
}

}  // namespace

void traceLine(WindowPort& window, const char* format, ...) {
    if constexpr (variant::product == variant::Product::Kelvane) {
        (void)window;
        (void)format;
    } else {
        std::string line;
        va_list args;
        va_start(args, format);
        appendFormatted(line, format, args);
        va_end(args);
        window.traceText(line);
    }
}

}  // namespace net
