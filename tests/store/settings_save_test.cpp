// Saving the set-up: the "#$" checks, the dialog, the file and the pointer.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "support/monitor_fixture.h"
#include "support/private_mounts.h"

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
    std::string saveFailed(const std::string& name) const {
        return text::jp("設定ファイルを保存できませんでした。\r\n") + pathOf(name);
    }
    std::string pointerFailed() const {
        return text::jp("次回の起動で読み込む設定ファイルの名前を保存できませんでした。\r\n") +
               pathOf(iniName());
    }
    // The names in the program's folder, sorted: temporary files show here.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    static void save(Window& window, const std::string& path) {
        ui::headless::queueFileDialogAnswer(path);
        window.click(ids::saveSettingsButton);
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
        dlg.eventLog.setPath(pathOf("#$.csv"));
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

TEST_F(SettingsSaveTest, AFailedSaveIsToldAndThePointerKeepsTheFileItNamed) {
    writeFile("held.set", "#$TITLEBAR=Held\r\n");
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        save(window, pathOf("first.set"));
        EXPECT_EQ(readFile(iniName()), pathOf("first.set"));

        // A folder that is not there: the path chosen stays the dialogs'
        // start, so that the save can be tried again at once.
        save(window, pathOf("missing/a.set"));
        EXPECT_EQ(dlg.settingsPath, pathOf("missing/a.set"));
        {
            auto holder = fs::TextFile::open(pathOf("held.set"), fs::OpenMode::Read);
            ASSERT_TRUE(holder);
            save(window, pathOf("held.set"));
        }
        EXPECT_EQ(readFile("held.set"), "#$TITLEBAR=Held\r\n");
        EXPECT_EQ(readFile(iniName()), pathOf("first.set"));

        // The settings are saved, but the pointer is held.
        dlg.titleText = "Second";
        auto holder = fs::TextFile::open(pathOf(iniName()), fs::OpenMode::Read);
        ASSERT_TRUE(holder);
        save(window, pathOf("second.set"));
    });
    EXPECT_EQ(ui::headless::messageBoxes(),
              (std::vector<std::string>{saveFailed("missing/a.set"), saveFailed("held.set"),
                                        pointerFailed()}));
    EXPECT_TRUE(readFile("second.set").starts_with("#$TITLEBAR=Second\r\n"));
    EXPECT_EQ(readFile(iniName()), pathOf("first.set"));
    EXPECT_EQ(names(),
              (std::vector<std::string>{iniName(), "first.set", "held.set", "second.set"}));
}

TEST_F(SettingsSaveTest, AFullDiskKeepsTheOldSetUpAndThePointerWhole) {
    private_mounts::run([this] {
        ASSERT_TRUE(private_mounts::mountTmpfs(folder, 64 * 1024));
        const std::string old = "#$TITLEBAR=Old\r\n#$DI1=Pump\r\n";
        writeFile(settingsName(), old);
        writeFile(iniName(), pathOf(settingsName()));
        ASSERT_TRUE(private_mounts::fill(pathOf("filler")));
        runMonitor([this](Window& window, CMonitorDlg& dlg) {
            EXPECT_EQ(window.caption(), "Old");
            // Two pages of set-up, where cutting the old file frees one.
            dlg.titleText = std::string(6000, 'T');
            save(window, pathOf(settingsName()));
        });
        EXPECT_EQ(readFile(settingsName()), old);
        EXPECT_EQ(readFile(iniName()), pathOf(settingsName()));
        EXPECT_EQ(ui::headless::messageBoxes(),
                  std::vector<std::string>{saveFailed(settingsName())});
        EXPECT_EQ(names(), (std::vector<std::string>{iniName(), settingsName(), "filler"}));
    });
}

TEST_F(SettingsSaveTest, APathThatShiftJisCannotHoldIsRefusedWhereItIsChosen) {
    const std::string defaultLog = pathOf(std::string(variant::productName) + ".csv");
    runMonitor([&, this](Window& window, CMonitorDlg& dlg) {
        // "é" has no Shift_JIS form; "?" in its place would name another file.
        ui::headless::queueFileDialogAnswerUtf8(folder + "/log_\u00e9.csv");
        window.click(ids::browseLogButton);
        EXPECT_EQ(dlg.eventLog.path(), defaultLog);
        EXPECT_EQ(window.text(ids::logFileEdit), defaultLog);
        for (const int button : {ids::saveSettingsButton, ids::loadSettingsButton}) {
            ui::headless::queueFileDialogAnswerUtf8(folder + "/set_\u00e9.set");
            window.click(button);
            EXPECT_EQ(dlg.settingsPath, pathOf(settingsName()));
        }
        // Japanese that Shift_JIS holds is taken as chosen (ログ).
        ui::headless::queueFileDialogAnswerUtf8(folder + "/\u30ed\u30b0.csv");
        window.click(ids::browseLogButton);
        EXPECT_EQ(dlg.eventLog.path(), pathOf("\x83\x8D\x83\x4F.csv"));
    });
    const std::string refused = text::jp(
        "選択したファイルのパスにはShift_JISで表せない文字が含まれているため、使用できません。");
    EXPECT_EQ(ui::headless::messageBoxes(), (std::vector<std::string>{refused, refused, refused}));
    EXPECT_TRUE(names().empty());
}

}  // namespace
