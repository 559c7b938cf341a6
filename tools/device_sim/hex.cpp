#include "device_sim/hex.h"

namespace devsim {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

// One token: an optional 0x prefix and one or two digits, or, without a
// prefix, any even number of digits.
bool appendToken(std::string_view token, Bytes& out) {
    bool prefixed = token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    if (prefixed) {
        token.remove_prefix(2);
        if (token.size() > 2) return false;
    }
    if (token.size() == 1) {
        int d = hexDigit(token[0]);
        if (d < 0) return false;
        out.push_back(static_cast<std::uint8_t>(d));
        return true;
    }
    if (token.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < token.size(); i += 2) {
        int high = hexDigit(token[i]);
        int low = hexDigit(token[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

}  // namespace

std::optional<Bytes> parseHex(std::string_view text) {
    Bytes out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (isSeparator(text[pos])) {
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < text.size() && !isSeparator(text[end])) ++end;
        if (!appendToken(text.substr(pos, end - pos), out)) return std::nullopt;
        pos = end;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

std::string formatHex(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

}  // namespace devsim
