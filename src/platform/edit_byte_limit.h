// The byte limit of an edit control counted as the program counts text, in
// CP932 bytes, for edits that count UTF-16 units themselves. A user's change
// that would pass the limit keeps only as much of what it inserted as fits,
// cut between characters; text written by the program is not limited.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace editlimit {

// CP932 bytes of a UTF-16 text (a character that CP932 lacks counts as the
// one byte of its replacement).
std::size_t cp932Bytes(std::u16string_view utf16);

struct Fitted {
    std::u16string text;
    std::size_t caret = 0;  // UTF-16 units, just after the kept insertion
};

// before: the text ahead of the user's change; after: the text the change
// made. Nothing when after fits within limitBytes or the change only removed text; otherwise the
// text to put back: after with its inserted part cut to what fits (nothing of it when before
// already fills the limit).
std::optional<Fitted> fitUserChange(std::u16string_view before, std::u16string_view after,
                                    std::size_t limitBytes);

}  // namespace editlimit
