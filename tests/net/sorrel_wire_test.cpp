// Sorrel's device frames over a real connection: effects, replies, trace
// lines and the peer label.
#include "net_fixture.h"

using namespace nettest;

namespace {

class SorrelWire : public NetTest {
protected:
    static bool traceHas(Window& w, const std::string& lines) {
        return w.text(ids::traceEdit).find(lines) != std::string::npos;
    }
};

TEST_F(SorrelWire, EveryFrameOfTheTableIsAppliedAnsweredAndTraced) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        ASSERT_TRUE(d.connected());

        d.send({0xF0, 0x1F});
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0x1F}));
        EXPECT_EQ(inputs(dlg), 0x1Fu);
        ASSERT_TRUE(eventually(
            [&] { return w.text(ids::peerLabel1) == connectedFrom(deviceAddressText); }));
        EXPECT_TRUE(traceHas(w,
                             "select.\r\n"
                             "from:127.0.0.3   Recv : f0 1f\r\n"
                             "--to:127.0.0.3   Send : f0 1f\r\n"));

        d.send({0xFA, 0xF0, 0x03});
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0x03}));
        EXPECT_EQ(inputs(dlg), 0x03u);

        d.send({0xFC, 0x01, 0x00});
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0x01}));
        EXPECT_EQ(inputs(dlg), 0x01u);

        d.send({0xFC, 0x12, 0x12});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x13}));
        EXPECT_EQ(inputs(dlg), 0x13u);
        EXPECT_TRUE(eventually([&] {
            return traceHas(w,
                            "from:127.0.0.3   Recv : fc 12 12\r\n"
                            "--to:127.0.0.3   Send : fc 13\r\n");
        }));

        // A mask with only bits 5 to 7 changes nothing but is answered.
        d.send({0xFC, 0x00, 0xE0});
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x13}));
        EXPECT_EQ(inputs(dlg), 0x13u);
        EXPECT_EQ(w.colourOf(ids::inputLamp1).brush, ui::rgb(255, 0, 0));
        EXPECT_EQ(w.colourOf(ids::inputLamp1 + 2).brush, ui::rgb(0, 0, 0));
        EXPECT_EQ(w.colourOf(ids::inputLamp1 + 4).brush, ui::rgb(255, 0, 0));
    });
}

TEST_F(SorrelWire, NothingValuesGarbageAndSplitFrames) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        startWith(w, {str(port), "", "", ""});
        Device d(port);
        d.send({0xF0, 0x04});
        EXPECT_EQ(d.receive(2).size(), 2u);

        d.send({0xF0, 0xFF});
        d.send({0xFC, 0xFF, 0x01});
        d.send({0xFA, 0x12});
        d.send({0x00, 0x33});
        EXPECT_TRUE(d.receive(1, 150ms).empty());
        EXPECT_EQ(inputs(dlg), 0x04u);
        EXPECT_TRUE(traceHas(w,
                             "from:127.0.0.3   Recv : f0 ff\r\n"
                             "from:127.0.0.3   Recv : fc ff 01\r\n"));
        EXPECT_FALSE(traceHas(w, "Send : f0 ff"));

        d.sendSlowly({0xFA, 0xF0, 0x09}, 15ms);
        EXPECT_EQ(d.receive(2), (Bytes{0xF0, 0x09}));
        d.sendSlowly({0xFC, 0x02, 0x02}, 15ms);
        EXPECT_EQ(d.receive(2), (Bytes{0xFC, 0x0B}));
        EXPECT_EQ(inputs(dlg), 0x0Bu);

        d.send({0x01, 0xF0, 0x10, 0xFC, 0x01, 0x01, 0xFA, 0xF0, 0x00});
        EXPECT_EQ(d.receive(6), (Bytes{0xF0, 0x10, 0xFC, 0x11, 0xF0, 0x00}));
        EXPECT_EQ(inputs(dlg), 0x00u);
    });
}

TEST_F(SorrelWire, PeerCloseMidFrameChangesNothingAndEmptiesTheLabel) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        const int base = threadCount();
        startWith(w, {str(port), "", "", ""});
        const int listening = threadCount();
        {
            Device d(port);
            d.send({0xF0, 0x06});
            EXPECT_EQ(d.receive(2).size(), 2u);
            ASSERT_TRUE(eventually([&] { return !w.text(ids::peerLabel1).empty(); }));
            d.send({0xFC, 0x05});
        }
        EXPECT_TRUE(eventually(
            [&] { return w.text(ids::peerLabel1).empty() && threadCount() == listening; }));
        EXPECT_EQ(inputs(dlg), 0x06u);
        EXPECT_EQ(listening, base + 1);
    });
}

}  // namespace
