// Conversions between the program's internal text (CP932 bytes) and the
// encodings at its edges: UTF-8 (Linux file names, source literals, Qt) and
// UTF-16 (Win32 wide calls, Qt).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// Bytes that cannot be converted are replaced by '?' (CP932 side) or
// U+FFFD (Unicode side); the conversions never fail.
std::string cp932ToUtf8(std::string_view cp932);
std::string utf8ToCp932(std::string_view utf8);
std::u16string cp932ToUtf16(std::string_view cp932);
std::string utf16ToCp932(std::u16string_view utf16);

// The same conversions for text that must stay exactly what it is, such as
// a path: nothing when any character would be replaced. A Unicode text
// passes only when its CP932 form converts back to the very same text, so
// that a name taken in names the same file when it goes out again.
std::optional<std::string> cp932ToUtf8Exact(std::string_view cp932);
std::optional<std::u16string> cp932ToUtf16Exact(std::string_view cp932);
std::optional<std::string> utf8ToCp932Exact(std::string_view utf8);
std::optional<std::string> utf16ToCp932Exact(std::u16string_view utf16);

// A CP932 literal from a UTF-8 source literal (messages, captions, keys).
inline std::string jp(std::string_view utf8) {
    return utf8ToCp932(utf8);
}

// True for a byte that starts a double-byte CP932 character.
constexpr bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// True for a byte that may follow a lead byte as the second half of a
// double-byte CP932 character.
constexpr bool isTrailByte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// The longest prefix of at most maxBytes bytes that does not end in the
// middle of a double-byte character.
std::size_t boundaryBefore(std::string_view cp932, std::size_t maxBytes);
inline std::string_view truncateCp932(std::string_view cp932, std::size_t maxBytes) {
    return cp932.substr(0, boundaryBefore(cp932, maxBytes));
}

}  // namespace text
