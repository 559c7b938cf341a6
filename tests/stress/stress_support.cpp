#include "stress/stress_support.h"

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "platform/sock_abort.h"

namespace stress {

namespace {

using nettest::Bytes;
using namespace std::chrono_literals;

constexpr std::uint8_t kelvaneSignals = 0x07;
constexpr std::uint8_t sorrelSignals = 0x1F;

// A reply limit far beyond any round trip: a frame that waits this long on
// an open connection has been lost.
constexpr auto replyLimit = 3000ms;

std::uint8_t byteOf(std::uint32_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

int descriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

bool Exchange::answeredBy(const Bytes& reply) const {
    if (reply.size() != 2) return false;
    const std::uint8_t signals = isKelvane ? kelvaneSignals : sorrelSignals;
    if (frame[0] == 0xFC && frame[2] != 0) {
        // A change frame: the masked inputs take the frame's values, the
        // others keep whatever the other devices gave them.
        const std::uint8_t value = frame[1];
        const std::uint8_t mask = frame[2];
        return reply[0] == 0xFC && (reply[1] & ~signals) == 0 &&
               ((reply[1] ^ value) & mask & signals) == 0;
    }
    if (frame[0] == 0xFC) {
        // Kelvane answers an empty mask with the states alone, Sorrel as
        // a value frame.
        if (isKelvane) return reply[0] == 0xFC && (reply[1] & ~signals) == 0;
        return reply == Bytes{0xF0, frame[1]};
    }
    return reply == Bytes{0xF0, frame.back()};
}

Exchange exchangeNumber(std::uint32_t n) {
    // Sorrel takes a value of 0xFF for "nothing read" and does not answer.
    const std::uint8_t value = isKelvane ? byteOf(n * 37) : byteOf((n * 37) % 255);
    std::uint8_t mask = byteOf(n * 5);
    if (isKelvane) {
        if (n % 2 == 0) return {{0xFA, 0xF0, value}};
        return {{0xFC, value, mask}};
    }
    switch (n % 4) {
        case 0:
            return {{0xF0, value}};
        case 1:
            return {{0xFA, 0xF0, value}};
        case 2:
            return {{0xFC, value, 0x00}};
        default:
            if (mask == 0) mask = 0x20;
            return {{0xFC, value, mask}};
    }
}

StreamFigures& StreamFigures::operator+=(const StreamFigures& other) {
    framesSent += other.framesSent;
    rightReplies += other.rightReplies;
    wrongReplies += other.wrongReplies;
    unanswered += other.unanswered;
    connections += other.connections;
    outputFrames += other.outputFrames;
    return *this;
}

std::string StreamFigures::summary() const {
    std::ostringstream out;
    out << framesSent << " frames sent, " << rightReplies << " right replies, " << wrongReplies
        << " wrong, " << unanswered << " unanswered, " << connections << " connections";
    if (outputFrames > 0) out << ", " << outputFrames << " output frames received";
    return out.str();
}

StreamingDevice::StreamingDevice(int port, std::uint32_t firstFrame)
    : port_(port), next_(firstFrame), thread_([this] { run(); }) {}

StreamingDevice::~StreamingDevice() {
    stop();
}

void StreamingDevice::stop() {
    stopping_.store(true);
    if (thread_.joinable()) thread_.join();
}

void StreamingDevice::run() {
    while (!stopping_.load() && !connectNoMore_.load()) {
        nettest::Device device(port_);
        if (!device.connected()) {
            // The server is stopped: try again a little later.
            std::this_thread::sleep_for(2ms);
            continue;
        }
        ++figures_.connections;
        serveConnection(device);
    }
}

void StreamingDevice::serveConnection(nettest::Device& device) {
    while (!stopping_.load()) {
        const Exchange exchange = exchangeNumber(next_++);
        device.send(exchange.frame);
        ++figures_.framesSent;
        const Bytes reply = receiveReply(device);
        if (reply.size() == 2) {
            ++(exchange.answeredBy(reply) ? figures_.rightReplies : figures_.wrongReplies);
            continue;
        }
        // Half a reply is wrong; no reply is right only when the monitor
        // dropped the connection (its port stopped).
        if (!reply.empty()) {
            ++figures_.wrongReplies;
        } else if (!device.closedByPeer(1ms)) {
            ++figures_.unanswered;
        }
        return;
    }
}

std::optional<Bytes> sendThenReset(int port, const Bytes& frame, std::size_t replyBytes) {
    const sock::Socket s = sock::tcpSocket();
    sock::bind(s, {0, nettest::deviceAddress()});
    if (sock::connect(
            s, {sock::htons(static_cast<std::uint16_t>(port)), nettest::serverAddress()}) != 0) {
        sock::closesocket(s);
        return std::nullopt;
    }
    sock::send(s, reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size()));
    Bytes reply;
    if (replyBytes > 0) reply = nettest::receiveFrom(s, replyBytes, 2000ms);
    sock::closeWithReset(s);
    return reply;
}

Bytes StreamingDevice::receiveReply(nettest::Device& device) {
    for (;;) {
        Bytes reply = device.receive(1, replyLimit);
        if (reply.empty()) return reply;
        if (reply[0] != 0xFA) {
            const Bytes rest = device.receive(1, replyLimit);
            reply.insert(reply.end(), rest.begin(), rest.end());
            return reply;
        }
        // No reply starts with FA: an output frame came first, with the
        // three outputs' states behind its marker.
        const Bytes output = device.receive(2, replyLimit);
        if (output.size() != 2 || output[0] != 0xF0 || (output[1] & ~kelvaneSignals) != 0) {
            return {0xFA};
        }
        ++figures_.outputFrames;
    }
}

void reportFigures(const std::string& what, const std::string& figures) {
    std::printf("[  FIGURES ] %s: %s\n", what.c_str(), figures.c_str());
    std::fflush(stdout);
}

}  // namespace stress
