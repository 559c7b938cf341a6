// A TCP port that nothing on this machine listens on at the moment.
#pragma once

#include <random>
#include <stdexcept>

#include "platform/sock.h"

namespace store_test {

inline int unusedPort() {
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> ports(20000, 59999);
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int port = ports(generator);
        const sock::Socket probe = sock::tcpSocket();
        if (probe == sock::invalidSocket) break;
        sock::SockAddrIn address;
        address.port = sock::htons(static_cast<std::uint16_t>(port));
        const bool free = sock::bind(probe, address) == 0;
        sock::closesocket(probe);
        if (free) return port;
    }
    throw std::runtime_error("no unused port found");
}

}  // namespace store_test
