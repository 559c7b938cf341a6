// Start-up with the last-settings pointer beside the program.
#include <string>

#include "store/unused_port.h"
#include "support/monitor_fixture.h"

namespace {

class LastSettingsTest : public MonitorTest {
protected:
    std::string iniName() const { return std::string(variant::productName) + ".ini"; }
    std::string defaultSettingsPath() const {
        return pathOf(std::string(variant::productName) + "." + variant::settingsExtension);
    }
};

TEST_F(LastSettingsTest, ThePointedFileIsAppliedBeforeTheUserActs) {
    writeFile("last.set", "#$TITLEBAR=Line 2\r\n#$DI1=Pump\r\n#$PORT3=10009\r\n");
    writeFile(iniName(), pathOf("last.set"));
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.settingsPath, pathOf("last.set"));
        EXPECT_EQ(window.caption(), "Line 2");
        EXPECT_EQ(window.text(ids::inputNameEdit1), "Pump");
        EXPECT_EQ(window.text(ids::portEdit3), "10009");
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), false);
        EXPECT_EQ(dlg.initDone.load(), 1);
        EXPECT_EQ(dlg.serverRunning.load(), 0);
    });
}

TEST_F(LastSettingsTest, OnlyThePointersFirstLineCounts) {
    writeFile("last.set", "#$DI1=Pump\r\n");
    writeFile("other.set", "#$DI1=Other\r\n");
    writeFile(iniName(), pathOf("last.set") + "\r\n" + pathOf("other.set"));
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.settingsPath, pathOf("last.set"));
        EXPECT_EQ(window.text(ids::inputNameEdit1), "Pump");
    });
}

TEST_F(LastSettingsTest, AnEmptyFirstLineNamesNoFileAndLoadsNothing) {
    writeFile(iniName(), "\r\n");
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.settingsPath, "");
        EXPECT_EQ(window.caption(), variant::productName);
        EXPECT_EQ(window.text(ids::inputNameEdit1), "DI1");
    });
}

TEST_F(LastSettingsTest, AMissingEmptyOrOversizedPointerKeepsTheDefaults) {
    runMonitor(
        [this](Window&, CMonitorDlg& dlg) { EXPECT_EQ(dlg.settingsPath, defaultSettingsPath()); });
    writeFile(iniName(), "");
    runMonitor(
        [this](Window&, CMonitorDlg& dlg) { EXPECT_EQ(dlg.settingsPath, defaultSettingsPath()); });
    // A first line beyond the reader's bound of 1 MiB is no path.
    writeFile(iniName(), std::string(1024 * 1024 + 1, 'a') + "\r\n" + pathOf("a.set"));
    runMonitor(
        [this](Window&, CMonitorDlg& dlg) { EXPECT_EQ(dlg.settingsPath, defaultSettingsPath()); });
}

TEST_F(LastSettingsTest, APointerToAMissingFileKeepsTheDefaultsButNotThePath) {
    writeFile(iniName(), pathOf("gone.set"));
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.settingsPath, pathOf("gone.set"));
        EXPECT_EQ(window.text(ids::portEdit1), "10003");
        EXPECT_EQ(window.caption(), variant::productName);
    });
}

TEST_F(LastSettingsTest, WhatASaveLeavesIsWhatTheNextStartRestores) {
    ui::headless::queueFileDialogAnswer(pathOf("saved.set"));
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        dlg.titleText = "Saved";
        window.type(ids::inputNameEdit1 + 2, "Fan");
        window.type(ids::portEdit4, "12345");
        window.click(ids::saveSettingsButton);
    });
    runMonitor([](Window& window, CMonitorDlg&) {
        EXPECT_EQ(window.caption(), "Saved");
        EXPECT_EQ(window.text(ids::inputNameEdit1 + 2), "Fan");
        EXPECT_EQ(window.text(ids::portEdit4), "12345");
    });
}

TEST_F(LastSettingsTest, AFileSavedRunningStartsTheServerDuringStartUp) {
    const int port = store_test::unusedPort();
    writeFile("running.set", "#$PORT=" + std::to_string(port) + "\r\n#$SERVER=START\r\n");
    writeFile(iniName(), pathOf("running.set"));
    runMonitor([port](Window&, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.serverRunning.load(), 1);
        EXPECT_EQ(dlg.service.portSlots[0].state.load(), Listening);
        EXPECT_EQ(dlg.service.portSlots[0].port, port);
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), false);
    });
}

}  // namespace
