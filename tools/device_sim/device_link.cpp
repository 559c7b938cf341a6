#include "device_sim/device_link.h"

#include <algorithm>

#include "platform/sock_abort.h"

namespace devsim {

sock::SockAddrIn socketAddress(const std::string& address, int port) {
    sock::SockAddrIn result;
    result.port = sock::htons(static_cast<std::uint16_t>(port));
    if (!address.empty()) sock::inetPton(address, &result.addr);
    return result;
}

DeviceLink::~DeviceLink() {
    close();
}

std::string DeviceLink::open(const std::string& address, int port, const std::string& bindAddress) {
    close();
    socket_ = sock::tcpSocket();
    if (socket_ == sock::invalidSocket) {
        lastError_ = sock::lastError();
        return "socket failed: error " + std::to_string(lastError_);
    }
    if (!bindAddress.empty() &&
        sock::bind(socket_, socketAddress(bindAddress, 0)) == sock::socketError) {
        lastError_ = sock::lastError();
        close();
        return "bind to " + bindAddress + " failed: error " + std::to_string(lastError_);
    }
    sock::setNoDelay(socket_);
    if (sock::connect(socket_, socketAddress(address, port)) == sock::socketError) {
        lastError_ = sock::lastError();
        close();
        return "connect to " + address + ":" + std::to_string(port) + " failed: error " +
               std::to_string(lastError_);
    }
    return {};
}

bool DeviceLink::send(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        int sent = sock::send(socket_, reinterpret_cast<const char*>(bytes.data() + done),
                              static_cast<int>(bytes.size() - done));
        if (sent == sock::socketError || sent == 0) {
            lastError_ = sock::lastError();
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

DeviceLink::ReadResult DeviceLink::read(std::chrono::milliseconds timeout, Bytes& out) {
    // Long waits go in short slices so that a platform with a 32-bit long
    // never sees an overflowing time-out.
    auto slice = std::min(timeout, std::chrono::milliseconds(100));
    int ready = sock::selectReadable(socket_, static_cast<long>(slice.count()) * 1000);
    if (ready == sock::socketError) {
        lastError_ = sock::lastError();
        return ReadResult::Failed;
    }
    if (ready == 0) return ReadResult::Timeout;
    char buffer[512];
    int got = sock::recv(socket_, buffer, sizeof buffer);
    if (got == 0) return ReadResult::Closed;
    if (got < 0) {
        lastError_ = sock::lastError();
        return ReadResult::Failed;
    }
    out.insert(out.end(), buffer, buffer + got);
    return ReadResult::Data;
}

void DeviceLink::close() {
    if (socket_ == sock::invalidSocket) return;
    sock::closesocket(socket_);
    socket_ = sock::invalidSocket;
}

bool DeviceLink::reset() {
    if (socket_ == sock::invalidSocket) return false;
    bool done = sock::closeWithReset(socket_) == 0;
    socket_ = sock::invalidSocket;
    return done;
}

}  // namespace devsim
