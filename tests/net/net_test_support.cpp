#include "net_test_support.h"

#include <algorithm>
#include <array>
#include <bit>
#include <filesystem>
#include <thread>

#include "net/listener_run.h"
#include "support/port_claim.h"

namespace nettest {

std::uint32_t address(int a, int b, int c, int d) {
    const std::array<std::uint8_t, 4> bytes{
        static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
        static_cast<std::uint8_t>(d)};
    return std::bit_cast<std::uint32_t>(bytes);
}

std::uint32_t serverAddress() {
    return isKelvane ? address(127, 0, 0, 2) : address(127, 0, 0, 1);
}

std::uint32_t deviceAddress() {
    return address(127, 0, 0, 3);
}

int freePort() {
    // Ports below the ephemeral range, so that no client connection of this
    // machine takes one between the check and the test's listen.
    const int port = test_support::PortClaims::instance().claim(20000, 12000);
    if (port == 0) ADD_FAILURE() << "no free port";
    return port;
}

bool eventually(const std::function<bool()>& cond, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
}

int threadCount() {
    // A sanitiser's runtime starts a helper thread of its own along with the
    // process's first thread: one thread started first keeps it out of the
    // difference between two counts.
    static const bool helpersStarted = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)helpersStarted;
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

std::weak_ptr<const void> currentRun(CMonitorDlg& dlg, int slot) {
    std::weak_ptr<const void> run;
    dlg.CallOnWindowThread([&] { run = dlg.service.listenerRuns[static_cast<std::size_t>(slot)]; });
    return run;
}

std::size_t openConnections(CMonitorDlg& dlg, int slot) {
    std::shared_ptr<net::ListenerRun> run;
    dlg.CallOnWindowThread([&] { run = dlg.service.listenerRuns[static_cast<std::size_t>(slot)]; });
    if (!run) return 0;
    return run->onConnections(
        [](const std::vector<net::ListenerRun::Connection>& open, bool) { return open.size(); });
}

Bytes receiveFrom(sock::Socket s, std::size_t count, std::chrono::milliseconds limit) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        if (sock::selectReadable(s, static_cast<long>(left.count())) != 1) break;
        char bytes[4096];
        const int want = static_cast<int>(std::min(sizeof bytes, count - got.size()));
        const int n = sock::recv(s, bytes, want);
        if (n <= 0) break;
        got.insert(got.end(), bytes, bytes + n);
    }
    return got;
}

Device::Device(int port, std::uint32_t server, std::uint32_t from) {
    socket_ = sock::tcpSocket();
    sock::bind(socket_, {0, from});
    if (sock::connect(socket_, {sock::htons(static_cast<std::uint16_t>(port)), server}) != 0) {
        sock::closesocket(socket_);
        socket_ = sock::invalidSocket;
    }
}

Device::~Device() {
    close();
}

void Device::send(const Bytes& bytes) {
    sock::send(socket_, reinterpret_cast<const char*>(bytes.data()),
               static_cast<int>(bytes.size()));
}

void Device::sendSlowly(const Bytes& bytes, std::chrono::milliseconds pause) {
    for (std::uint8_t byte : bytes) {
        send({byte});
        std::this_thread::sleep_for(pause);
    }
}

Bytes Device::receive(std::size_t count, std::chrono::milliseconds limit) {
    return receiveFrom(socket_, count, limit);
}

bool Device::closedByPeer(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        // The socket is looked at once even when a loaded machine let the
        // time pass before the first look.
        const auto left = std::max<long>(
            0, static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     deadline - std::chrono::steady_clock::now())
                                     .count()));
        if (sock::selectReadable(socket_, left) != 1) return false;
        char byte = 0;
        if (sock::recv(socket_, &byte, 1) <= 0) return true;
        if (left == 0) return false;
    }
}

void Device::close() {
    if (socket_ != sock::invalidSocket) sock::closesocket(socket_);
    socket_ = sock::invalidSocket;
}

TestListener::TestListener(std::uint32_t at, int port) {
    socket_ = sock::tcpSocket();
    listening_ = sock::bind(socket_, {sock::htons(static_cast<std::uint16_t>(port)), at}) == 0 &&
                 sock::listen(socket_, 5) == 0;
}

TestListener::~TestListener() {
    sock::closesocket(socket_);
}

sock::Socket TestListener::acceptWithin(std::chrono::milliseconds limit) {
    const auto micro = std::chrono::duration_cast<std::chrono::microseconds>(limit);
    if (sock::selectReadable(socket_, static_cast<long>(micro.count())) != 1) {
        return sock::invalidSocket;
    }
    return sock::accept(socket_, nullptr);
}

}  // namespace nettest
