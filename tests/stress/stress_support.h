// What the stress and fault tests share: counts scaled to the build, the
// process's open descriptors, and devices that stream frames from threads
// of their own and check every reply.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "net/net_test_support.h"

namespace stress {

// Sanitised builds run several times slower; their counts are divided by
// this, and their time limits multiplied.
inline constexpr int slowdown = MONITOR_STRESS_SLOWDOWN;
constexpr int scaled(int count) {
    return std::max(1, count / slowdown);
}
constexpr std::chrono::milliseconds stretched(std::chrono::milliseconds limit) {
    return limit * slowdown;
}

// Open descriptors of this process, from /proc/self/fd.
int descriptorCount();

// A frame a device sends, and whether a reply answers it correctly.
struct Exchange {
    nettest::Bytes frame;
    bool answeredBy(const nettest::Bytes& reply) const;
};
// The n-th frame of a device's stream: every kind of frame of this
// program's table in turn, never one that goes unanswered.
Exchange exchangeNumber(std::uint32_t n);

struct StreamFigures {
    std::int64_t framesSent = 0;
    std::int64_t rightReplies = 0;
    std::int64_t wrongReplies = 0;
    // Frames whose connection stayed open without a reply.
    std::int64_t unanswered = 0;
    std::int64_t connections = 0;
    // Kelvane's output frames that reached the device between its replies.
    std::int64_t outputFrames = 0;
    StreamFigures& operator+=(const StreamFigures& other);
    std::string summary() const;
};

// A device on a thread of its own: connects to the port, sends frames one
// after another, checks each reply, and connects again whenever the monitor
// drops it, until stopped.
class StreamingDevice {
public:
    StreamingDevice(int port, std::uint32_t firstFrame);
    ~StreamingDevice();
    StreamingDevice(const StreamingDevice&) = delete;
    StreamingDevice& operator=(const StreamingDevice&) = delete;

    // The device ends its current connection as usual but makes no new
    // one: the monitor is gone, and whatever holds its ports now is not it.
    void connectNoMore() { connectNoMore_.store(true); }
    // Stops and joins the device's thread; then the figures are final.
    void stop();
    const StreamFigures& figures() const { return figures_; }

private:
    void run();
    void serveConnection(nettest::Device& device);
    nettest::Bytes receiveReply(nettest::Device& device);

    const int port_;
    std::uint32_t next_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> connectNoMore_{false};
    StreamFigures figures_;
    std::thread thread_;
};

// A device that connects, sends the frame, waits for replyBytes bytes of
// reply (none: it does not wait) and resets the connection (SO_LINGER 0).
// The reply it got, or nothing when it could not connect.
std::optional<nettest::Bytes> sendThenReset(int port, const nettest::Bytes& frame,
                                            std::size_t replyBytes);

// A line the test's log shows, so that a run's figures can be read back.
void reportFigures(const std::string& what, const std::string& figures);

}  // namespace stress
