// The yardsticks: minimal servers with none of the monitor's work around
// them, one thread per connection. The plain one takes one recv per 3-byte
// frame and sends each 2-byte answer; the batched one reads what the socket
// holds and answers its whole frames with one send, the limit of this
// protocol over a socket.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sock.h"

namespace bench {

class ReferenceServer {
public:
    enum class Style { OneFramePerRecv, Batched };
    explicit ReferenceServer(Style style = Style::OneFramePerRecv) : style_(style) {}
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;
    ~ReferenceServer() { stop(); }

    // Listens on address:port for each port; false when one cannot be opened.
    bool start(const std::string& address, const std::vector<int>& ports);
    void stop();

private:
    void acceptLoop(sock::Socket listener);
    static void serve(sock::Socket connection);
    static void serveBatched(sock::Socket connection);

    const Style style_;
    std::atomic<bool> stopping_{false};
    std::vector<sock::Socket> listeners_;
    std::vector<std::thread> acceptors_;
    std::mutex mutex_;
    std::vector<sock::Socket> connections_;
    std::vector<std::thread> servers_;
};

}  // namespace bench
