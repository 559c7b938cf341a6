// One TCP connection of a simulated device to a monitor.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "device_sim/hex.h"
#include "platform/sock.h"

namespace devsim {

class DeviceLink {
public:
    DeviceLink() = default;
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    ~DeviceLink();

    // Connects from bindAddress (empty: any) to address:port; an empty text
    // on success, else what failed.
    std::string open(const std::string& address, int port, const std::string& bindAddress);

    bool send(std::span<const std::uint8_t> bytes);

    enum class ReadResult { Data, Timeout, Closed, Failed };
    // Waits up to timeout (at most 100 ms per call) for bytes and appends
    // what arrived to out.
    ReadResult read(std::chrono::milliseconds timeout, Bytes& out);

    void close();
    bool reset();
    bool isOpen() const { return socket_ != sock::invalidSocket; }
    int lastError() const { return lastError_; }

private:
    sock::Socket socket_ = sock::invalidSocket;
    int lastError_ = 0;
};

// Builds an IPv4 socket address from dotted text (empty: any) and a port.
sock::SockAddrIn socketAddress(const std::string& address, int port);

}  // namespace devsim
