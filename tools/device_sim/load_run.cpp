#include "device_sim/load_run.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "device_sim/device_link.h"
#include "device_sim/incoming.h"
#include "device_sim/percentiles.h"
#include "device_sim/reply_model.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;

// State frames get the same reply from both monitors whatever other devices
// do to the inputs; 0xFF is left out because Sorrel answers it with nothing.
constexpr int stateValues = 0x20;

struct DeviceTally {
    bool connected = false;
    std::string failure;
    long sent = 0, replies = 0, mismatches = 0, missing = 0, outputFrames = 0;
    std::vector<double> roundTripsMicros;
};

class LoadDevice {
public:
    LoadDevice(const Options& options, int index, Clock::time_point start, DeviceTally& tally)
        : options_(options), index_(index), start_(start), tally_(tally) {}

    void run() {
        std::string failure =
            link_.open(options_.connectAddress, options_.connectPort, options_.bindAddress);
        if (!failure.empty()) {
            tally_.failure = failure;
            return;
        }
        tally_.connected = true;
        auto end = options_.duration > 0
                       ? start_ + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(options_.duration))
                       : Clock::time_point::max();
        for (long n = 0; options_.framesPerConnection == 0 || n < options_.framesPerConnection;
             ++n) {
            if (options_.rate > 0) {
                std::this_thread::sleep_until(
                    start_ +
                    std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(static_cast<double>(n) / options_.rate)));
            }
            if (Clock::now() >= end) break;
            if (!exchange(static_cast<std::uint8_t>((index_ + n) % stateValues))) break;
        }
    }

private:
    // One frame and its reply; false when the connection cannot go on.
    bool exchange(std::uint8_t value) {
        Bytes frame{frameStart, stateMarker, value};
        auto sentAt = Clock::now();
        if (!link_.send(frame)) {
            tally_.failure = "send failed: error " + std::to_string(link_.lastError());
            return false;
        }
        ++tally_.sent;
        auto deadline = sentAt + std::chrono::milliseconds(options_.replyTimeoutMs);
        while (Clock::now() < deadline) {
            Bytes bytes;
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            auto result = link_.read(std::max(left, std::chrono::milliseconds(1)), bytes);
            if (result == DeviceLink::ReadResult::Closed ||
                result == DeviceLink::ReadResult::Failed) {
                ++tally_.missing;
                tally_.failure = "the monitor closed or broke the connection";
                return false;
            }
            for (std::uint8_t b : bytes) {
                auto message = parser_.feed(b);
                if (!message) continue;
                if (message->kind == Incoming::Kind::OutputFrame) {
                    ++tally_.outputFrames;
                    continue;
                }
                if (message->kind == Incoming::Kind::Reply) ++tally_.replies;
                if (message->bytes != Bytes{stateMarker, value}) ++tally_.mismatches;
                std::chrono::duration<double, std::micro> roundTrip = Clock::now() - sentAt;
                tally_.roundTripsMicros.push_back(roundTrip.count());
                return true;
            }
        }
        ++tally_.missing;
        tally_.failure = "no reply within " + std::to_string(options_.replyTimeoutMs) + " ms";
        return false;
    }

    const Options& options_;
    int index_;
    Clock::time_point start_;
    DeviceTally& tally_;
    DeviceLink link_;
    IncomingParser parser_;
};

std::string fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

int runLoad(const Options& options, Printer& printer) {
    std::vector<DeviceTally> tallies(static_cast<std::size_t>(options.connections));
    auto start = Clock::now();
    {
        std::vector<std::jthread> devices;
        for (int i = 0; i < options.connections; ++i) {
            devices.emplace_back([&options, &tallies, i, start] {
                LoadDevice(options, i, start, tallies[static_cast<std::size_t>(i)]).run();
            });
        }
    }
    std::chrono::duration<double> elapsed = Clock::now() - start;

    DeviceTally total;
    long failedConnections = 0;
    for (auto& tally : tallies) {
        if (!tally.connected) ++failedConnections;
        if (!tally.failure.empty()) printer.error(tally.failure);
        total.sent += tally.sent;
        total.replies += tally.replies;
        total.mismatches += tally.mismatches;
        total.missing += tally.missing;
        total.outputFrames += tally.outputFrames;
        total.roundTripsMicros.insert(total.roundTripsMicros.end(), tally.roundTripsMicros.begin(),
                                      tally.roundTripsMicros.end());
    }
    RoundTripSummary trips = summarise(std::move(total.roundTripsMicros));
    printer.summary("connections " + std::to_string(options.connections) + " (failed " +
                    std::to_string(failedConnections) + "), frames sent " +
                    std::to_string(total.sent) + ", replies " + std::to_string(total.replies) +
                    ", mismatches " + std::to_string(total.mismatches) + ", missing " +
                    std::to_string(total.missing) + ", output frames " +
                    std::to_string(total.outputFrames));
    printer.summary("round trip us: median " + fixed(trips.median) + ", p90 " + fixed(trips.p90) +
                    ", p99 " + fixed(trips.p99) + ", max " + fixed(trips.max));
    printer.summary("throughput: " + fixed(static_cast<double>(total.replies) / elapsed.count()) +
                    " replies/s over " + fixed(elapsed.count()) + " s");
    if (failedConnections > 0) return exitNetwork;
    bool faulty = total.mismatches > 0 || total.missing > 0;
    for (const auto& tally : tallies) faulty = faulty || !tally.failure.empty();
    return faulty ? exitCheckFailed : exitOk;
}

}  // namespace devsim
