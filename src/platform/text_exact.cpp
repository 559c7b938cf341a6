// The exact conversions, the same on every platform: each conversion marks
// what it cannot convert with U+FFFD (no CP932 character maps to it) or,
// towards CP932, with "?", which the way back tells from the original.
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace text {
namespace {
constexpr std::string_view replacementUtf8 = "\xEF\xBF\xBD";
constexpr char16_t replacementUnit = 0xFFFD;
}  // namespace

std::optional<std::string> cp932ToUtf8Exact(std::string_view cp932) {
    std::string utf8 = cp932ToUtf8(cp932);
    if (utf8.find(replacementUtf8) != std::string::npos) return std::nullopt;
    return utf8;
}

std::optional<std::u16string> cp932ToUtf16Exact(std::string_view cp932) {
    std::u16string utf16 = cp932ToUtf16(cp932);
    if (utf16.find(replacementUnit) != std::u16string::npos) return std::nullopt;
    return utf16;
}

std::optional<std::string> utf8ToCp932Exact(std::string_view utf8) {
    std::string cp932 = utf8ToCp932(utf8);
    if (cp932ToUtf8(cp932) != utf8) return std::nullopt;
    return cp932;
}

std::optional<std::string> utf16ToCp932Exact(std::u16string_view utf16) {
    std::string cp932 = utf16ToCp932(utf16);
    if (cp932ToUtf16(cp932) != utf16) return std::nullopt;
    return cp932;
}

}  // namespace text
