// The CSV event log as connection threads append to it, and the choice of
// the log file.
#include <algorithm>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "net/net_test_support.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "store/log_file_lines.h"
#include "support/monitor_fixture.h"

namespace {

using nettest::eventually;
using store_test::crlfLines;
using store_test::isRecordFrom;
using store_test::logHeader;

constexpr int signalCount = variant::inputCount + variant::outputCount;

std::string defaultNames() {
    return isKelvane ? ",DI1,DI2,DI3,DO1,DO2,DO3" : ",DI1,DI2,DI3,DI4,DI5";
}

class EventLogTest : public MonitorTest {
protected:
    std::string logName() const { return std::string(variant::productName) + ".csv"; }
    std::vector<std::string> logLines() const { return crlfLines(readFile(logName())); }
};

TEST_F(EventLogTest, NothingIsWrittenOrCreatedWhileLoggingIsOff) {
    runMonitor([](Window&, CMonitorDlg& dlg) { dlg.AppendEventLog("127.0.0.2"); });
    EXPECT_FALSE(fileExists(logName()));
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
}

TEST_F(EventLogTest, ANewFileGetsTheHeaderThenOneRecordPerFrame) {
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        dlg.inputOn[0].store(1);
        dlg.AppendEventLog("127.0.0.2");
        dlg.AppendEventLog("127.0.0.2");
        dlg.inputOn[0].store(0);
        dlg.AppendEventLog("127.0.0.3");
    });
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], logHeader(defaultNames()));
    const std::string inputOneOn = isKelvane ? ",1,0,0,0,0,0" : ",1,0,0,0,0";
    EXPECT_TRUE(isRecordFrom(lines[1], "127.0.0.2", signalCount)) << lines[1];
    EXPECT_TRUE(lines[1].ends_with(",127.0.0.2" + inputOneOn)) << lines[1];
    EXPECT_EQ(lines[1].substr(19), lines[2].substr(19));
    EXPECT_TRUE(isRecordFrom(lines[3], "127.0.0.3", signalCount)) << lines[3];
    EXPECT_TRUE(lines[3].ends_with(isKelvane ? ",0,0,0,0,0,0" : ",0,0,0,0,0"));
}

TEST_F(EventLogTest, AnEmptyFileGetsAHeaderAndAFilledOneDoesNot) {
    writeFile(logName(), "");
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        dlg.AppendEventLog("127.0.0.2");
    });
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], logHeader(defaultNames()));

    writeFile(logName(), "old header\r\n");
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        dlg.AppendEventLog("127.0.0.2");
    });
    lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "old header");
    EXPECT_TRUE(isRecordFrom(lines[1], "127.0.0.2", signalCount));
}

TEST_F(EventLogTest, ANameEditedWhileLoggingWasOffBringsAFreshHeader) {
    const std::string pump = text::jp("ポンプ");
    runMonitor([&pump](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        dlg.AppendEventLog("127.0.0.2");
        window.setCheck(ids::loggingCheck, false);
        window.type(ids::inputNameEdit1 + 1, pump);
        dlg.AppendEventLog("127.0.0.2");
        window.setCheck(ids::loggingCheck, true);
        dlg.AppendEventLog("127.0.0.2");
        dlg.AppendEventLog("127.0.0.2");
    });
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 5u);
    std::string renamed = defaultNames();
    renamed.replace(renamed.find("DI2"), 3, pump);
    EXPECT_EQ(lines[0], logHeader(defaultNames()));
    EXPECT_EQ(lines[2], logHeader(renamed));
    EXPECT_TRUE(isRecordFrom(lines[3], "127.0.0.2", signalCount));
    EXPECT_TRUE(isRecordFrom(lines[4], "127.0.0.2", signalCount));
}

TEST_F(EventLogTest, ACommaInANameWidensTheHeaderOnly) {
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        window.type(ids::inputNameEdit1, "a,b");
        window.setCheck(ids::loggingCheck, true);
        dlg.AppendEventLog("127.0.0.2");
    });
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), signalCount + 3);
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), ','), signalCount + 2);
}

#ifdef KELVANE_TESTS
TEST_F(EventLogTest, KelvaneRecordsTheOutputStates) {
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        dlg.outputOn[1].store(1);
        dlg.AppendEventLog("127.0.0.2");
    });
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].ends_with(",0,0,0,0,1,0")) << lines[1];
}
#endif

TEST_F(EventLogTest, AHeldFileIsToldOnceAndGetsItsLinesWhenReleased) {
    const std::string path = pathOf(logName());
    runMonitor([&](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        {
            auto held = fs::TextFile::open(path, fs::OpenMode::Append);
            ASSERT_TRUE(held);
            dlg.AppendEventLog("127.0.0.2");
            dlg.AppendEventLog("127.0.0.3");
            ASSERT_TRUE(eventually([] { return ui::headless::messageBoxes().size() == 1u; }));
        }
        dlg.AppendEventLog("127.0.0.4");
        EXPECT_TRUE(eventually([&] { return logLines().size() == 4u; }));
    });
    EXPECT_EQ(ui::headless::messageBoxes(),
              std::vector<std::string>{text::jp("ログファイルが開けません\r\n")});
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        const std::string peer = "127.0.0." + std::to_string(i + 2);
        EXPECT_TRUE(isRecordFrom(lines[i + 1], peer, signalCount)) << lines[i + 1];
    }
}

TEST_F(EventLogTest, LinesForAMissingFolderAreToldOnceAndSavedBesideTheProgramAtTheClose) {
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        dlg.eventLog.setPath(pathOf("missing/log.csv"));
        window.setCheck(ids::loggingCheck, true);
        dlg.AppendEventLog("127.0.0.2");
        dlg.AppendEventLog("127.0.0.2");
        EXPECT_TRUE(eventually([] { return ui::headless::messageBoxes().size() == 1u; }));
    });
    EXPECT_FALSE(fileExists("missing"));
    const auto boxes = ui::headless::messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], text::jp("ログファイルが開けません\r\n"));
    const std::string saved =
        text::jp("ログファイルに書き込めなかった 2 行を、次のファイルに保存しました。\r\n");
    ASSERT_TRUE(boxes[1].starts_with(saved)) << boxes[1];
    const std::string rescue = boxes[1].substr(saved.size(), boxes[1].size() - saved.size() - 2);
    EXPECT_TRUE(rescue.starts_with(pathOf("log") + text::jp("_未記録_"))) << rescue;
    const auto lines = crlfLines(readFile(text::cp932ToUtf8(rescue.substr(folder.size() + 1))));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], logHeader(defaultNames()));
    EXPECT_TRUE(isRecordFrom(lines[2], "127.0.0.2", signalCount));
}

TEST_F(EventLogTest, ManyConnectionsAppendingAtOnceLoseNoLine) {
    constexpr int threads = 8;
    constexpr int framesEach = 40;
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        std::vector<std::thread> connections;
        for (int t = 0; t < threads; ++t) {
            connections.emplace_back([&dlg, t] {
                const std::string peer = "127.0.0." + std::to_string(t + 10);
                for (int i = 0; i < framesEach; ++i) dlg.AppendEventLog(peer.c_str());
            });
        }
        for (auto& connection : connections) connection.join();
    });
    EXPECT_TRUE(ui::headless::messageBoxes().empty());
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u + threads * framesEach);
    EXPECT_EQ(lines[0], logHeader(defaultNames()));
    std::map<std::string, int> perPeer;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string peer = line.substr(20, line.find(',', 20) - 20);
        EXPECT_TRUE(isRecordFrom(line, peer, signalCount)) << line;
        ++perPeer[peer];
    }
    ASSERT_EQ(perPeer.size(), static_cast<std::size_t>(threads));
    for (const auto& [peer, count] : perPeer) EXPECT_EQ(count, framesEach) << peer;
}

TEST_F(EventLogTest, OnlyOneOfManyAppendsAnswersANameEdit) {
    writeFile(logName(), "header\r\n");
    constexpr int threads = 4;
    runMonitor([](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        window.type(ids::inputNameEdit1, "Renamed");
        std::vector<std::thread> connections;
        for (int t = 0; t < threads; ++t) {
            connections.emplace_back([&dlg] { dlg.AppendEventLog("127.0.0.2"); });
        }
        for (auto& connection : connections) connection.join();
    });
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u + threads);
    EXPECT_EQ(lines[1], logHeader(",Renamed" + defaultNames().substr(4)));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("Renamed") != l.npos; }),
              1);
}

TEST_F(EventLogTest, BrowsingWhileConnectionsAppendSendsLaterLinesToTheNewFile) {
    constexpr int framesEach = 60;
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        window.setCheck(ids::loggingCheck, true);
        std::vector<std::thread> connections;
        for (int t = 0; t < 2; ++t) {
            connections.emplace_back([&dlg] {
                for (int i = 0; i < framesEach; ++i) dlg.AppendEventLog("127.0.0.2");
            });
        }
        ui::headless::queueFileDialogAnswer(pathOf("second.csv"));
        window.click(ids::browseLogButton);
        for (auto& connection : connections) connection.join();
        dlg.AppendEventLog("127.0.0.9");
    });
    const auto first = logLines();
    const auto second = crlfLines(readFile("second.csv"));
    ASSERT_FALSE(second.empty());
    EXPECT_TRUE(isRecordFrom(second.back(), "127.0.0.9", signalCount));
    const std::size_t records = (first.empty() ? 0 : first.size() - 1) + second.size() - 1;
    EXPECT_EQ(records, 2u * framesEach + 1);
}

TEST_F(EventLogTest, BrowseOffersTheCurrentFileAndTakesTheChoice) {
    runMonitor([this](Window& window, CMonitorDlg& dlg) {
        window.click(ids::browseLogButton);
        EXPECT_EQ(window.text(ids::logFileEdit), pathOf(logName()));
        ui::headless::queueFileDialogAnswer(pathOf("chosen.csv"));
        window.click(ids::browseLogButton);
        EXPECT_EQ(window.text(ids::logFileEdit), pathOf("chosen.csv"));
        EXPECT_EQ(dlg.eventLog.path(), pathOf("chosen.csv"));
    });
    const auto requests = ui::headless::fileDialogRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].defaultExtension, "csv");
    EXPECT_EQ(requests[0].initialPath, pathOf(logName()));
    EXPECT_EQ(requests[0].filter, "CSV file (*.csv)|*.csv|all files(*.*)|*.*||");
    EXPECT_TRUE(requests[0].overwritePrompt);
    EXPECT_TRUE(requests[0].hideReadOnly);
    EXPECT_EQ(requests[1].initialPath, pathOf(logName()));
    EXPECT_FALSE(fileExists("chosen.csv"));
}

}  // namespace
