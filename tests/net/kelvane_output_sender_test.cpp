// Kelvane's ON/OFF buttons and the output frames they send.
#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "net/listener_run.h"
#include "net_fixture.h"

using namespace nettest;
using text::jp;

namespace {

class OutputSender : public NetTest {
protected:
    // A device that has sent one frame, so that the buttons are enabled.
    static void announce(Window& w, Device& d) {
        d.send({0xFC, 0x00, 0x00});
        EXPECT_EQ(d.receive(2).size(), 2u);
        ASSERT_TRUE(eventually([&] { return w.enabled(ids::outputButton1); }));
    }
};

TEST_F(OutputSender, FramesGoOverTheDevicesOpenConnection) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::destPortEdit, str(freePort()));
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        announce(w, d);
        const int lampPaints = w.invalidationCount(ids::outputLamp1 + 1);

        w.click(ids::outputButton2);
        EXPECT_EQ(d.receive(3), (Bytes{0xFA, 0xF0, 0x02}));
        EXPECT_EQ(dlg.outputOn[1].load(), 1);
        EXPECT_EQ(w.invalidationCount(ids::outputLamp1 + 1), lampPaints + 1);
        EXPECT_EQ(w.colourOf(ids::outputLamp1 + 1).brush, ui::rgb(255, 0, 0));
        w.click(ids::outputButton2);
        EXPECT_EQ(d.receive(3), (Bytes{0xFA, 0xF0, 0x00}));

        w.click(ids::outputButton1);
        w.click(ids::outputButton3);
        EXPECT_EQ(d.receive(6), (Bytes{0xFA, 0xF0, 0x01, 0xFA, 0xF0, 0x05}));
        w.click(ids::outputButton2);
        EXPECT_EQ(d.receive(3), (Bytes{0xFA, 0xF0, 0x07}));

        // The device's frames are still answered on the same connection.
        d.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x01}));
    });
}

TEST_F(OutputSender, ClicksInQuickSuccessionAllReachTheDeviceInOrder) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg&) {
        w.type(ids::destPortEdit, str(freePort()));
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        announce(w, d);
        // Each click may land as the sender finds its queue empty and ends.
        // Spacing the clicks from none to longer than a send sweeps that moment.
        constexpr int clicks = 2000;
        Bytes expected;
        for (int i = 0; i < clicks; ++i) {
            w.click(ids::outputButton2);
            const std::uint8_t on = i % 2 == 0 ? 2 : 0;
            expected.insert(expected.end(), {0xFA, 0xF0, on});
            const auto until =
                std::chrono::steady_clock::now() + std::chrono::microseconds(i % 200);
            while (std::chrono::steady_clock::now() < until) {
            }
        }
        EXPECT_EQ(d.receive(expected.size(), hangGuard), expected);
    });
}

TEST_F(OutputSender, ANewConnectionReachesADeviceThatClosedItsOwn) {
    const int port = freePort();
    const int dest = freePort();
    TestListener devicePort(deviceAddress(), dest);
    ASSERT_TRUE(devicePort.listening());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::destPortEdit, std::string(" ").append(str(dest)));
        startWith(w, {str(port), "", "", ""});
        {
            Device d(port);
            announce(w, d);
        }
        ASSERT_TRUE(eventually([&] { return dlg.service.portSlots[0].connSock.load() == 0; }));

        w.click(ids::outputButton1);
        const sock::Socket incoming = devicePort.acceptWithin(2000ms);
        ASSERT_NE(incoming, sock::invalidSocket);
        EXPECT_EQ(receiveFrom(incoming, 4, 1000ms), (Bytes{0xFA, 0xF0, 0x01}));
        sock::closesocket(incoming);
        EXPECT_EQ(dlg.outputOn[0].load(), 1);
    });
}

// Each stop ends the connects of its senders at once; the senders of every
// later start still wait for their connects to be answered.
TEST_F(OutputSender, AfterAStopAndAStartANewConnectionStillReachesTheDevice) {
    const int port = freePort();
    const int dest = freePort();
    TestListener devicePort(deviceAddress(), dest);
    ASSERT_TRUE(devicePort.listening());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::destPortEdit, str(dest));
        for (int run = 0; run < 3; ++run) {
            startWith(w, {str(port), "", "", ""});
            ASSERT_TRUE(looksRunning(w)) << "run " << run;
            {
                Device d(port);
                announce(w, d);
            }
            ASSERT_TRUE(eventually([&] { return dlg.service.portSlots[0].connSock.load() == 0; }))
                << "run " << run;

            w.click(ids::outputButton1);
            const sock::Socket incoming = devicePort.acceptWithin(hangGuard);
            ASSERT_NE(incoming, sock::invalidSocket) << "run " << run;
            EXPECT_EQ(receiveFrom(incoming, 4, hangGuard), (Bytes{0xFA, 0xF0, 0x01}))
                << "run " << run;
            sock::closesocket(incoming);

            w.click(ids::serverButton);
            ASSERT_TRUE(looksStopped(w)) << "run " << run;
        }
    });
}

TEST_F(OutputSender, EveryListeningPortGetsItsOwnFrame) {
    const int p1 = freePort();
    const int p2 = freePort();
    runMonitor([&](Window& w, CMonitorDlg&) {
        w.type(ids::destPortEdit, str(freePort()));
        startWith(w, {str(p1), str(p2), "", ""});
        Device a(p1);
        Device b(p2);
        announce(w, a);
        b.send({0xFC, 0x00, 0x00});
        EXPECT_EQ(b.receive(2).size(), 2u);

        w.click(ids::outputButton3);
        EXPECT_EQ(a.receive(3), (Bytes{0xFA, 0xF0, 0x04}));
        EXPECT_EQ(b.receive(3), (Bytes{0xFA, 0xF0, 0x04}));
        EXPECT_TRUE(a.receive(1, 50ms).empty());
        EXPECT_TRUE(b.receive(1, 50ms).empty());
    });
}

TEST_F(OutputSender, ABadDestinationPortChangesNothing) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        announce(w, d);
        int shown = 0;
        for (const char* bad : {"", "1023", "65536", "abc", "-1024"}) {
            w.type(ids::destPortEdit, bad);
            const int lampPaints = w.invalidationCount(ids::outputLamp1);
            w.click(ids::outputButton1);
            ++shown;
            ASSERT_EQ(ui::headless::messageBoxes().size(), static_cast<std::size_t>(shown)) << bad;
            EXPECT_EQ(ui::headless::messageBoxes().back(), jp("このポート番号は指定できません"));
            EXPECT_EQ(dlg.outputOn[0].load(), 0) << bad;
            EXPECT_EQ(w.invalidationCount(ids::outputLamp1), lampPaints) << bad;
        }
        EXPECT_TRUE(d.receive(1, 100ms).empty());
        w.type(ids::destPortEdit, "65535");
        w.click(ids::outputButton1);
        EXPECT_EQ(d.receive(3), (Bytes{0xFA, 0xF0, 0x01}));
    });
}

TEST_F(OutputSender, ADeviceThatNeverAnswersDelaysNeitherTheClickNorAnotherPortNorTheStop) {
    const int gone = freePort();
    const int other = freePort();
    const int dest = freePort();
    // A device port whose accept queue is full drops the sender's request,
    // as a device that is gone does; the connect would wait the platform's
    // 21 s for an answer.
    TestListener devicePort(deviceAddress(), dest);
    ASSERT_TRUE(devicePort.listening());
    std::vector<std::unique_ptr<Device>> queued;
    sock::setConnectTimeout(300);
    while (queued.size() < 10) {
        queued.push_back(std::make_unique<Device>(dest, deviceAddress()));
        if (!queued.back()->connected()) break;
    }
    sock::setConnectTimeout(21000);
    ASSERT_FALSE(queued.back()->connected());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::destPortEdit, str(dest));
        startWith(w, {str(gone), str(other), "", ""});
        {
            Device d(gone);
            announce(w, d);
        }
        ASSERT_TRUE(eventually([&] { return dlg.service.portSlots[0].connSock.load() == 0; }));
        Device stays(other);
        stays.send({0xFC, 0x00, 0x00});
        EXPECT_EQ(stays.receive(2).size(), 2u);

        const auto before = std::chrono::steady_clock::now();
        w.click(ids::outputButton1);
        EXPECT_LT(std::chrono::steady_clock::now() - before, hangGuard);
        EXPECT_EQ(dlg.outputOn[0].load(), 1);
        EXPECT_EQ(w.colourOf(ids::outputLamp1).brush, ui::rgb(255, 0, 0));
        // The other port's device gets every click's frame, in click order.
        w.click(ids::outputButton1);
        w.click(ids::outputButton3);
        EXPECT_EQ(stays.receive(9), (Bytes{0xFA, 0xF0, 0x01, 0xFA, 0xF0, 0x00, 0xFA, 0xF0, 0x04}));

        const auto stopping = std::chrono::steady_clock::now();
        w.click(ids::serverButton);
        EXPECT_LT(std::chrono::steady_clock::now() - stopping, hangGuard);
        EXPECT_TRUE(looksStopped(w));
    });
}

TEST_F(OutputSender, AProbeFromAnotherAddressNeverTakesTheDevicesOutputs) {
    const int port = freePort();
    const std::uint32_t probeAddress = address(127, 0, 0, 4);
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::destPortEdit, str(freePort()));
        startWith(w, {str(port), "", "", ""});
        // A health check before the device holds the slot until a frame
        // names the device's connection.
        Device early(port, serverAddress(), probeAddress);
        ASSERT_TRUE(eventually([&] { return dlg.service.portSlots[0].connSock.load() != 0; }));
        Device device(port);
        announce(w, device);
        const sock::Socket devices = dlg.service.portSlots[0].connSock.load();

        // The connections the port's run holds open from the probes' address:
        // the early one, and the probe of a round while it is connected.
        const auto probesOpen = [&] {
            return dlg.service.listenerRuns[0]->onConnections([&](const auto& open, bool) {
                return std::count_if(open.begin(), open.end(), [&](const auto& connection) {
                    return connection.peerAddr == probeAddress;
                });
            });
        };
        ASSERT_EQ(probesOpen(), 1);
        for (int round = 0; round < 3; ++round) {
            // A port scan connects and closes without a frame: the outputs
            // stay with the device, on its own connection.
            auto probe = std::make_unique<Device>(port, serverAddress(), probeAddress);
            ASSERT_TRUE(probe->connected());
            ASSERT_TRUE(eventually([&] { return probesOpen() == 2; }));
            w.click(ids::outputButton1);
            EXPECT_EQ(device.receive(3), (Bytes{0xFA, 0xF0, std::uint8_t(round % 2 == 0 ? 1 : 0)}));
            EXPECT_TRUE(probe->receive(1, 50ms).empty());
            probe.reset();
            ASSERT_TRUE(eventually([&] { return probesOpen() == 1; }));
            EXPECT_EQ(dlg.service.portSlots[0].connSock.load(), devices) << "round " << round;
        }
        early.close();
        w.click(ids::outputButton2);
        EXPECT_EQ(device.receive(3), (Bytes{0xFA, 0xF0, 0x03}));
    });
}

TEST_F(OutputSender, APortWithoutAPeerNeverReachesTheLocalHost) {
    const int port = freePort();
    const int quiet = freePort();
    const int dest = freePort();
    TestListener local(address(127, 0, 0, 1), dest);
    ASSERT_TRUE(local.listening());
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::destPortEdit, str(dest));
        startWith(w, {str(port), str(quiet), "", ""});
        Device d(port);
        announce(w, d);
        EXPECT_EQ(dlg.service.portSlots[1].peerAddr.load(), 0u);
        w.click(ids::outputButton2);
        EXPECT_EQ(d.receive(3), (Bytes{0xFA, 0xF0, 0x02}));
        EXPECT_EQ(local.acceptWithin(100ms), sock::invalidSocket);
        EXPECT_EQ(dlg.outputOn[1].load(), 1);
    });
}

}  // namespace
