// Loading a settings file into the window: the dialog, the reader's rules
// as the window shows them, and the server stopped and started around it.
#include <string>
#include <vector>

#include "platform/text.h"
#include "store/unused_port.h"
#include "support/monitor_fixture.h"

namespace {

class SettingsLoadTest : public MonitorTest {
protected:
    // Writes a settings file and loads it through the load button.
    void load(Window& window, const std::string& name, const std::string& bytes) const {
        writeFile(name, bytes);
        ui::headless::queueFileDialogAnswer(pathOf(name));
        window.click(ids::loadSettingsButton);
    }
};

std::string nameOf(ui::headless::Window& window, int input) {
    return window.text(ids::inputNameEdit1 + input - 1);
}

TEST_F(SettingsLoadTest, ANameLineRenamesThatInputAloneAndReappliesCaptionAndLogField) {
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        dlg.titleText = "Custom";
        dlg.eventLog.setPath(pathOf("other.csv"));
        load(window, "a.set", "#$DI2=Pump\r\n");
        EXPECT_EQ(nameOf(window, 1), "DI1");
        EXPECT_EQ(nameOf(window, 2), "Pump");
        EXPECT_EQ(nameOf(window, 3), "DI3");
        EXPECT_EQ(window.text(ids::portEdit1), "10003");
        EXPECT_EQ(window.caption(), "Custom");
        EXPECT_EQ(window.text(ids::logFileEdit), pathOf("other.csv"));
        EXPECT_EQ(dlg.settingsPath, pathOf("a.set"));
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), false);
        EXPECT_EQ(dlg.initDone.load(), 1);
    });
}

TEST_F(SettingsLoadTest, TheOpenDialogStartsAtTheCurrentSettingsFile) {
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        const std::string before = dlg.settingsPath;
        window.click(ids::loadSettingsButton);
        EXPECT_EQ(dlg.settingsPath, before);
        EXPECT_EQ(dlg.initDone.load(), 1);
    });
    const auto requests = ui::headless::fileDialogRequests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string extension = variant::settingsExtension;
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(requests[0].defaultExtension, extension);
    EXPECT_EQ(requests[0].initialPath, pathOf(std::string(variant::productName) + "." + extension));
    EXPECT_EQ(requests[0].filter,
              extension + " file (*." + extension + ")|*." + extension + "|all files(*.*)|*.*||");
    EXPECT_TRUE(requests[0].overwritePrompt);
    EXPECT_TRUE(requests[0].hideReadOnly);
}

TEST_F(SettingsLoadTest, KeysAreFoundAnywhereAndValuesTakenAsTheyStand) {
    runMonitor([this](Window& window, CMonitorDlg&) {
        load(window, "a.set",
             "#$PORT2=10004\n"
             "  #$PORT=10003\n"
             "#$TITLEBAR=A=B\r\n"
             "#$LOGGING=ONLINE\n");
        EXPECT_EQ(window.text(ids::portEdit1), "T=10003");
        EXPECT_EQ(window.text(ids::portEdit2), "10004");
        EXPECT_EQ(window.text(ids::portEdit3), "");
        EXPECT_EQ(window.caption(), "A=B");
        EXPECT_TRUE(window.checked(ids::loggingCheck));

        load(window, "b.set", "#$LOGGING=on\n");
        EXPECT_FALSE(window.checked(ids::loggingCheck));
        load(window, "c.set", "#$LOGGING=ON\n#$LOGFILENAME=" + pathOf("x.csv") + "\n");
        EXPECT_TRUE(window.checked(ids::loggingCheck));
        EXPECT_EQ(window.text(ids::logFileEdit), pathOf("x.csv"));
        load(window, "d.set", "#$LOGGING=\n");
        EXPECT_FALSE(window.checked(ids::loggingCheck));
    });
}

TEST_F(SettingsLoadTest, NamesAreCutToTheLimitOfTheirEdits) {
    runMonitor([this](Window& window, CMonitorDlg&) {
        load(window, "a.set",
             "#$DI1=ABCDEFGHIJKLMNOPQRSTUVWXY\n"
             "#$DI3=1234567890123456789\x82\xa0\n");
        EXPECT_EQ(nameOf(window, 1), "ABCDEFGHIJKLMNOPQRST");
        EXPECT_EQ(nameOf(window, 3), "1234567890123456789");
    });
}

TEST_F(SettingsLoadTest, OnlyTheKeysOfThisProgramTakeEffect) {
    runMonitor([this](Window& window, CMonitorDlg&) {
        load(window, "both.set",
             "#$SEND=20000\n#$DI1=a\n#$DI2=b\n#$DI3=c\n#$DI4=d\n#$DI5=e\n#$DO1=x\n#$DO3=z\n");
        EXPECT_EQ(nameOf(window, 3), "c");
        if constexpr (isKelvane) {
            EXPECT_EQ(window.text(ids::destPortEdit), "20000");
            EXPECT_EQ(window.text(ids::outputNameEdit1), "x");
            EXPECT_EQ(window.text(ids::outputNameEdit2), "DO2");
            EXPECT_EQ(window.text(ids::outputNameEdit3), "z");
        } else {
            EXPECT_EQ(nameOf(window, 4), "d");
            EXPECT_EQ(nameOf(window, 5), "e");
        }
    });
}

TEST_F(SettingsLoadTest, AnEmptyFileOnlyReappliesCaptionAndLogField) {
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        dlg.titleText = "Custom";
        dlg.logFileEdit.setText("shown before");
        writeFile("empty.set", "");
        EXPECT_EQ(dlg.ReadSettingsFile(pathOf("empty.set")), 0);
        EXPECT_EQ(window.caption(), "Custom");
        EXPECT_EQ(window.text(ids::logFileEdit),
                  pathOf(std::string(variant::productName) + ".csv"));
        load(window, "empty.set", "");
        EXPECT_EQ(dlg.serverRunning.load(), 0);
        EXPECT_EQ(nameOf(window, 1), "DI1");
    });
}

TEST_F(SettingsLoadTest, AMissingFileChangesNothingButTheRememberedPath) {
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        dlg.titleText = "Custom";
        EXPECT_EQ(dlg.ReadSettingsFile(pathOf("missing.set")), 0);
        ui::headless::queueFileDialogAnswer(pathOf("missing.set"));
        window.click(ids::loadSettingsButton);
        EXPECT_EQ(dlg.settingsPath, pathOf("missing.set"));
        EXPECT_EQ(window.caption(), variant::productName);
        EXPECT_EQ(dlg.initDone.load(), 1);
    });
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
}

TEST_F(SettingsLoadTest, OnlyACapitalStartRequestsTheServerAndNothingCancelsIt) {
    runMonitor([this](Window&, CMonitorDlg& dlg) {
        const auto result = [&](const std::string& bytes) {
            writeFile("a.set", bytes);
            return dlg.ReadSettingsFile(pathOf("a.set"));
        };
        EXPECT_EQ(result("#$SERVER=START\r\n"), 1);
        EXPECT_EQ(result("#$SERVER=STARTED\r\n"), 1);
        EXPECT_EQ(result("#$SERVER=START\r\n#$SERVER=STOP\r\n"), 1);
        EXPECT_EQ(result("#$SERVER=start\r\n"), 0);
        EXPECT_EQ(result("#$SERVER=STOP\r\n"), 0);
    });
}

TEST_F(SettingsLoadTest, AnyBytesAndAnyLengthAreReadSafely) {
    const std::string longLine(200000, 'x');
    std::string bytes = "#$TITLEBAR=%s%n%s\r\n";
    bytes += std::string("#$DI1=a\0b\xff\x81\r\n", 13);
    bytes += longLine + "#$PORT4=9\r\n";
    bytes += "\xff\xfe\x81\r\n\r\n\n";
    bytes += "#$LOGFILENAME=" + longLine;
    runMonitor([this, &bytes, &longLine](Window& window, CMonitorDlg& dlg) {
        load(window, "odd.set", bytes);
        EXPECT_EQ(window.caption(), "%s%n%s");
        EXPECT_TRUE(nameOf(window, 1).starts_with("a"));
        EXPECT_EQ(window.text(ids::portEdit4), longLine.substr(8) + "#$PORT4=9");
        EXPECT_EQ(dlg.eventLog.path(), longLine);
    });
}

TEST_F(SettingsLoadTest, NamesLoadedLeaveAPendingNameEditPending) {
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        window.type(ids::inputNameEdit1, "edited");
        load(window, "a.set", "#$DI2=Pump\r\n");
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), true);
    });
}

TEST_F(SettingsLoadTest, ASavedSetUpLoadsBackUnchanged) {
    const std::string title = text::jp("ライン１");
    const std::string pump = text::jp("ポンプ");
    runMonitor([&, this](Window& window, CMonitorDlg& dlg) {
        dlg.titleText = title;
        window.type(ids::portEdit2, "10010");
        window.type(ids::portEdit4, "20000");
        window.type(ids::inputNameEdit1 + 1, pump);
        if constexpr (isKelvane) {
            window.type(ids::destPortEdit, "10020");
            window.type(ids::outputNameEdit3, "a=b");
        }
        window.setCheck(ids::loggingCheck, true);
        ui::headless::queueFileDialogAnswer(pathOf("saved.set"));
        window.click(ids::saveSettingsButton);

        dlg.titleText = "other";
        window.type(ids::portEdit2, "");
        window.type(ids::inputNameEdit1 + 1, "x");
        if constexpr (isKelvane) window.type(ids::outputNameEdit3, "y");
        window.setCheck(ids::loggingCheck, false);

        ui::headless::queueFileDialogAnswer(pathOf("saved.set"));
        window.click(ids::loadSettingsButton);
        EXPECT_EQ(window.caption(), title);
        EXPECT_EQ(window.text(ids::portEdit2), "10010");
        EXPECT_EQ(nameOf(window, 2), pump);
        EXPECT_TRUE(window.checked(ids::loggingCheck));
        if constexpr (isKelvane) {
            EXPECT_EQ(window.text(ids::outputNameEdit3), "a=b");
        }

        ui::headless::queueFileDialogAnswer(pathOf("again.set"));
        window.click(ids::saveSettingsButton);
    });
    EXPECT_EQ(readFile("again.set"), readFile("saved.set"));
    EXPECT_NE(readFile("saved.set").find(title), std::string::npos);
}

#ifdef SORREL_TESTS
TEST_F(SettingsLoadTest, SorrelTracesEveryLineAsPlainText) {
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        load(window, "a.set", "#$TITLEBAR=%s%n%d\r\n");
        EXPECT_NE(dlg.traceEdit.text().find("%s%n%d"), std::string::npos);
    });
}

TEST_F(SettingsLoadTest, ALineTooLongForTheTraceIsCutBetweenCharacters) {
    std::string kept = "#$TITLEBAR=a";
    while (kept.size() + 2 < 256) kept += text::jp("あ");
    runMonitor([&](Window& window, CMonitorDlg& dlg) {
        load(window, "long.set", kept + text::jp("あい") + "\r\n");
        EXPECT_NE(dlg.traceEdit.text().find(kept + "\r\n"), std::string::npos);
    });
}
#endif

// ---- with the server ----

TEST_F(SettingsLoadTest, LoadingWhileRunningStopsAppliesAndStartsAgain) {
    const int firstPort = store_test::unusedPort();
    const int loadedPort = store_test::unusedPort();
    runMonitor([&, this](Window& window, CMonitorDlg& dlg) {
        window.type(ids::portEdit1, std::to_string(firstPort));
        window.click(ids::serverButton);
        ASSERT_EQ(dlg.serverRunning.load(), 1);
        ui::headless::queueFileDialogAnswer(pathOf("running.set"));
        window.click(ids::saveSettingsButton);
        EXPECT_NE(readFile("running.set").find("#$SERVER=START\r\n"), std::string::npos);

        load(window, "next.set",
             "#$PORT=" + std::to_string(loadedPort) + "\r\n#$SERVER=START\r\n#$DI1=Pump\r\n");
        EXPECT_EQ(dlg.serverRunning.load(), 1);
        EXPECT_EQ(dlg.service.portSlots[0].state.load(), Listening);
        EXPECT_EQ(dlg.service.portSlots[0].port, loadedPort);
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), false);

        load(window, "stop.set", "#$SERVER=STOP\r\n");
        EXPECT_EQ(dlg.serverRunning.load(), 0);
    });
}

TEST_F(SettingsLoadTest, AMissingFileLoadedWhileRunningLeavesTheServerStopped) {
    const int port = store_test::unusedPort();
    runMonitor([&, this](Window& window, CMonitorDlg& dlg) {
        window.type(ids::portEdit1, std::to_string(port));
        window.click(ids::serverButton);
        ASSERT_EQ(dlg.serverRunning.load(), 1);
        ui::headless::queueFileDialogAnswer(pathOf("missing.set"));
        window.click(ids::loadSettingsButton);
        EXPECT_EQ(dlg.serverRunning.load(), 0);
        EXPECT_EQ(dlg.service.portSlots[0].state.load(), Idle);
    });
}

}  // namespace
