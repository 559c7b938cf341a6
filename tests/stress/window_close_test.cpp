// The window closes while devices stream on every port, with logging on:
// every worker has ended when the window object goes, and none touches it
// afterwards (the AddressSanitizer build sees any that would). The history
// window, open at the close, adds nothing to the close's time.
#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

#include "net/net_fixture.h"
#include "platform/text.h"
#include "stress/stress_support.h"
#include "window/history_dlg.h"

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

// How long the close of the window takes, from the user's close to the
// end of the window's run, with the history window closed, showing the live
// history, or following a log. The shortest of a few closes is taken, so
// that a moment of a loaded machine does not count.
class HistoryAtClose : public NetTest {
protected:
    enum class History { Closed, Live, FollowingALog };

    std::chrono::milliseconds closeTime(History history) {
        auto shortest = std::chrono::milliseconds::max();
        for (int round = 0; round < 3; ++round) {
            std::chrono::steady_clock::time_point closed;
            runMonitor([&](Window& w, CMonitorDlg& dlg) {
                startWith(w, {str(freePort()), "", "", ""});
                ASSERT_TRUE(looksRunning(w));
                if (history != History::Closed) {
                    w.click(ids::historyButton);
                    ASSERT_TRUE(dlg.historyDlg && dlg.historyDlg->IsWindowOpen());
                }
                if (history == History::FollowingALog)
                    followLog(ui::headless::windowOf(*dlg.historyDlg));
                closed = std::chrono::steady_clock::now();
            });
            shortest = std::min(shortest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - closed));
        }
        return shortest;
    }

private:
    void followLog(Window& h) const {
        writeFile("followed.csv",
                  text::jp("日付,時刻,接続元IPアドレス") +
                      (isKelvane ? ",A,B,C,X,Y,Z\r\n2024/05/01,09:30:00,10.0.0.1,1,0,0,0,0,0\r\n"
                                 : ",A,B,C,D,E\r\n2024/05/01,09:30:00,10.0.0.1,1,0,0,0,0\r\n"));
        ui::headless::queueFileDialogAnswer(pathOf("followed.csv"));
        h.click(ids::historyOpenLog);
        ASSERT_TRUE(eventually([&] {
            h.fireTimer(CHistoryDlg::refreshTimer);
            return h.text(ids::historySource).find(text::jp("(追従中)")) != std::string::npos;
        })) << h.text(ids::historySource);
    }
};

// The log's reader waits a second between its looks at the file, and a
// worker that does not end is waited for before it is let go: the close
// must end the reader at once rather than wait for either.
TEST_F(HistoryAtClose, TheHistoryWindowOpenLiveOrFollowingALogDoesNotSlowTheClose) {
    const auto bare = closeTime(History::Closed);
    const auto live = closeTime(History::Live);
    const auto following = closeTime(History::FollowingALog);
    const auto allowance = stress::stretched(100ms);
    EXPECT_LE(live, bare + allowance)
        << "closed " << bare.count() << " ms, live " << live.count() << " ms";
    EXPECT_LE(following, bare + allowance)
        << "closed " << bare.count() << " ms, following " << following.count() << " ms";
}

}  // namespace
