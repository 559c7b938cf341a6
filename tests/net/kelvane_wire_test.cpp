// Kelvane's device frames over a real connection: effects, replies, the
// peer label, the ON/OFF buttons and the slot's record of the connection.
#include <thread>

#include "net_fixture.h"

using namespace nettest;

namespace {

class KelvaneWire : public NetTest {};

TEST_F(KelvaneWire, EveryFrameOfTheTableIsAppliedAndAnswered) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        ASSERT_TRUE(d.connected());
        EXPECT_FALSE(w.enabled(ids::outputButton1));

        d.send({0xFA, 0xF0, 0x05});
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0x05}));
        EXPECT_EQ(inputs(dlg), 0x05u);
        ASSERT_TRUE(eventually([&] { return w.enabled(ids::outputButton3); }));
        EXPECT_EQ(w.text(ids::peerLabel1), connectedFrom(deviceAddressText));
        EXPECT_EQ(dlg.service.portSlots[0].peerAddr.load(), deviceAddress());
        EXPECT_NE(dlg.service.portSlots[0].connSock.load(), 0u);
        for (int button : outputButtons) EXPECT_TRUE(w.enabled(button));
        EXPECT_EQ(w.colourOf(ids::inputLamp1).brush, ui::rgb(255, 0, 0));
        EXPECT_EQ(w.colourOf(ids::inputLamp1 + 1).brush, ui::rgb(0, 0, 0));
        EXPECT_EQ(w.colourOf(ids::inputLamp1 + 2).brush, ui::rgb(255, 0, 0));

        // High bits change nothing and come back unchanged.
        d.send({0xFA, 0xF0, 0xFD});
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0xFD}));
        EXPECT_EQ(inputs(dlg), 0x05u);

        d.send({0xFC, 0x02, 0x02});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x07}));
        EXPECT_EQ(inputs(dlg), 0x07u);

        d.send({0xFC, 0x00, 0x00});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x07}));

        // Mask bits above input 3 only: nothing changes.
        d.send({0xFC, 0x00, 0xF8});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x07}));
        EXPECT_EQ(inputs(dlg), 0x07u);

        d.send({0xFC, 0x00, 0x05});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x02}));
        EXPECT_EQ(inputs(dlg), 0x02u);
    });
}

TEST_F(KelvaneWire, GarbageSplitBytesAndTheTwoByteValueFrame) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        d.send({0x00, 0xFC, 0x01, 0x01});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x01}));
        d.send({0x12, 0xFA, 0xF0, 0x03});
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0x03}));
        EXPECT_EQ(inputs(dlg), 0x03u);

        d.send({0xF0, 0x05});
        EXPECT_TRUE(d.receive(1, 150ms).empty());
        EXPECT_EQ(inputs(dlg), 0x03u);

        d.sendSlowly({0xFA, 0xF0, 0x04}, 15ms);
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0x04}));
        EXPECT_EQ(inputs(dlg), 0x04u);
        d.sendSlowly({0xFC, 0x01, 0x01}, 15ms);
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x05}));

        // Several frames in one packet are each answered.
        d.send({0xFC, 0x00, 0x07, 0xFA, 0xF0, 0x02, 0xFC, 0x01, 0x01});
        EXPECT_EQ(d.receive(6), (Bytes{0xFC, 0x00, 0xF0, 0x02, 0xFC, 0x03}));
        EXPECT_EQ(inputs(dlg), 0x03u);
        EXPECT_TRUE(eventually([&] { return w.enabled(ids::outputButton1); }));
    });
}

TEST_F(KelvaneWire, PeerCloseEmptiesTheLabelAndKeepsTheRest) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        {
            Device d(port);
            d.send({0xFA, 0xF0, 0x06});
            EXPECT_EQ(d.receive(2).size(), 2u);
            ASSERT_TRUE(eventually([&] { return w.enabled(ids::outputButton1); }));
            // Closing in the middle of a frame.
            d.send({0xFC, 0x01});
        }
        EXPECT_TRUE(eventually([&] {
            return w.text(ids::peerLabel1).empty() && dlg.service.portSlots[0].connSock.load() == 0;
        }));
        EXPECT_EQ(inputs(dlg), 0x06u);
        EXPECT_TRUE(w.enabled(ids::outputButton1));
        EXPECT_EQ(dlg.service.portSlots[0].peerAddr.load(), deviceAddress());
        EXPECT_EQ(dlg.service.portSlots[0].state.load(), Listening);
    });
}

TEST_F(KelvaneWire, SecondDeviceOnOnePortIsServedOnItsOwnConnection) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device first(port);
        // The first connection of a port is named from its accept on.
        ASSERT_TRUE(eventually([&] { return dlg.service.portSlots[0].connSock.load() != 0; }));
        const sock::Socket firstConnection = dlg.service.portSlots[0].connSock.load();
        Device second(port);
        first.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(first.receive(2), (Bytes{0xFC, 0x01}));
        second.send({0xFC, 0x02, 0x02});
        EXPECT_EQ(second.receive(2), (Bytes{0xFC, 0x03}));
        EXPECT_TRUE(first.receive(1, 50ms).empty());
        first.send({0xFA, 0xF0, 0x04});
        EXPECT_EQ(first.receive(2), (Bytes{0xF0, 0x04}));
        EXPECT_TRUE(second.receive(1, 50ms).empty());

        // The slot names the connection of the device that sent last; the
        // other device closing leaves it alone.
        second.send({0xFC, 0x00, 0x00});
        EXPECT_EQ(second.receive(2), (Bytes{0xFC, 0x04}));
        ASSERT_TRUE(eventually([&] {
            const sock::Socket s = dlg.service.portSlots[0].connSock.load();
            return s != 0 && s != firstConnection;
        }));
        const sock::Socket named = dlg.service.portSlots[0].connSock.load();
        const int both = threadCount();
        first.close();
        ASSERT_TRUE(eventually([&] { return threadCount() == both - 1; }));
        EXPECT_EQ(dlg.service.portSlots[0].connSock.load(), named);
        second.send({0xFC, 0x01, 0x01});
        EXPECT_EQ(second.receive(2), (Bytes{0xFC, 0x05}));
        second.close();
        EXPECT_TRUE(eventually([&] { return dlg.service.portSlots[0].connSock.load() == 0; }));

        // A device comes back while its old connection still looks open (no
        // FIN reached the monitor): the new connection gets the output
        // frames at once, before it has sent a frame.
        Device stale(port);
        stale.send({0xFC, 0x00, 0x00});
        EXPECT_EQ(stale.receive(2).size(), 2u);
        const auto staleSock = dlg.service.portSlots[0].connSock.load();
        Device back(port);
        ASSERT_TRUE(eventually([&] {
            const auto now = dlg.service.portSlots[0].connSock.load();
            return now != 0 && now != staleSock;
        }));
        w.type(ids::destPortEdit, str(freePort()));
        w.click(ids::outputButton1);
        EXPECT_EQ(back.receive(3), (Bytes{0xFA, 0xF0, 0x01}));
        EXPECT_TRUE(stale.receive(1, 50ms).empty());
    });
}

}  // namespace
