// Several devices at once, and many connections coming and going.
#include <memory>
#include <thread>
#include <vector>

#include "net_fixture.h"

using namespace nettest;

namespace {

class Connections : public NetTest {};

TEST_F(Connections, TwoDevicesOnTwoPortsEachGetTheirOwnReplies) {
    const int p1 = freePort();
    const int p3 = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(p1), "", str(p3), ""});
        Device a(p1);
        Device b(p3);
        a.send({0xFC, 0x01, 0x01});
        b.send({0xFC, 0x02, 0x02});
        const Bytes fromA = a.receive(2);
        const Bytes fromB = b.receive(2);
        ASSERT_EQ(fromA.size(), 2u);
        ASSERT_EQ(fromB.size(), 2u);
        EXPECT_EQ(fromA[0], 0xFC);
        EXPECT_EQ(fromB[0], 0xFC);
        EXPECT_EQ(inputs(dlg), 0x03u);
        EXPECT_TRUE(eventually([&] {
            return w.text(ids::peerLabel1) == connectedFrom(deviceAddressText) &&
                   w.text(ids::peerLabel3) == connectedFrom(deviceAddressText);
        }));
        EXPECT_EQ(w.text(ids::peerLabel2), "");
        a.close();
        EXPECT_TRUE(eventually([&] { return w.text(ids::peerLabel1).empty(); }));
        b.send({0xFC, 0x00, 0x02});
        EXPECT_EQ(b.receive(2), (Bytes{0xFC, 0x01}));
        EXPECT_EQ(w.text(ids::peerLabel3), connectedFrom(deviceAddressText));
    });
}

TEST_F(Connections, TwoDevicesOnOnePortAreServedSideBySide) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device a(port);
        Device b(port);
        for (int round = 0; round < 5; ++round) {
            a.send({0xFC, 0x01, 0x01});
            EXPECT_EQ(a.receive(2).size(), 2u);
            b.send({0xFC, 0x00, 0x01});
            EXPECT_EQ(b.receive(2).size(), 2u);
        }
        EXPECT_EQ(inputs(dlg), 0x00u);
        // Each reply goes over the connection of its own frame only.
        b.send({0xFC, 0x04, 0x04});
        EXPECT_EQ(b.receive(2), (Bytes{0xFC, 0x04}));
        EXPECT_TRUE(a.receive(1, 50ms).empty());
        ASSERT_TRUE(eventually(
            [&] { return w.text(ids::peerLabel1) == connectedFrom(deviceAddressText); }));
        // a leaves while the window is busy, so its empty label waits; b's
        // frame comes before that write is done. b is connected: once a's
        // thread has ended, the label shows b.
        const int both = threadCount();
        const auto waitingLabelIs = [&](const std::string& text) {
            return dlg.service.peerLabelOnItsWay(0) == text;
        };
        dlg.CallOnWindowThread([&] {
            a.close();
            EXPECT_TRUE(eventually([&] { return waitingLabelIs(""); }));
            b.send({0xFC, 0x00, 0x04});
            EXPECT_EQ(b.receive(2), (Bytes{0xFC, 0x00}));
            EXPECT_TRUE(
                eventually([&] { return waitingLabelIs(connectedFrom(deviceAddressText)); }));
        });
        ASSERT_TRUE(eventually([&] { return threadCount() == both - 1; }));
        EXPECT_EQ(w.text(ids::peerLabel1), connectedFrom(deviceAddressText))
            << "label: " << w.text(ids::peerLabel1);
    });
}

TEST_F(Connections, ThreadCountReturnsToBaseAfterManyConnections) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        const int listening = threadCount();
        for (int cycle = 0; cycle < 40; ++cycle) {
            Device d(port);
            ASSERT_TRUE(d.connected());
            if (cycle % 2 == 0) {
                d.send({0xFC, 0x01, 0x01});
                EXPECT_EQ(d.receive(2).size(), 2u);
            }
        }
        // Connections that close before they are ever served. The pauses
        // keep the arrivals within the listen backlog of 5.
        for (int cycle = 0; cycle < 20; ++cycle) {
            Device(port).close();
            std::this_thread::sleep_for(3ms);
        }
        EXPECT_TRUE(eventually([&] { return threadCount() == listening; }));
        {
            std::vector<std::unique_ptr<Device>> crowd;
            for (int i = 0; i < 8; ++i) {
                crowd.push_back(std::make_unique<Device>(port));
                std::this_thread::sleep_for(3ms);
            }
            for (auto& d : crowd) d->send({0xFC, 0x02, 0x02});
            for (auto& d : crowd) EXPECT_EQ(d->receive(2).size(), 2u);
            EXPECT_TRUE(eventually([&] { return threadCount() == listening + 8; }));
            EXPECT_LE(threadCount(), listening + 8);
        }
        EXPECT_TRUE(eventually([&] { return threadCount() == listening; }))
            << threadCount() << " threads, " << listening << " expected";
        Device last(port);
        last.send({0xFC, 0x00, 0x03});
        EXPECT_EQ(last.receive(2).size(), 2u);
        EXPECT_EQ(inputs(dlg), 0x00u);
        (void)w;
    });
}

}  // namespace
