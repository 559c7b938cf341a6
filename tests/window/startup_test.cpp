// The main window's start-up: start values, the adapter list, the no-device
// path, keys, the minimised icon and the end of the window.
#include <chrono>
#include <filesystem>

#include "platform/fs.h"
#include "platform/text.h"
#include "shell/monitor_app.h"
#include "support/monitor_fixture.h"

using iphelp::fake::ipv4;
using text::jp;

namespace {

class StartupTest : public MonitorTest {};

TEST_F(StartupTest, WindowStartsWithTheDefaultsWhenNoPointerFileExists) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        EXPECT_EQ(w.text(ids::portEdit1), "10003");
        EXPECT_EQ(w.text(ids::portEdit2), "");
        EXPECT_EQ(w.text(ids::portEdit3), "");
        EXPECT_EQ(w.text(ids::portEdit4), "");
        for (int i = 0; i < variant::inputCount; ++i) {
            EXPECT_EQ(w.text(ids::inputNameEdit1 + i), "DI" + std::to_string(i + 1));
            EXPECT_EQ(w.textLimit(ids::inputNameEdit1 + i), 20);
        }
        const int outputNames[] = {ids::outputNameEdit1, ids::outputNameEdit2,
                                   ids::outputNameEdit3};
        const int outputButtons[] = {ids::outputButton1, ids::outputButton2, ids::outputButton3};
        for (int i = 0; i < variant::outputCount; ++i) {
            EXPECT_EQ(w.text(outputNames[i]), "DO" + std::to_string(i + 1));
            EXPECT_EQ(w.textLimit(outputNames[i]), 20);
            EXPECT_FALSE(w.enabled(outputButtons[i]));
        }
        if (isKelvane) {
            EXPECT_EQ(w.text(ids::destPortEdit), "10003");
        }
        EXPECT_EQ(w.caption(), variant::productName);
        EXPECT_EQ(w.text(ids::logFileEdit), pathOf(std::string(variant::productName) + ".csv"));
        EXPECT_EQ(w.text(ids::serverButton), jp("サーバ待機を開始する(&S)"));
        EXPECT_EQ(w.text(ids::statusLabel), jp("停止中"));
        EXPECT_EQ(w.text(ids::versionLabel), "Version 1.03");
        for (int id : {ids::peerLabel1, ids::peerLabel2, ids::peerLabel3, ids::peerLabel4}) {
            EXPECT_EQ(w.text(id), "");
        }
        EXPECT_FALSE(w.visible(ids::traceEdit));
        EXPECT_EQ(w.icons().bigIcon, ids::appIcon);
        EXPECT_EQ(w.icons().smallIcon, ids::appIcon);
        EXPECT_EQ(w.fontOf(ids::statusLabel).face, "ＭＳ ゴシック");
        EXPECT_EQ(w.fontOf(ids::statusLabel).tenthsOfPoint, 180);

        EXPECT_EQ(dlg.initDone.load(), 1);
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), false);
        EXPECT_EQ(dlg.serverRunning.load(), 0);
        EXPECT_EQ(dlg.titleText, variant::productName);
        EXPECT_EQ(dlg.iniPath, pathOf(std::string(variant::productName) + ".ini"));
        EXPECT_EQ(dlg.settingsPath,
                  pathOf(std::string(variant::productName) + "." + variant::settingsExtension));
        for (const PortSlot& slot : dlg.service.portSlots) {
            EXPECT_EQ(slot.state.load(), Idle);
            EXPECT_EQ(slot.connSock.load(), 0u);
            EXPECT_EQ(slot.peerAddr.load(), 0u);
        }
    });
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
}

TEST_F(StartupTest, AdapterListShowsEveryRowAndSelectsTheFirst) {
    auto& tables = iphelp::fake::tables();
    tables.interfaces.push_back(iphelp::fake::connectedInterface(3, "second"));
    tables.addresses.push_back({ipv4(198, 51, 100, 10), 3, ipv4(255, 255, 255, 0)});
    tables.adapters.push_back({3, u"実験"});
    runMonitor([&](Window& w, CMonitorDlg&) {
        const auto entries = w.comboEntries(ids::adapterCombo);
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0], jp("127.0.0.2 (イーサネット)"));
        EXPECT_EQ(entries[1], jp("198.51.100.10 (実験)"));
        EXPECT_EQ(w.curSel(ids::adapterCombo), 0);
        if (isKelvane) {
            EXPECT_EQ(bindAddress.load(), ipv4(127, 0, 0, 2));
            w.pickComboEntry(ids::adapterCombo, 1);
            EXPECT_EQ(bindAddress.load(), ipv4(198, 51, 100, 10));
        }
    });
}

TEST_F(StartupTest, NoAdapterShowsTheMessageOnceAndEndsBeforeAnythingElse) {
    iphelp::fake::tables().addresses.clear();
    writeFile(std::string(variant::productName) + ".ini", "never-read.cfg");
    bool scriptRan = false;
    CMonitorDlg dlg;
    ui::headless::queueModalScript([&](Window&) { scriptRan = true; });
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_FALSE(scriptRan);
    ASSERT_EQ(ui::headless::messageBoxes().size(), 1u);
    EXPECT_EQ(ui::headless::messageBoxes()[0], jp("ネットワークデバイスが見つかりませんでした。"));
    EXPECT_EQ(ui::headless::messageBoxCaptions()[0], variant::productName);
    EXPECT_EQ(dlg.initDone.load(), 0);
    EXPECT_TRUE(dlg.settingsPath.empty());
}

TEST_F(StartupTest, AFolderTooLongForItsBufferNamesNoDefaultFileAndSaysSo) {
    std::string deep = folder;
    while (deep.size() <= 255) deep.append("/").append(60, 'd');
    std::filesystem::create_directories(deep);
    fs::overrideModulePathForTesting(deep + "/" + variant::productName);
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.exeFolder, "");
        EXPECT_EQ(dlg.iniPath, "");
        EXPECT_EQ(dlg.settingsPath, "");
        EXPECT_EQ(w.text(ids::logFileEdit), "");
        // A save still writes the file chosen; no pointer is kept, and
        // nothing more is said about it.
        ui::headless::queueFileDialogAnswer(pathOf("chosen.set"));
        w.click(ids::saveSettingsButton);
    });
    EXPECT_TRUE(fileExists("chosen.set"));
    ASSERT_EQ(ui::headless::messageBoxes().size(), 1u);
    EXPECT_EQ(
        ui::headless::messageBoxes()[0],
        jp("設定とログを置くフォルダのパスが255バイトを超えるため、既定のファイルを使えません。"));
}

TEST_F(StartupTest, ApplicationEndsQuietlyAfterTheNoDeviceMessage) {
    iphelp::fake::tables().addresses.clear();
    CMonitorApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(ui::headless::messageBoxes().size(), 1u);
}

TEST_F(StartupTest, EnterNeverClosesTheWindowAndEscapeDoes) {
    runMonitor([&](Window& w, CMonitorDlg&) {
        w.pressKey(ui::Key::Enter);
        EXPECT_FALSE(w.ended());
        w.pressKey(ui::Key::Escape);
        EXPECT_TRUE(w.ended());
    });
}

TEST_F(StartupTest, CloseBoxEndsTheWindow) {
    runMonitor([&](Window& w, CMonitorDlg&) {
        w.closeBox();
        EXPECT_TRUE(w.ended());
    });
}

TEST_F(StartupTest, OnlyNameEditsAfterStartUpMarkTheNamesChanged) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::portEdit2, "10004");
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), false);
        w.type(ids::inputNameEdit1 + variant::inputCount - 1, "Pump");
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), true);
        dlg.eventLog.forgetNameEdits();
        // Typing a character and deleting it again still counts.
        const std::string name = w.text(ids::inputNameEdit1);
        w.type(ids::inputNameEdit1, name + "x");
        w.type(ids::inputNameEdit1, name);
        EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), true);
        if (isKelvane) {
            dlg.eventLog.forgetNameEdits();
            w.type(ids::outputNameEdit3, "Valve");
            EXPECT_EQ(dlg.eventLog.freshHeaderOwed(), true);
        }
    });
}

TEST_F(StartupTest, NameEditsStopAtTwentyBytesWithoutSplittingACharacter) {
    runMonitor([&](Window& w, CMonitorDlg&) {
        // Eleven double-byte characters are 22 bytes; the field keeps ten.
        w.type(ids::inputNameEdit1, jp("あいうえおかきくけこさ"));
        EXPECT_EQ(w.text(ids::inputNameEdit1), jp("あいうえおかきくけこ"));
        // An odd byte before them leaves room for nine and a half: nine stay.
        w.type(ids::inputNameEdit1, std::string("A").append(jp("あいうえおかきくけこ")));
        EXPECT_EQ(w.text(ids::inputNameEdit1), std::string("A").append(jp("あいうえおかきくけ")));
    });
}

TEST_F(StartupTest, MinimisedWindowDrawsTheIconInTheMiddle) {
    runMonitor([&](Window& w, CMonitorDlg&) {
        EXPECT_FALSE(w.paint().handled);
        w.setMinimised(true);
        const auto result = w.paint();
        EXPECT_TRUE(result.handled);
        EXPECT_TRUE(result.backgroundErased);
        // The headless client area is 263 dialog units wide (395 px at 6 px
        // per 4 units) and 402 or 282 high (653 or 458 px at 13 per 8); the
        // icon is 32 px: x = (395 - 32 + 1) / 2, y = (653 - 32 + 1) / 2 or
        // (458 - 32 + 1) / 2, rounded toward zero.
        ASSERT_EQ(w.clientSize().cx, 395);
        ASSERT_EQ(w.clientSize().cy, isKelvane ? 653 : 458);
        ASSERT_EQ(result.icons.size(), 1u);
        EXPECT_EQ(result.icons[0], (ui::headless::Point{182, isKelvane ? 311 : 213}));
    });
}

TEST_F(StartupTest, ClosingEndsWithoutAPauseForAnyPort) {
    CMonitorDlg* seen = nullptr;
    const auto start = std::chrono::steady_clock::now();
    auto dlg = std::make_unique<CMonitorDlg>();
    ui::headless::queueModalScript([&](Window& w) {
        seen = static_cast<CMonitorDlg*>(&w.dialog());
        w.pressKey(ui::Key::Escape);
    });
    dlg->DoModal();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(seen, dlg.get());
    // Four pauses of a tenth of a second would pass this.
    EXPECT_LT(elapsed, std::chrono::milliseconds(400));
    for (const PortSlot& slot : dlg->service.portSlots) EXPECT_EQ(slot.state.load(), Idle);
}

#ifdef SORREL_TESTS
TEST_F(StartupTest, SorrelTracesStartUpIntoItsHiddenBox) {
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        const std::string trace = w.text(ids::traceEdit);
        EXPECT_NE(
            trace.find(jp("ここの部分は開発中のみ表示してるがリリースの時には枠ごと消す\r\n")),
            std::string::npos);
        EXPECT_NE(trace.find("cfg : " + dlg.settingsPath + "\r\n"), std::string::npos);
    });
}

// The pointer file's line is text from outside: start-up traces it as
// "cfg : %s", cut to the trace buffer and never read as a format.
TEST_F(StartupTest, TraceLinesAreCutToTheirBufferAndNeverFormatTheirArguments) {
    const std::string hostile = "%s%n%d" + std::string(400, 'x');
    writeFile(std::string(variant::productName) + ".ini", hostile);
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        EXPECT_EQ(dlg.settingsPath, hostile);
        const std::string line = ("cfg : " + hostile).substr(0, 255);
        const std::string trace = w.text(ids::traceEdit);
        const std::size_t at = trace.find(line);
        ASSERT_NE(at, std::string::npos) << trace;
        EXPECT_EQ(trace.size(), at + line.size()) << "nothing after the cut";
    });
}
#endif

}  // namespace
