// Byte order and dotted-decimal text of IPv4 addresses: plain byte rules,
// the same on every platform.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/sock.h"

namespace sock {

namespace {

template <typename Word>
Word toNetworkOrder(Word value) {
    if constexpr (std::endian::native == std::endian::big) {
        return value;
    } else {
        Word swapped = 0;
        for (std::size_t i = 0; i < sizeof(Word); ++i) {
            swapped = static_cast<Word>((swapped << 8) | (value & 0xFF));
            value = static_cast<Word>(value >> 8);
        }
        return swapped;
    }
}

}  // namespace

// The C library may define the byte-order calls as macros; the parentheses
// keep them from expanding in these definitions.
std::uint16_t(htons)(std::uint16_t host) {
    return toNetworkOrder(host);
}
std::uint16_t(ntohs)(std::uint16_t net) {
    return toNetworkOrder(net);
}
std::uint32_t(htonl)(std::uint32_t host) {
    return toNetworkOrder(host);
}

std::string inetNtoa(std::uint32_t netAddress) {
    unsigned char octets[4];
    std::memcpy(octets, &netAddress, sizeof octets);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", octets[0], octets[1], octets[2], octets[3]);
    return text;
}

// Four decimal numbers of 0 to 255 between dots, none with a leading zero,
// nothing before or after: the strict form, so that every platform takes
// the same texts.
bool inetPton(const std::string& text, std::uint32_t* netAddress) {
    unsigned char octets[4] = {};
    std::size_t octet = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (digits == 1 && octets[octet] == 0) return false;
            const unsigned value = octets[octet] * 10u + static_cast<unsigned>(c - '0');
            if (value > 255) return false;
            octets[octet] = static_cast<unsigned char>(value);
            ++digits;
        } else if (c == '.' && digits > 0 && octet < 3) {
            ++octet;
            digits = 0;
        } else {
            return false;
        }
    }
    if (octet != 3 || digits == 0) return false;
    if (netAddress != nullptr) std::memcpy(netAddress, octets, sizeof octets);
    return true;
}

}  // namespace sock
