// The cut of CP932 text at a character boundary: plain byte rules, the same
// on every platform.
#include <cstddef>
#include <string_view>

#include "platform/text.h"

namespace text {

std::size_t boundaryBefore(std::string_view cp932, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < cp932.size()) {
        const std::size_t width = isLeadByte(static_cast<unsigned char>(cp932[end])) ? 2 : 1;
        // A lead byte whose trail byte is missing is no whole character either.
        if (end + width > maxBytes || end + width > cp932.size()) break;
        end += width;
    }
    return end;
}

}  // namespace text
