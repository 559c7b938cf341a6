// What the network tests share: a device that connects to the monitor over
// loopback, free ports, bounded waits and the thread count of the process.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sock.h"
#include "support/monitor_fixture.h"

namespace nettest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Host byte order a.b.c.d in network byte order.
std::uint32_t address(int a, int b, int c, int d);

// The address the program under test listens on: the fake adapter's
// address in Kelvane, every address (reached through 127.0.0.1) in Sorrel.
std::uint32_t serverAddress();
// Where test devices connect from, so that the peer label is predictable.
inline constexpr const char* deviceAddressText = "127.0.0.3";
std::uint32_t deviceAddress();

// A port nothing on this machine listens on at the moment; different on
// every call within the process.
int freePort();

// How long what must happen at once may take before a test calls it hung:
// far beyond the milliseconds it takes, on a loaded machine and under the
// sanitizers alike. How fast it happens is the benchmarks' figure.
inline constexpr std::chrono::milliseconds hangGuard = 5s;

// Polls cond every millisecond until it holds or the limit runs out.
bool eventually(const std::function<bool()>& cond, std::chrono::milliseconds limit = 3000ms);

// Threads of this process, from /proc/self/task.
int threadCount();

// The run a port's last start made, held loosely: it expires once every
// thread of that run (its listener and each of its connections) has let go
// of it, which is how a test sees a stopped run's connections end.
std::weak_ptr<const void> currentRun(CMonitorDlg& dlg, int slot);
// The connections open in a port's current run; none when it has no run.
std::size_t openConnections(CMonitorDlg& dlg, int slot);

// A device on a TCP connection to the monitor, from deviceAddress() unless
// another source address is given.
class Device {
public:
    Device(int port, std::uint32_t server = serverAddress(), std::uint32_t from = deviceAddress());
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool connected() const { return socket_ != sock::invalidSocket; }
    // Small sends go at once, not held back until the last one is answered.
    void sendAtOnce() const { sock::setNoDelay(socket_); }
    void send(const Bytes& bytes);
    // Sends the bytes one at a time with a pause after each.
    void sendSlowly(const Bytes& bytes, std::chrono::milliseconds pause);
    // Up to count bytes that arrive within the limit.
    Bytes receive(std::size_t count, std::chrono::milliseconds limit = 2000ms);
    // The monitor closed the connection within the limit.
    bool closedByPeer(std::chrono::milliseconds limit = 2000ms);
    void close();

private:
    sock::Socket socket_ = sock::invalidSocket;
};

// A listening socket of the test's own, standing in for a device's port or
// for another program that holds a port.
class TestListener {
public:
    TestListener(std::uint32_t at, int port);
    ~TestListener();
    TestListener(const TestListener&) = delete;
    TestListener& operator=(const TestListener&) = delete;
    bool listening() const { return listening_; }
    // A connection that arrives within the limit (invalidSocket if none).
    sock::Socket acceptWithin(std::chrono::milliseconds limit);

private:
    sock::Socket socket_ = sock::invalidSocket;
    bool listening_ = false;
};

// Receives up to count bytes from a socket within the limit.
Bytes receiveFrom(sock::Socket s, std::size_t count, std::chrono::milliseconds limit);

}  // namespace nettest
