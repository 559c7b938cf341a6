// Any bytes through the CP932 conversions and the boundary-safe cut. The
// first byte is the cut's limit; the rest is taken as CP932, as UTF-8 and as
// UTF-16LE in turn. A cut must be a prefix of at most the limit that never
// ends inside a double-byte character and stops only where the next
// character would not fit; conversions must give well-formed text, agree
// between UTF-8 and UTF-16, and text the program wrote must come back
// unchanged from a round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace {

constexpr std::string_view replacementUtf8 = "\xEF\xBF\xBD";
constexpr std::size_t nameFieldBytes = 20;

void require(bool condition) {
    if (!condition) std::abort();
}

std::size_t widthAt(std::string_view cp932, std::size_t at) {
    return text::isLeadByte(static_cast<unsigned char>(cp932[at])) ? 2 : 1;
}

// Every lead byte has its trail byte: the text ends on a character boundary.
bool endsOnBoundary(std::string_view cp932) {
    std::size_t at = 0;
    while (at < cp932.size()) at += widthAt(cp932, at);
    return at == cp932.size();
}

void checkCut(std::string_view cp932, std::size_t limit) {
    const std::size_t boundary = text::boundaryBefore(cp932, limit);
    const std::string_view cut = text::truncateCp932(cp932, limit);
    require(cut.size() == boundary);
    require(cut.size() <= limit && cut.size() <= cp932.size());
    require(cp932.substr(0, cut.size()) == cut);
    require(endsOnBoundary(cut));
    if (cut.size() < cp932.size()) {
        // The cut stops only where the next whole character would not fit.
        const std::size_t next = widthAt(cp932, cut.size());
        require(cut.size() + next > limit || cut.size() + next > cp932.size());
    }
}

// Hand-made UTF-16 to UTF-8, to compare the two Unicode sides; a lone
// surrogate makes the units no text (nothing to compare).
bool toUtf8(std::u16string_view units, std::string& out) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00u);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return true;
}

// CP932 that the program itself produced: well formed, decodable without a
// replacement, unchanged by a round trip through either Unicode form, and
// still so when cut to a name field.
void checkProgramText(const std::string& cp932) {
    require(endsOnBoundary(cp932));
    const std::string utf8 = text::cp932ToUtf8(cp932);
    require(utf8.find(replacementUtf8) == std::string::npos);
    require(text::utf8ToCp932(utf8) == cp932);
    require(text::utf16ToCp932(text::cp932ToUtf16(cp932)) == cp932);
    const std::string_view name = text::truncateCp932(cp932, nameFieldBytes);
    require(name.size() <= nameFieldBytes);
    require(text::cp932ToUtf8(name).find(replacementUtf8) == std::string::npos);
}

void checkFromCp932(std::string_view cp932) {
    const std::string utf8 = text::cp932ToUtf8(cp932);
    std::string fromUtf16;
    require(toUtf8(text::cp932ToUtf16(cp932), fromUtf16));
    require(fromUtf16 == utf8);
    // Bytes that decode whole are text: encoding them gives the program's
    // own form of the same characters.
    if (utf8.find(replacementUtf8) == std::string::npos) {
        const std::string again = text::utf8ToCp932(utf8);
        require(text::cp932ToUtf8(again) == utf8);
        checkProgramText(again);
    }
}

void checkFromUtf8(std::string_view utf8) {
    checkProgramText(text::utf8ToCp932(utf8));
}

void checkFromUtf16(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    const std::string cp932 = text::utf16ToCp932(units);
    checkProgramText(cp932);
    std::string utf8;
    if (toUtf8(units, utf8)) require(text::utf8ToCp932(utf8) == cp932);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t limit = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    checkCut(bytes, limit);
    checkCut(bytes, nameFieldBytes);
    checkFromCp932(bytes);
    checkFromUtf8(bytes);
    checkFromUtf16(bytes);
    return 0;
}
