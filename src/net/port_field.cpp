#include "net/port_field.h"

#include <climits>

namespace net {

namespace {

constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

int atoiValue(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && isSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    long long magnitude = 0;
    constexpr long long limit = static_cast<long long>(INT_MAX) + 1;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > limit) magnitude = limit;
    }
    if (negative) return static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

PortField readPortField(std::string_view text) {
    const std::string_view trimmed = trim(text);
    if (trimmed.empty()) return {};
    const int value = atoiValue(trimmed);
    if (!isValidPort(value)) return {PortField::Kind::Invalid, 0};
    return {PortField::Kind::Valid, value};
}

}  // namespace net
