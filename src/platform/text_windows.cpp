// CP932 conversions over the system's code page 932 tables, named
// explicitly so that the result does not depend on the machine's ANSI code
// page. Unconvertible input is replaced character by character, the same
// way on every platform: one replacement per invalid byte or unmapped
// character, one per surrogate pair.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace text {
namespace {

constexpr UINT cp932 = 932;
constexpr wchar_t replacementUnit = 0xFFFD;

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

int narrowLength(std::string_view text) {
    return static_cast<int>(text.size());
}
int wideLength(std::u16string_view text) {
    return static_cast<int>(text.size());
}
const wchar_t* wide(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}

// The whole text, or nothing when any byte sequence is invalid.
std::optional<std::u16string> strictToUtf16(UINT codePage, std::string_view input) {
    if (input.empty()) return std::u16string();
    const int units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, input.data(),
                                          narrowLength(input), nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::u16string output(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, input.data(), narrowLength(input),
                        reinterpret_cast<wchar_t*>(output.data()), units);
    return output;
}

// The whole text, or nothing when any character has no CP932 form.
std::optional<std::string> strictToCp932(std::u16string_view input) {
    if (input.empty()) return std::string();
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(cp932, WC_NO_BEST_FIT_CHARS, wide(input),
                                          wideLength(input), nullptr, 0, "?", &usedDefault);
    if (bytes <= 0 || usedDefault) return std::nullopt;
    std::string output(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(cp932, WC_NO_BEST_FIT_CHARS, wide(input), wideLength(input), output.data(),
                        bytes, "?", &usedDefault);
    if (usedDefault) return std::nullopt;
    return output;
}

std::string utf16ToUtf8(std::u16string_view input) {
    if (input.empty()) return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide(input), wideLength(input), nullptr, 0,
                                          nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string output(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide(input), wideLength(input), output.data(), bytes, nullptr,
                        nullptr);
    return output;
}

// Invalid UTF-8 sequences become U+FFFD, as the system does on its own.
std::u16string utf8ToUtf16(std::string_view input) {
    if (input.empty()) return std::u16string();
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, input.data(), narrowLength(input), nullptr, 0);
    if (units <= 0) return std::u16string();
    std::u16string output(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, input.data(), narrowLength(input),
                        reinterpret_cast<wchar_t*>(output.data()), units);
    return output;
}

}  // namespace

std::u16string cp932ToUtf16(std::string_view cp932Text) {
    if (auto whole = strictToUtf16(cp932, cp932Text)) return *whole;
    std::u16string output;
    output.reserve(cp932Text.size());
    for (std::size_t i = 0; i < cp932Text.size();) {
        const auto lead = static_cast<unsigned char>(cp932Text[i]);
        const bool pair = isLeadByte(lead) && i + 1 < cp932Text.size() &&
                          isTrailByte(static_cast<unsigned char>(cp932Text[i + 1]));
        const std::size_t width = pair ? 2 : 1;
        if (auto character = strictToUtf16(cp932, cp932Text.substr(i, width))) {
            output += *character;
        } else {
            output += static_cast<char16_t>(replacementUnit);
        }
        i += width;
    }
    return output;
}

std::string utf16ToCp932(std::u16string_view utf16) {
    if (auto whole = strictToCp932(utf16)) return *whole;
    std::string output;
    output.reserve(utf16.size() * 2);
    for (std::size_t i = 0; i < utf16.size();) {
        const bool pair =
            isHighSurrogate(utf16[i]) && i + 1 < utf16.size() && isLowSurrogate(utf16[i + 1]);
        if (pair || isHighSurrogate(utf16[i]) || isLowSurrogate(utf16[i])) {
            // CP932 has no character outside the basic plane.
            output += '?';
        } else if (auto character = strictToCp932(utf16.substr(i, 1))) {
            output += *character;
        } else {
            output += '?';
        }
        i += pair ? 2 : 1;
    }
    return output;
}

std::string cp932ToUtf8(std::string_view cp932Text) {
    return utf16ToUtf8(cp932ToUtf16(cp932Text));
}

std::string utf8ToCp932(std::string_view utf8) {
    return utf16ToCp932(utf8ToUtf16(utf8));
}

}  // namespace text
