// A TCP port that nothing on this machine listens on at the moment, and that
// no other test process is given.
#pragma once

#include <stdexcept>

#include "support/port_claim.h"

namespace store_test {

inline int unusedPort() {
    const int port = test_support::PortClaims::instance().claim(20000, 40000);
    if (port == 0) throw std::runtime_error("no unused port found");
    return port;
}

}  // namespace store_test
