// Devices stream frames on every port while the user stops and starts the
// server again and again: nothing may crash, hang, answer wrongly or stay
// behind.
#include <memory>
#include <vector>

#include "net/net_fixture.h"
#include "stress/stress_support.h"

namespace {

using namespace nettest;

class ServerChurn : public NetTest {};

TEST_F(ServerChurn, AFrameOfAStoppingRunHasNoEffectOnTheRunAfterIt) {
    const int port = freePort();
    const int rounds = stress::scaled(30);
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        if constexpr (isKelvane) {
            // The old device's first frame is answered, then its thread waits
            // to enable the output buttons while a settings load, in the same
            // busy spell of the window, stops and starts the server.
            std::unique_ptr<Device> old;
            std::unique_ptr<Device> fresh;
            std::weak_ptr<const void> oldRun;
            dlg.CallOnWindowThread([&] {
                old = std::make_unique<Device>(port);
                old->send({0xFC, 0x01, 0x01});
                ASSERT_EQ(old->receive(2), (Bytes{0xFC, 0x01}));
                oldRun = currentRun(dlg, 0);
                dlg.OnServerButton();
                dlg.OnServerButton();
                fresh = std::make_unique<Device>(port);
                ASSERT_TRUE(fresh->connected());
                ASSERT_TRUE(eventually([&] { return openConnections(dlg, 0) == 1; }));
            });
            ASSERT_TRUE(fresh && old);
            EXPECT_TRUE(old->closedByPeer(hangGuard));
            ASSERT_TRUE(eventually([&] { return oldRun.expired(); }, hangGuard));
            // The output frame goes over the connection of the new run.
            w.type(ids::destPortEdit, str(freePort()));
            dlg.CallOnWindowThread([&] { dlg.toggleDigitalOut(0); });
            EXPECT_EQ(fresh->receive(3), (Bytes{0xFA, 0xF0, 0x01}));
            fresh.reset();
            ASSERT_TRUE(eventually([&] { return openConnections(dlg, 0) == 0; }, hangGuard));
        }
        // Devices pour frames in as the server stops and starts in one
        // handler; once they are gone, no input of theirs shows in the new
        // run.
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::unique_ptr<Device>> pouring;
            Bytes burst;
            for (int n = 0; n < 2000; ++n) burst.insert(burst.end(), {0xFC, 0x01, 0x01});
            for (int d = 0; d < 4; ++d) {
                pouring.push_back(std::make_unique<Device>(port));
                pouring.back()->send(burst);
            }
            ASSERT_TRUE(eventually([&] { return inputs(dlg) == 0x01u; })) << "round " << round;
            const std::weak_ptr<const void> stopped = currentRun(dlg, 0);
            dlg.CallOnWindowThread([&] {
                dlg.OnServerButton();
                dlg.OnServerButton();
            });
            for (const auto& device : pouring)
                EXPECT_TRUE(device->closedByPeer(stress::stretched(2000ms)));
            // Every connection of the stopped run has ended; a frame it was
            // still handling when the new run started must not show.
            ASSERT_TRUE(eventually([&] { return stopped.expired(); }, stress::stretched(hangGuard)))
                << "round " << round;
            ASSERT_EQ(inputs(dlg), 0u) << "round " << round;
        }
        EXPECT_TRUE(looksRunning(w));
    });
}

TEST_F(ServerChurn, DevicesStreamOnFourPortsWhileTheServerStopsAndStartsFiftyTimes) {
    constexpr int devicesPerPort = 8;
    const int restarts = stress::scaled(50);
    // Ten seconds of streaming over the fifty restarts of a normal build.
    const auto cycle = 200ms;
    const auto stoppedFor = 5ms;

    const std::array<int, 4> ports{freePort(), freePort(), freePort(), freePort()};
    const std::array<std::string, 4> fields{str(ports[0]), str(ports[1]), str(ports[2]),
                                            str(ports[3])};
    const int baseThreads = threadCount();
    const int baseDescriptors = stress::descriptorCount();
    stress::StreamFigures total;
    auto slowestStop = 0ms;

    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, fields);
        ASSERT_TRUE(looksRunning(w));
        std::vector<std::unique_ptr<stress::StreamingDevice>> devices;
        for (int d = 0; d < devicesPerPort * 4; ++d) {
            devices.push_back(std::make_unique<stress::StreamingDevice>(
                ports[static_cast<std::size_t>(d % 4)], static_cast<std::uint32_t>(d * 1000)));
        }

        // Kelvane's outputs are switched while the devices stream: the frame
        // goes over the connection a device's thread may be closing.
        if (isKelvane) w.type(ids::destPortEdit, str(freePort()));
        int outputClicks = 0;
        for (int restart = 0; restart < restarts; ++restart) {
            if (isKelvane) {
                std::this_thread::sleep_for((cycle - stoppedFor) / 2);
                const int button = outputButtons[static_cast<std::size_t>(restart % 3)];
                if (w.enabled(button)) {
                    w.click(button);
                    ++outputClicks;
                }
                std::this_thread::sleep_for((cycle - stoppedFor) / 2);
            } else {
                std::this_thread::sleep_for(cycle - stoppedFor);
            }
            const auto before = std::chrono::steady_clock::now();
            w.click(ids::serverButton);
            slowestStop =
                std::max(slowestStop, std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - before));
            ASSERT_TRUE(looksStopped(w)) << "after stop " << restart;
            for (const PortSlot& slot : dlg.service.portSlots) ASSERT_EQ(slot.state.load(), Idle);

            std::this_thread::sleep_for(stoppedFor);
            w.click(ids::serverButton);
            ASSERT_TRUE(looksRunning(w)) << "after start " << restart;
            for (const PortSlot& slot : dlg.service.portSlots)
                ASSERT_EQ(slot.state.load(), Listening);
        }
        std::this_thread::sleep_for(cycle);

        for (auto& device : devices) {
            device->stop();
            total += device->figures();
            EXPECT_GT(device->figures().rightReplies, 0) << "a device was never served";
        }
        if (isKelvane) {
            EXPECT_GT(outputClicks, restarts / 2);
            EXPECT_GT(total.outputFrames, 0);
            EXPECT_LE(total.outputFrames, outputClicks * 4);
        }
        w.click(ids::serverButton);
        EXPECT_TRUE(looksStopped(w));
        EXPECT_TRUE(
            eventually([&] { return threadCount() == baseThreads; }, stress::stretched(2000ms)))
            << threadCount() << " threads, " << baseThreads << " before the start";
    });

    stress::reportFigures(
        "server churn, " + std::to_string(restarts) + " restarts",
        total.summary() + ", slowest stop " + std::to_string(slowestStop.count()) + " ms");
    EXPECT_EQ(total.wrongReplies, 0);
    EXPECT_EQ(total.unanswered, 0);
    // Every restart drops the connections, and the devices come back.
    EXPECT_GE(total.connections, static_cast<std::int64_t>(devicesPerPort) * 4 * restarts / 2);
    // A stop takes a few milliseconds on a free machine; the bound catches
    // one that hangs, with room for a machine busy with other work.
    EXPECT_LT(slowestStop, hangGuard);
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
    EXPECT_EQ(threadCount(), baseThreads);
    EXPECT_EQ(stress::descriptorCount(), baseDescriptors);
}

TEST_F(ServerChurn, SettingsLoadedWhileDevicesStreamRestartTheServerEachTime) {
    constexpr int devicesPerPort = 4;
    const int loads = stress::scaled(20);
    const std::array<int, 4> ports{freePort(), freePort(), freePort(), freePort()};
    std::string settings;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::string key = i == 0 ? "#$PORT=" : "#$PORT" + std::to_string(i + 1) + "=";
        settings += key + str(ports[i]) + "\r\n";
    }
    settings += "#$LOGGING=ON\r\n#$SERVER=START\r\n#$LOGFILENAME=" + pathOf("load.csv") + "\r\n";
    writeFile("running.set", settings);
    const int baseThreads = threadCount();
    stress::StreamFigures total;

    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        std::vector<std::unique_ptr<stress::StreamingDevice>> devices;
        for (int load = 0; load < loads; ++load) {
            ui::headless::queueFileDialogAnswer(pathOf("running.set"));
            w.click(ids::loadSettingsButton);
            ASSERT_TRUE(looksRunning(w)) << "after load " << load;
            for (const PortSlot& slot : dlg.service.portSlots)
                ASSERT_EQ(slot.state.load(), Listening);
            if (devices.empty()) {
                for (int d = 0; d < devicesPerPort * 4; ++d) {
                    devices.push_back(std::make_unique<stress::StreamingDevice>(
                        ports[static_cast<std::size_t>(d % 4)], static_cast<std::uint32_t>(d)));
                }
            }
            std::this_thread::sleep_for(100ms);
        }
        for (auto& device : devices) {
            device->stop();
            total += device->figures();
        }
        EXPECT_TRUE(looksRunning(w));
        w.click(ids::serverButton);
    });

    stress::reportFigures("settings loads under streams", total.summary());
    EXPECT_EQ(total.wrongReplies, 0);
    EXPECT_EQ(total.unanswered, 0);
    EXPECT_GT(total.rightReplies, 0);
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
    EXPECT_EQ(threadCount(), baseThreads);
}

}  // namespace
