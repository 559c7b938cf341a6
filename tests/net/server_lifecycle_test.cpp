// Starting and stopping the server: port fields, duplicates, socket
// failures, and what a stop does to connected devices.
#include <memory>
#include <thread>

#include "net_fixture.h"

using namespace nettest;
using text::jp;

namespace {

class ServerLifecycle : public NetTest {};

TEST_F(ServerLifecycle, PortFieldsAreTrimmedReadLikeAtoiAndCheckedForRange) {
    const int p1 = freePort();
    const int p3 = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {"  " + str(p1) + "\t", "1023", str(p3) + "x", "abc"});
        EXPECT_TRUE(looksRunning(w));
        EXPECT_EQ(dlg.serverRunning.load(), 1);
        EXPECT_EQ(dlg.service.portSlots[0].state.load(), Listening);
        EXPECT_EQ(dlg.service.portSlots[0].port, p1);
        EXPECT_EQ(dlg.service.portSlots[1].state.load(), Idle);
        EXPECT_EQ(dlg.service.portSlots[2].state.load(), Listening);
        EXPECT_EQ(dlg.service.portSlots[2].port, p3);
        EXPECT_EQ(dlg.service.portSlots[3].state.load(), Idle);
        EXPECT_EQ(w.text(ids::peerLabel1), "");
        EXPECT_EQ(w.text(ids::peerLabel2), jp("ポート番号エラー"));
        EXPECT_EQ(w.text(ids::peerLabel3), "");
        EXPECT_EQ(w.text(ids::peerLabel4), jp("ポート番号エラー"));
        EXPECT_TRUE(Device(p1).connected());
        EXPECT_TRUE(Device(p3).connected());

        w.click(ids::serverButton);
        EXPECT_TRUE(looksStopped(w));
        for (int label : peerLabels) EXPECT_EQ(w.text(label), "");
        startWith(w, {"65536", "-5", "", str(p1)});
        EXPECT_EQ(w.text(ids::peerLabel1), jp("ポート番号エラー"));
        EXPECT_EQ(w.text(ids::peerLabel2), jp("ポート番号エラー"));
        EXPECT_EQ(dlg.service.portSlots[3].state.load(), Listening);
        EXPECT_TRUE(Device(p1).connected());
        EXPECT_FALSE(Device(p3).connected());
    });
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
}

TEST_F(ServerLifecycle, AllFieldsBlankRunsWithoutListenersAndStopsAtOnce) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {"", " ", "", ""});
        EXPECT_TRUE(looksRunning(w));
        for (const PortSlot& slot : dlg.service.portSlots) EXPECT_EQ(slot.state.load(), Idle);
        std::array<int, variant::inputCount> paintedRunning{};
        for (int k = 0; k < variant::inputCount; ++k) {
            paintedRunning[k] = w.invalidationCount(ids::inputLamp1 + k);
        }
        const auto before = std::chrono::steady_clock::now();
        w.click(ids::serverButton);
        EXPECT_LT(std::chrono::steady_clock::now() - before, hangGuard);
        EXPECT_TRUE(looksStopped(w));
        EXPECT_EQ(dlg.serverRunning.load(), 0);
        // No listener ends, so the stop itself repaints the lamps grey.
        for (int k = 0; k < variant::inputCount; ++k) {
            EXPECT_GT(w.invalidationCount(ids::inputLamp1 + k), paintedRunning[k]);
            EXPECT_EQ(w.colourOf(ids::inputLamp1 + k).brush, ui::rgb(127, 127, 127));
        }
    });
}

TEST_F(ServerLifecycle, DuplicatePortsOpenNothing) {
    const int port = freePort();
    const int other = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), str(other), std::string(" ").append(str(port)), ""});
        ASSERT_EQ(ui::headless::messageBoxes().size(), 1u);
        EXPECT_EQ(ui::headless::messageBoxes()[0], jp("ポート番号は重複できません。"));
        EXPECT_TRUE(looksStopped(w));
        EXPECT_EQ(dlg.serverRunning.load(), 0);
        for (const PortSlot& slot : dlg.service.portSlots) EXPECT_EQ(slot.state.load(), Idle);
        EXPECT_FALSE(Device(port).connected());
        EXPECT_FALSE(Device(other).connected());

        w.type(ids::portEdit3, "");
        w.click(ids::serverButton);
        EXPECT_TRUE(looksRunning(w));
        EXPECT_TRUE(Device(port).connected());
        EXPECT_TRUE(Device(other).connected());
        EXPECT_EQ(ui::headless::messageBoxes().size(), 1u);
    });
}

TEST_F(ServerLifecycle, BindFailureShowsItsCodeAndLeavesNoPortOpen) {
    const int held = freePort();
    const int open = freePort();
    TestListener occupant(serverAddress(), held);
    ASSERT_TRUE(occupant.listening());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(open), str(held), "", ""});
        ASSERT_EQ(ui::headless::messageBoxes().size(), 1u);
        EXPECT_EQ(ui::headless::messageBoxes()[0], jp("ネットワークエラー:B 10048\r\n"));
        EXPECT_TRUE(looksStopped(w));
        EXPECT_EQ(dlg.serverRunning.load(), 0);
        for (const PortSlot& slot : dlg.service.portSlots) EXPECT_EQ(slot.state.load(), Idle);
        EXPECT_FALSE(Device(open).connected());

        // The next attempt opens exactly the ports valid then.
        w.type(ids::portEdit2, "");
        w.click(ids::serverButton);
        EXPECT_TRUE(looksRunning(w));
        EXPECT_TRUE(Device(open).connected());
    });
}

TEST_F(ServerLifecycle, StopEndsEveryConnectionAndReturnsToTheStoppedLook) {
    const int p1 = freePort();
    const int p2 = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        const int base = threadCount();
        startWith(w, {str(p1), "", "", str(p2)});
        Device a(p1);
        Device b(p2);
        Device sameAsA(p1);
        // Two listeners and three connections: every connection is accepted
        // before a's frame, which then names a as the device for the outputs.
        ASSERT_TRUE(eventually([&] { return threadCount() == base + 5; }));
        a.send({0xFA, 0xF0, 0x01});
        EXPECT_EQ(a.receive(2), (Bytes{0xF0, 0x01}));
        b.send({0xFC, 0x02, 0x02});
        EXPECT_EQ(b.receive(2).size(), 2u);
        ASSERT_TRUE(
            eventually([&] { return w.text(ids::peerLabel4) == connectedFrom("127.0.0.3"); }));
        EXPECT_EQ(inputs(dlg), 0x03u);
        if (isKelvane) {
            ASSERT_TRUE(eventually([&] { return w.enabled(ids::outputButton1); }));
            w.type(ids::destPortEdit, str(freePort()));
            w.click(ids::outputButton1);
            EXPECT_EQ(a.receive(3), (Bytes{0xFA, 0xF0, 0x01}));
        }

        const auto before = std::chrono::steady_clock::now();
        w.click(ids::serverButton);
        EXPECT_LT(std::chrono::steady_clock::now() - before, hangGuard);
        for (const PortSlot& slot : dlg.service.portSlots) EXPECT_EQ(slot.state.load(), Idle);
        EXPECT_TRUE(a.closedByPeer(hangGuard));
        EXPECT_TRUE(b.closedByPeer(hangGuard));
        EXPECT_TRUE(sameAsA.closedByPeer(hangGuard));
        EXPECT_TRUE(eventually([&] { return inputs(dlg) == 0 && threadCount() == base; }));
        EXPECT_TRUE(looksStopped(w));
        for (int label : peerLabels) EXPECT_EQ(w.text(label), "");
        for (int k = 0; k < variant::inputCount; ++k) {
            EXPECT_EQ(w.colourOf(ids::inputLamp1 + k).brush, ui::rgb(127, 127, 127));
        }
        EXPECT_EQ(w.colourOf(ids::statusLabel).brush, ui::rgb(127, 127, 127));
        for (int k = 0; k < variant::outputCount; ++k) {
            EXPECT_EQ(dlg.outputOn[static_cast<std::size_t>(k)].load(), 0);
            EXPECT_FALSE(w.enabled(outputButtons[static_cast<std::size_t>(k)]));
            EXPECT_EQ(w.colourOf(ids::outputLamp1 + k).brush, ui::rgb(0, 0, 0));
        }
        EXPECT_FALSE(Device(p1).connected());
    });
}

TEST_F(ServerLifecycle, RestartRightAfterStopKeepsTheRunningLook) {
    const int port = freePort();
    const int base = threadCount();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        d.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(d.receive(2).size(), 2u);
        // Stop and start within one handler, as a settings load does.
        dlg.CallOnWindowThread([&] {
            dlg.OnServerButton();
            dlg.OnServerButton();
        });
        EXPECT_TRUE(d.closedByPeer(hangGuard));
        // The stopped run's listener and connection have ended, and with them
        // their last window updates: only the new listener is left.
        EXPECT_TRUE(eventually([&] { return threadCount() == base + 1; }, hangGuard));
        EXPECT_TRUE(looksRunning(w));
        EXPECT_EQ(dlg.service.portSlots[0].state.load(), Listening);
        Device again(port);
        again.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(again.receive(2), (Bytes{0xFC, 0x01}));
        EXPECT_TRUE(looksRunning(w));
    });
}

TEST_F(ServerLifecycle, RestartWithinOneHandlerStillClearsTheInputsOfTheStoppedRun) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        d.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(d.receive(2).size(), 2u);
        ASSERT_EQ(inputs(dlg), 0x01u);
        // Stop and start within one handler, as a settings load does: the
        // device of the stopped run is gone, so its input is off again.
        dlg.CallOnWindowThread([&] {
            dlg.OnServerButton();
            dlg.OnServerButton();
        });
        EXPECT_TRUE(d.closedByPeer(hangGuard));
        EXPECT_TRUE(eventually([&] { return inputs(dlg) == 0; }, hangGuard));
        EXPECT_TRUE(looksRunning(w));
        EXPECT_EQ(w.colourOf(ids::inputLamp1).brush, ui::rgb(0, 0, 0));
    });
}

TEST_F(ServerLifecycle, ClosingTheWindowEndsEveryWorkerPromptly) {
    const int port = freePort();
    std::unique_ptr<Device> device;
    const int base = threadCount();
    const auto closed = [&] {
        runMonitor([&](Window& w, CMonitorDlg&) {
            startWith(w, {str(port), "", "", ""});
            device = std::make_unique<Device>(port);
            // A device that has begun its next frame: once the reply to the
            // first is out, the thread takes the lone byte and waits for the
            // rest, or is about to.
            device->send({0xFC, 0x01, 0x01, 0xFC});
            EXPECT_EQ(device->receive(2).size(), 2u);
        });
        return std::chrono::steady_clock::now();
    };
    const auto before = std::chrono::steady_clock::now();
    const auto after = closed();
    EXPECT_LT(after - before, hangGuard);
    EXPECT_TRUE(device->closedByPeer(hangGuard));
    EXPECT_EQ(threadCount(), base);
}

TEST_F(ServerLifecycle, TheCloseOfARunningServerRestsNowhere) {
    const int port = freePort();
    std::chrono::steady_clock::time_point asked;
    runMonitor([&](Window& w, CMonitorDlg&) {
        startWith(w, {str(port), str(freePort()), str(freePort()), str(freePort())});
        ASSERT_TRUE(looksRunning(w));
        asked = std::chrono::steady_clock::now();
    });
    // Well under a pause of a tenth of a second for each of the four ports.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 300ms);
}

}  // namespace
