// Port numbers typed by the user: the C library's atoi reading, and the
// range that listening and destination ports share.
#pragma once

#include <string_view>

namespace net {

inline constexpr int lowestPort = 1024;
inline constexpr int highestPort = 65535;

constexpr bool isValidPort(int value) {
    return value >= lowestPort && value <= highestPort;
}

// atoi: leading white space, an optional sign, then digits; text without
// leading digits gives 0. Values beyond the int range saturate instead of
// wrapping, so no huge number can land in the port range.
int atoiValue(std::string_view text);

// A listening port field after trimming white space on both sides.
struct PortField {
    enum class Kind { Blank, Invalid, Valid };
    Kind kind = Kind::Blank;
    int port = 0;
};
PortField readPortField(std::string_view text);

}  // namespace net
