// The network side of one listening port: its state word, the port it
// listens on and, in Kelvane, the device it last heard from.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/sock.h"

enum ServerState : std::int32_t { Idle = 0, Starting = 1, Listening = 2, StopRequested = 3 };

struct PortSlot {
    std::atomic<std::int32_t> state{Idle};
    std::int32_t port = 0;
    sock::Socket listenSock = sock::invalidSocket;
    // Kelvane: the last recognised peer and the device's open connection.
    std::atomic<std::uint32_t> peerAddr{0};
    std::atomic<sock::Socket> connSock{0};
};

inline constexpr int portSlotCount = 4;

// Kelvane: the address the listening sockets and the output sender bind to,
// network byte order; set by the adapter choice.
extern std::atomic<std::uint32_t> bindAddress;
