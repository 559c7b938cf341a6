// CP932 conversions over iconv. Opening a converter loads its character
// set's modules, which costs far more than converting a label's text, so
// each thread keeps the converters it has opened: the functions are safe
// from any thread without shared state.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace text {
namespace {

constexpr const char* cp932Name = "CP932";
constexpr const char* utf8Name = "UTF-8";
constexpr const char* utf16Name = "UTF-16LE";

// How many input bytes an unconvertible sequence at the front of input takes,
// so that the conversion can step over it and go on.
using SkipRule = std::size_t (*)(std::string_view input);

std::size_t skipCp932(std::string_view input) {
    const auto lead = static_cast<unsigned char>(input[0]);
    if (!isLeadByte(lead) || input.size() < 2) return 1;
    return isTrailByte(static_cast<unsigned char>(input[1])) ? 2 : 1;
}

std::size_t skipUtf8(std::string_view input) {
    const auto lead = static_cast<unsigned char>(input[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    std::size_t taken = 1;
    while (taken < length && taken < input.size() &&
           (static_cast<unsigned char>(input[taken]) & 0xC0) == 0x80) {
        ++taken;
    }
    return taken;
}

// A surrogate pair is one character and takes one replacement.
std::size_t skipUtf16(std::string_view input) {
    if (input.size() < 4) return input.size() < 2 ? input.size() : 2;
    const auto unit = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(input[at]) |
                                     (static_cast<unsigned char>(input[at + 1]) << 8));
    };
    const bool pair = (unit(0) & 0xFC00) == 0xD800 && (unit(2) & 0xFC00) == 0xDC00;
    return pair ? 4 : 2;
}

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (valid()) iconv_close(handle_);
    }
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; every unconvertible sequence becomes replacement.
    std::string run(std::string_view input, SkipRule skip, std::string_view replacement) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string output;
        output.reserve(input.size() * 2 + 8);
        while (!input.empty()) {
            char buffer[1024];
            char* in = const_cast<char*>(input.data());
            std::size_t inLeft = input.size();
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            input.remove_prefix(input.size() - inLeft);
            if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut off by the end of the input).
            output.append(replacement);
            input.remove_prefix(error == EINVAL ? input.size() : skip(input));
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        }
        return output;
    }

private:
    iconv_t handle_;
};

std::string convert(const char* to, const char* from, std::string_view input, SkipRule skip,
                    std::string_view replacement) {
    struct Kept {
        const char* to;
        const char* from;
        std::unique_ptr<Converter> converter;
    };
    thread_local std::vector<Kept> kept;
    auto found = std::find_if(kept.begin(), kept.end(),
                              [&](const Kept& k) { return k.to == to && k.from == from; });
    if (found == kept.end()) {
        auto converter = std::make_unique<Converter>(to, from);
        // One that cannot be opened now is tried again at the next call.
        if (!converter->valid()) return std::string();
        kept.push_back({to, from, std::move(converter)});
        found = kept.end() - 1;
    }
    return found->converter->run(input, skip, replacement);
}

constexpr std::string_view replacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view replacementUtf16 = std::string_view("\xFD\xFF", 2);

std::u16string fromUtf16Bytes(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return units;
}

std::string toUtf16Bytes(std::u16string_view units) {
    std::string bytes(units.size() * 2, '\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
    return bytes;
}

}  // namespace

std::string cp932ToUtf8(std::string_view cp932) {
    return convert(utf8Name, cp932Name, cp932, skipCp932, replacementUtf8);
}

std::string utf8ToCp932(std::string_view utf8) {
    return convert(cp932Name, utf8Name, utf8, skipUtf8, "?");
}

std::u16string cp932ToUtf16(std::string_view cp932) {
    return fromUtf16Bytes(convert(utf16Name, cp932Name, cp932, skipCp932, replacementUtf16));
}

std::string utf16ToCp932(std::u16string_view utf16) {
    return convert(cp932Name, utf16Name, toUtf16Bytes(utf16), skipUtf16, "?");
}

}  // namespace text
