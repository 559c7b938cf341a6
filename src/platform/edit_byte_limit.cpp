#include "platform/edit_byte_limit.h"

#include <algorithm>

#include "platform/text.h"

namespace editlimit {
namespace {

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Units of the character that starts at position.
std::size_t characterUnits(std::u16string_view text, std::size_t position) {
    return isHighSurrogate(text[position]) && position + 1 < text.size() &&
                   isLowSurrogate(text[position + 1])
               ? 2
               : 1;
}

}  // namespace

std::size_t cp932Bytes(std::u16string_view utf16) {
    return text::utf16ToCp932(utf16).size();
}

std::optional<Fitted> fitUserChange(std::u16string_view before, std::u16string_view after,
                                    std::size_t limitBytes) {
    const std::size_t afterBytes = cp932Bytes(after);
    if (afterBytes <= limitBytes) return std::nullopt;

    // The change replaced before[prefix, before.size() - suffix) by
    // after[prefix, after.size() - suffix), never splitting a surrogate pair.
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
    if (prefix > 0 && isHighSurrogate(after[prefix - 1])) --prefix;
    std::size_t suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    if (suffix > 0 && isLowSurrogate(after[after.size() - suffix])) --suffix;

    const std::u16string_view inserted = after.substr(prefix, after.size() - suffix - prefix);
    // A change that only removed text is always allowed, even from a text the
    // program left above the limit.
    if (inserted.empty()) return std::nullopt;
    const std::size_t insertedBytes = cp932Bytes(inserted);
    const std::size_t keptBytes = afterBytes - insertedBytes;
    std::size_t room = limitBytes > keptBytes ? limitBytes - keptBytes : 0;

    std::size_t take = 0;
    while (take < inserted.size()) {
        const std::size_t units = characterUnits(inserted, take);
        const std::size_t bytes = cp932Bytes(inserted.substr(take, units));
        if (bytes > room) break;
        room -= bytes;
        take += units;
    }

    Fitted fitted;
    fitted.text.assign(after.substr(0, prefix));
    fitted.text.append(inserted.substr(0, take));
    fitted.caret = fitted.text.size();
    fitted.text.append(after.substr(after.size() - suffix));
    return fitted;
}

}  // namespace editlimit
