// The devices' side of the benchmarks: round trips, pipelined throughput
// and idle connections, against any server that answers FA F0 v with F0 v.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "device_sim/percentiles.h"
#include "platform/sock.h"

namespace bench {

// One frame at a time, each waiting for its reply; microseconds.
devsim::RoundTripSummary measureRoundTrips(const std::string& address, int port, int frames);

struct Throughput {
    double framesPerSecond = 0;
    long mismatches = 0;  // replies other than F0 v, or missing ones
};

// One connection per port, all at once, each sending its frames back to
// back while another thread reads the replies; the rate counts replies.
Throughput measurePipelined(const std::string& address, const std::vector<int>& ports,
                            int framesPerConnection);

// One device on one connection that sends a frame every `period` for
// `duration`, each after the reply to the one before; frames answered.
long sendPaced(const std::string& address, int port, std::chrono::milliseconds period,
               std::chrono::milliseconds duration);

// Devices that connect, send one frame, get its reply and then stay quiet;
// count of them, spread over the ports in turn.
class IdleDevices {
public:
    IdleDevices(const std::string& address, const std::vector<int>& ports, int count);
    ~IdleDevices();
    IdleDevices(const IdleDevices&) = delete;
    IdleDevices& operator=(const IdleDevices&) = delete;

    bool allConnected() const { return connected_; }
    // Waits until the server has closed every connection; the time since
    // `since`, or a negative time when one stayed open past the limit.
    std::chrono::microseconds awaitServerClose(std::chrono::steady_clock::time_point since,
                                               std::chrono::milliseconds limit);

private:
    std::vector<sock::Socket> sockets_;
    bool connected_ = true;
};

}  // namespace bench
