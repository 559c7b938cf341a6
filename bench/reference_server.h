// The yardstick: a minimal server in the plainest style, one thread per
// connection, one recv per 3-byte frame and a 2-byte answer, with none of
// the monitor's work around it.
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
    ReferenceServer() = default;
    ReferenceServer(const ReferenceServer&) = delete;
    ReferenceServer& operator=(const ReferenceServer&) = delete;
    ~ReferenceServer() { stop(); }

    // Listens on address:port for each port; false when one cannot be opened.
    bool start(const std::string& address, const std::vector<int>& ports);
    void stop();

private:
    void acceptLoop(sock::Socket listener);
    static void serve(sock::Socket connection);

    std::atomic<bool> stopping_{false};
    std::vector<sock::Socket> listeners_;
    std::vector<std::thread> acceptors_;
    std::mutex mutex_;
    std::vector<sock::Socket> connections_;
    std::vector<std::thread> servers_;
};

}  // namespace bench
