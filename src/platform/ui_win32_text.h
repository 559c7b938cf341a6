// Text at the edge between the program and the wide Win32 calls: CP932
// inside, UTF-16 for the system, converted explicitly so that nothing
// depends on the machine's ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/text.h"

namespace ui::win32 {

inline std::wstring wideFromCp932(std::string_view cp932) {
    const std::u16string units = text::cp932ToUtf16(cp932);
    return std::wstring(units.begin(), units.end());
}

inline std::string cp932FromWide(std::wstring_view wide) {
    return text::utf16ToCp932(std::u16string(wide.begin(), wide.end()));
}

// Source literals (captions, font faces) are UTF-8.
inline std::wstring wideFromUtf8(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    const int length = static_cast<int>(utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), units);
    return wide;
}

inline std::wstring windowText(HWND window) {
    if (window == nullptr) return std::wstring();
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, wide.data(), length + 1);
    wide.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return wide;
}

}  // namespace ui::win32
