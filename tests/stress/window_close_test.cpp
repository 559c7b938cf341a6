// The window closes while devices stream on every port, with logging on:
// every worker has ended when the window object goes, and none touches it
// afterwards (the AddressSanitizer build sees any that would).
#include <memory>
#include <stdexcept>
#include <vector>

#include "net/net_fixture.h"
#include "stress/stress_support.h"

namespace {

using namespace nettest;

class WindowClose : public NetTest {
protected:
    std::array<int, 4> ports{freePort(), freePort(), freePort(), freePort()};

    std::array<std::string, 4> fields() const {
        return {str(ports[0]), str(ports[1]), str(ports[2]), str(ports[3])};
    }

    // Devices that go on streaming across the close of the window.
    std::vector<std::unique_ptr<stress::StreamingDevice>> streamOnEveryPort(int perPort) const {
        std::vector<std::unique_ptr<stress::StreamingDevice>> devices;
        for (int d = 0; d < perPort * 4; ++d) {
            devices.push_back(std::make_unique<stress::StreamingDevice>(
                ports[static_cast<std::size_t>(d % 4)], static_cast<std::uint32_t>(d * 77)));
        }
        return devices;
    }

    static stress::StreamFigures stopAll(
        std::vector<std::unique_ptr<stress::StreamingDevice>>& devices) {
        stress::StreamFigures total;
        for (auto& device : devices) {
            device->stop();
            total += device->figures();
        }
        return total;
    }
};

TEST_F(WindowClose, ClosingWhileDevicesStreamLeavesNoWorkerBehind) {
    constexpr int devicesPerPort = 4;
    const int rounds = stress::scaled(10);
    const int baseThreads = threadCount();
    stress::StreamFigures total;
    for (int round = 0; round < rounds; ++round) {
        std::unique_ptr<Device> silent;
        auto devices = streamOnEveryPort(devicesPerPort);
        const int withDevices = baseThreads + devicesPerPort * 4;
        runMonitor([&](Window& w, CMonitorDlg&) {
            ui::headless::queueFileDialogAnswer(pathOf("close.csv"));
            w.click(ids::browseLogButton);
            w.setCheck(ids::loggingCheck, true);
            startWith(w, fields());
            ASSERT_TRUE(looksRunning(w));
            silent = std::make_unique<Device>(ports[0]);
            // Closing at a different moment of the devices' traffic each round.
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + 37 * round));
        });
        EXPECT_EQ(threadCount(), withDevices) << "round " << round;
        for (auto& device : devices) device->connectNoMore();
        EXPECT_TRUE(silent->closedByPeer(stress::stretched(500ms))) << "round " << round;
        total += stopAll(devices);
    }
    stress::reportFigures("window closed " + std::to_string(rounds) + " times under streams",
                          total.summary());
    EXPECT_EQ(total.wrongReplies, 0);
    EXPECT_EQ(total.unanswered, 0);
    EXPECT_GT(total.rightReplies, 0);
    EXPECT_EQ(threadCount(), baseThreads);
}

TEST_F(WindowClose, AHandThatThrowsStillClosesTheWindowAndEndsItsWorkers) {
    const int baseThreads = threadCount();
    auto devices = streamOnEveryPort(2);
    const auto run = [&] {
        runMonitor([&](Window& w, CMonitorDlg&) {
            startWith(w, fields());
            std::this_thread::sleep_for(100ms);
            throw std::runtime_error("the test's hand failed");
        });
    };
    EXPECT_THROW(run(), std::runtime_error);
    EXPECT_EQ(threadCount(), baseThreads + 8);
    for (auto& device : devices) device->connectNoMore();
    const auto total = stopAll(devices);
    EXPECT_EQ(total.wrongReplies, 0);
    EXPECT_EQ(threadCount(), baseThreads);
}

}  // namespace
