// Saving the set-up: the "#$" checks, the dialog, the file and the pointer.
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/monitor_fixture.h"

namespace {

class SettingsSaveTest : public MonitorTest {
protected:
    std::string settingsName() const {
        return std::string(variant::productName) + "." + variant::settingsExtension;
    }
    std::string iniName() const { return std::string(variant::productName) + ".ini"; }
    std::string titleMessage() const {
        return text::jp(isKelvane ? "タイトルバーに #$ が含まれていると保存できません"
                                  : "タイトルバーに特殊な文字が含まれていると保存できません");
    }
    std::string nameMessage() const {
        return text::jp(isKelvane ? "信号名に #$ が含まれていると保存できません"
                                  : "信号名に特殊な文字が含まれていると保存できません");
    }
};

TEST_F(SettingsSaveTest, FirstStartSavesTheDefaultsAndThePointer) {
    ui::headless::queueFileDialogAnswer(pathOf(settingsName()));
    runMonitor([](Window& window, CMonitorDlg&) { window.click(ids::saveSettingsButton); });

    const std::string expected = isKelvane ? "#$TITLEBAR=Kelvane\r\n"
                                             "#$PORT=10003\r\n"
                                             "#$PORT2=\r\n"
                                             "#$PORT3=\r\n"
                                             "#$PORT4=\r\n"
                                             "#$SEND=10003\r\n"
                                             "#$DI1=DI1\r\n"
                                             "#$DI2=DI2\r\n"
                                             "#$DI3=DI3\r\n"
                                             "#$DO1=DO1\r\n"
                                             "#$DO2=DO2\r\n"
                                             "#$DO3=DO3\r\n"
                                             "#$LOGGING=OFF\r\n"
                                             "#$SERVER=STOP\r\n"
                                             "#$LOGFILENAME=" +
                                                 pathOf("Kelvane.csv") + "\r\n"
                                           : "#$TITLEBAR=Sorrel\r\n"
                                             "#$PORT=10003\r\n"
                                             "#$PORT2=\r\n"
                                             "#$PORT3=\r\n"
                                             "#$PORT4=\r\n"
                                             "#$DI1=DI1\r\n"
                                             "#$DI2=DI2\r\n"
                                             "#$DI3=DI3\r\n"
                                             "#$DI4=DI4\r\n"
                                             "#$DI5=DI5\r\n"
                                             "#$LOGGING=OFF\r\n"
                                             "#$SERVER=STOP\r\n"
                                             "#$LOGFILENAME=" +
                                                 pathOf("Sorrel.csv") + "\r\n";
    EXPECT_EQ(readFile(settingsName()), expected);
    EXPECT_EQ(readFile(iniName()), pathOf(settingsName()));
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
}

TEST_F(SettingsSaveTest, TheDialogStartsAtTheCurrentSettingsFile) {
    ui::headless::queueFileDialogAnswer(pathOf("first.set"));
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        window.click(ids::saveSettingsButton);
        EXPECT_EQ(dlg.settingsPath, pathOf("first.set"));
        window.click(ids::saveSettingsButton);
    });
    const auto requests = ui::headless::fileDialogRequests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string extension = variant::settingsExtension;
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].defaultExtension, extension);
    EXPECT_EQ(requests[0].initialPath, pathOf(settingsName()));
    EXPECT_EQ(requests[0].filter,
              extension + " file (*." + extension + ")|*." + extension + "|all files(*.*)|*.*||");
    EXPECT_TRUE(requests[0].overwritePrompt);
    EXPECT_TRUE(requests[0].hideReadOnly);
    EXPECT_EQ(requests[1].initialPath, pathOf("first.set"));
    EXPECT_EQ(readFile(iniName()), pathOf("first.set"));
}

TEST_F(SettingsSaveTest, CancellingWritesNeitherFile) {
    runMonitor([](Window& window, CMonitorDlg&) { window.click(ids::saveSettingsButton); });
    EXPECT_EQ(ui::headless::fileDialogRequests().size(), 1u);
    EXPECT_FALSE(fileExists(settingsName()));
    EXPECT_FALSE(fileExists(iniName()));
}

TEST_F(SettingsSaveTest, TheMarkerInTheTitleStopsTheSaveBeforeTheDialog) {
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        dlg.titleText = "a#$b";
        window.click(ids::saveSettingsButton);
    });
    EXPECT_EQ(ui::headless::messageBoxes(), std::vector<std::string>{titleMessage()});
    EXPECT_TRUE(ui::headless::fileDialogRequests().empty());
    EXPECT_FALSE(fileExists(settingsName()));
    EXPECT_FALSE(fileExists(iniName()));
}

TEST_F(SettingsSaveTest, TheMarkerInAnyNameStopsTheSave) {
    std::vector<int> nameEdits;
    for (int i = 0; i < variant::inputCount; ++i) nameEdits.push_back(ids::inputNameEdit1 + i);
    if (isKelvane) {
        nameEdits.insert(nameEdits.end(),
                         {ids::outputNameEdit1, ids::outputNameEdit2, ids::outputNameEdit3});
    }
    for (const int edit : nameEdits) {
        ui::headless::resetSession();
        runMonitor([edit](Window& window, CMonitorDlg&) {
            window.type(edit, "#$");
            window.click(ids::saveSettingsButton);
        });
        EXPECT_EQ(ui::headless::messageBoxes(), std::vector<std::string>{nameMessage()}) << edit;
        EXPECT_TRUE(ui::headless::fileDialogRequests().empty()) << edit;
    }
    EXPECT_FALSE(fileExists(settingsName()));
}

TEST_F(SettingsSaveTest, HalfAMarkerAndMarkersInPortsOrPathsDoNotStopIt) {
    ui::headless::queueFileDialogAnswer(pathOf(settingsName()));
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        dlg.titleText = "#-$ #";
        window.type(ids::inputNameEdit1, "$#");
        window.type(ids::portEdit2, "#$");
        if (isKelvane) window.type(ids::destPortEdit, "1#$");
        dlg.setLogPath(pathOf("#$.csv"));
        window.click(ids::saveSettingsButton);
    });
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
    const std::string saved = readFile(settingsName());
    EXPECT_NE(saved.find("#$PORT2=#$\r\n"), std::string::npos) << saved;
    if (isKelvane) {
        EXPECT_NE(saved.find("#$SEND=1#$\r\n"), std::string::npos) << saved;
    }
    EXPECT_NE(saved.find("#$LOGFILENAME=" + pathOf("#$.csv") + "\r\n"), std::string::npos) << saved;
}

TEST_F(SettingsSaveTest, ASettingsFileThatCannotBeCreatedStillMovesThePointer) {
    ui::headless::queueFileDialogAnswer(pathOf("missing/a.set"));
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        window.click(ids::saveSettingsButton);
        EXPECT_EQ(dlg.settingsPath, pathOf("missing/a.set"));
    });
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
    EXPECT_EQ(readFile(iniName()), pathOf("missing/a.set"));
}

}  // namespace
