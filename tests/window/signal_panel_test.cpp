// Colours of lamps and status text for every state of the server and signals.
#include "support/monitor_fixture.h"

namespace {

class SignalPanelTest : public MonitorTest {};

constexpr ui::Color red = ui::rgb(255, 0, 0);
constexpr ui::Color black = ui::rgb(0, 0, 0);
constexpr ui::Color grey = ui::rgb(127, 127, 127);
constexpr ui::Color white = ui::rgb(255, 255, 255);

TEST_F(SignalPanelTest, InputLampsAreGreyWhileStoppedWhateverTheInputs) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        for (int i = 0; i < variant::inputCount; ++i) {
            dlg.inputOn[i].store(i % 2);
            EXPECT_EQ(w.colourOf(ids::inputLamp1 + i).brush, grey) << "input " << i + 1;
        }
    });
}

TEST_F(SignalPanelTest, InputLampsAreRedWhenOnAndBlackWhenOffWhileRunning) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        dlg.serverRunning.store(1);
        dlg.inputOn[1].store(1);
        for (int i = 0; i < variant::inputCount; ++i) {
            EXPECT_EQ(w.colourOf(ids::inputLamp1 + i).brush, i == 1 ? red : black)
                << "input " << i + 1;
        }
        dlg.serverRunning.store(0);
    });
}

#ifdef KELVANE_TESTS
TEST_F(SignalPanelTest, OutputLampsFollowTheOutputsWhetherOrNotTheServerRuns) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        dlg.outputOn[variant::outputCount - 1].store(1);
        for (int running = 0; running < 2; ++running) {
            dlg.serverRunning.store(running);
            EXPECT_EQ(w.colourOf(ids::outputLamp1).brush, black);
            EXPECT_EQ(w.colourOf(ids::outputLamp1 + 2).brush, red);
        }
        dlg.serverRunning.store(0);
    });
}
#endif

TEST_F(SignalPanelTest, StatusTextIsWhiteOnRedWhileRunningAndOnGreyWhileStopped) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        auto stopped = w.colourOf(ids::statusLabel);
        EXPECT_EQ(stopped.brush, grey);
        EXPECT_EQ(stopped.textBackground, grey);
        EXPECT_EQ(stopped.textColor, white);
        dlg.serverRunning.store(1);
        auto running = w.colourOf(ids::statusLabel);
        EXPECT_EQ(running.brush, red);
        EXPECT_EQ(running.textBackground, red);
        EXPECT_EQ(running.textColor, white);
        dlg.serverRunning.store(0);
    });
}

TEST_F(SignalPanelTest, OtherControlsKeepTheDefaultColours) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        dlg.serverRunning.store(1);
        for (int id : {ids::versionLabel, ids::peerLabel1, ids::logFileEdit, ids::inputNameEdit1,
                       ids::serverButton, ids::loggingCheck}) {
            const auto decision = w.colourOf(id);
            EXPECT_EQ(decision.brush, std::nullopt) << id;
            EXPECT_EQ(decision.textColor, std::nullopt) << id;
        }
        dlg.serverRunning.store(0);
    });
}

}  // namespace
