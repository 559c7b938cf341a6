// A device that sends frames back to back and reads no reply for a while:
// the replies wait whole for room in the socket, and a stop ends the wait.
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "net/net_fixture.h"

namespace {

using namespace nettest;

class StalledReader : public NetTest {};

constexpr int frameCount = 2'200'000;

// Connects with a receive buffer small enough that unread replies fill it
// at once, so that the monitor's replies must wait for room.
sock::Socket connectWithSmallReceiveBuffer(int port) {
    const sock::Socket s = sock::tcpSocket();
    const int bytes = 4096;
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    sock::bind(s, {0, deviceAddress()});
    if (sock::connect(s, {sock::htons(static_cast<std::uint16_t>(port)), serverAddress()}) != 0) {
        sock::closesocket(s);
        return sock::invalidSocket;
    }
    return s;
}

int bytesWaiting(sock::Socket s) {
    int waiting = 0;
    ioctl(static_cast<int>(s), FIONREAD, &waiting);
    return waiting;
}

// State frames FA F0 v, answered F0 v by both programs.
std::string stateFrames() {
    std::string bytes;
    for (int n = 0; n < frameCount; ++n) {
        bytes += {static_cast<char>(0xFA), static_cast<char>(0xF0), static_cast<char>(n % 0x20)};
    }
    return bytes;
}

// Sends on its own thread, as the device's send blocks while the monitor
// waits for room for its replies.
class Sender {
public:
    Sender(sock::Socket s, std::string bytes)
        : thread_([s, bytes = std::move(bytes)] {
              for (std::size_t at = 0; at < bytes.size();) {
                  const int put =
                      sock::send(s, bytes.data() + at, static_cast<int>(bytes.size() - at));
                  if (put <= 0) return;
                  at += static_cast<std::size_t>(put);
              }
          }) {}
    ~Sender() { thread_.join(); }

private:
    std::thread thread_;
};

TEST_F(StalledReader, EveryReplyArrivesWholeAndInOrderOnceTheDeviceReads) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg&) {
        startWith(w, {str(port), "", "", ""});
        const sock::Socket device = connectWithSmallReceiveBuffer(port);
        ASSERT_NE(device, sock::invalidSocket);
        {
            const Sender sender(device, stateFrames());
            // The device's window is full: later replies wait in the monitor.
            ASSERT_TRUE(eventually([&] { return bytesWaiting(device) >= 4096; }, hangGuard));
            // Read at the wire's pace from now on.
            const int roomy = 1 << 20;
            setsockopt(static_cast<int>(device), SOL_SOCKET, SO_RCVBUF, &roomy, sizeof roomy);
            const Bytes replies = receiveFrom(device, 2 * frameCount, 30s);
            ASSERT_EQ(replies.size(), 2u * frameCount);
            for (int n = 0; n < frameCount; ++n) {
                ASSERT_EQ(replies[2 * n], 0xF0) << "reply " << n;
                ASSERT_EQ(replies[2 * n + 1], n % 0x20) << "reply " << n;
            }
        }
        sock::closesocket(device);
    });
}

TEST_F(StalledReader, AStopEndsAConnectionWhoseRepliesWaitForRoom) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        const sock::Socket device = connectWithSmallReceiveBuffer(port);
        ASSERT_NE(device, sock::invalidSocket);
        {
            const Sender sender(device, stateFrames());
            ASSERT_TRUE(eventually([&] { return bytesWaiting(device) >= 4096; }, hangGuard));
            const auto stopping = std::chrono::steady_clock::now();
            w.click(ids::serverButton);
            EXPECT_LT(std::chrono::steady_clock::now() - stopping, hangGuard);
            EXPECT_TRUE(eventually([&] { return openConnections(dlg, 0) == 0; }, hangGuard));
            // The monitor closed its side: the device's blocked send ends.
            sock::shutdownBoth(device);
        }
        sock::closesocket(device);
    });
}

}  // namespace
