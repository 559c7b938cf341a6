// The event log under faults of its file: held by another program, a disk
// that fills up, a share that stops answering, the log changed to escape a
// held one, and the window closing with lines still owed. Devices are
// answered as usual throughout; the user is told once per outage; once the
// fault ends every answered frame has exactly one whole line, in order.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "net/net_fixture.h"
#include "store/faulty_log_files.h"
#include "store/log_file_lines.h"
#include "stress/stress_support.h"

namespace {

using namespace nettest;

constexpr int signalCount = variant::inputCount + variant::outputCount;

std::string cannotOpen() {
    return text::jp("ログファイルが開けません\r\n");
}
std::string cannotWrite() {
    return text::jp(
        "ログファイルに書き込めません。書き込めなかった行は保持し、"
        "書き込めるようになりしだい書き込みます。\r\n");
}

class LogFaults : public NetTest {
protected:
    store_test::FaultyLogFiles files;

    void logInto(Window& w, CMonitorDlg& dlg, const std::string& path) {
        dlg.eventLog.useOpener(files.opener());
        ui::headless::queueFileDialogAnswer(path);
        w.click(ids::browseLogButton);
        w.setCheck(ids::loggingCheck, true);
    }

    // The n-th frame of a device's count: a state frame whose value is n.
    static Bytes countedFrame(int n) {
        const auto v = static_cast<std::uint8_t>(n % 32);
        return isKelvane ? Bytes{0xFA, 0xF0, v} : Bytes{0xF0, v};
    }
    // The record it gives, without its timestamp: every input from n's bits.
    static std::string countedRecord(int n) {
        std::string record = deviceAddressText;
        for (int k = 0; k < variant::inputCount; ++k) record += (n >> k & 1) != 0 ? ",1" : ",0";
        for (int k = 0; k < variant::outputCount; ++k) record += ",0";
        return record;
    }

    // Frames first to first + count - 1, each answered with its value;
    // the slowest round trip.
    static std::chrono::microseconds sendCounted(Device& device, int first, int count) {
        std::chrono::microseconds slowest{0};
        for (int n = first; n < first + count; ++n) {
            const auto sent = std::chrono::steady_clock::now();
            device.send(countedFrame(n));
            EXPECT_EQ(device.receive(2, hangGuard), (Bytes{0xF0, countedFrame(n).back()})) << n;
            slowest = std::max(slowest, std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now() - sent));
        }
        return slowest;
    }

    // The records of a log, without their timestamps; a header line stands
    // as "header", a cut line as it is.
    std::vector<std::string> recordsOf(const std::string& name) const {
        std::vector<std::string> records;
        for (const auto& line : store_test::crlfLines(readFile(name))) {
            if (line.starts_with(store_test::logHeader(""))) {
                records.push_back("header");
            } else if (store_test::isRecordFrom(line, deviceAddressText, signalCount)) {
                records.push_back(line.substr(20));
            } else {
                records.push_back(line);
            }
        }
        return records;
    }
    bool holds(const std::string& name, std::size_t lines) const {
        return eventually([&] { return recordsOf(name).size() == lines; }, hangGuard);
    }
    // A header, then the counted records first to first + count - 1.
    static std::vector<std::string> counted(int first, int count) {
        std::vector<std::string> records{"header"};
        for (int n = first; n < first + count; ++n) records.push_back(countedRecord(n));
        return records;
    }

    static std::size_t boxes() { return ui::headless::messageBoxes().size(); }
};

TEST_F(LogFaults, AHeldLogIsToldOncePerOutageDelaysNoReplyAndLosesNoLine) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        logInto(w, dlg, pathOf("held.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        sendCounted(device, 0, 5);
        ASSERT_TRUE(holds("held.csv", 1 + 5));

        files.refuseOpen = true;
        sendCounted(device, 5, 20);
        EXPECT_TRUE(eventually([] { return boxes() == 1; }));
        EXPECT_EQ(recordsOf("held.csv").size(), 1u + 5u);
        files.refuseOpen = false;
        sendCounted(device, 25, 5);
        EXPECT_TRUE(holds("held.csv", 1 + 30));

        // The next outage is told again.
        files.refuseOpen = true;
        sendCounted(device, 30, 3);
        EXPECT_TRUE(eventually([] { return boxes() == 2; }));
        files.refuseOpen = false;
        sendCounted(device, 33, 1);
        EXPECT_TRUE(holds("held.csv", 1 + 34));
    });
    EXPECT_EQ(ui::headless::messageBoxes(), (std::vector<std::string>{cannotOpen(), cannotOpen()}));
    EXPECT_EQ(recordsOf("held.csv"), counted(0, 34));
}

TEST_F(LogFaults, AFullDiskCutsBackToTheLastWholeLineAndWritesEveryLineOnceSpaceComes) {
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        // Room for the header and a few records, and half of the next.
        files.spaceLeft = 300;
        logInto(w, dlg, pathOf("full.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        sendCounted(device, 0, 20);
        ASSERT_TRUE(eventually([] { return boxes() == 1; }));
        const auto partial = recordsOf("full.csv");
        ASSERT_GT(partial.size(), 2u);
        ASSERT_LT(partial.size(), 1u + 20u);
        EXPECT_EQ(partial, counted(0, static_cast<int>(partial.size()) - 1));

        files.spaceLeft = -1;
        sendCounted(device, 20, 1);
        EXPECT_TRUE(holds("full.csv", 1 + 21));

        // A close that fails: what it wrote is cut away and written again.
        files.closesToFail = 1;
        sendCounted(device, 21, 2);
        EXPECT_TRUE(eventually([] { return boxes() == 2; }));
        EXPECT_TRUE(holds("full.csv", 1 + 23));
    });
    EXPECT_EQ(ui::headless::messageBoxes(),
              (std::vector<std::string>{cannotWrite(), cannotWrite()}));
    EXPECT_EQ(recordsOf("full.csv"), counted(0, 23));
}

TEST_F(LogFaults, ANewLogChosenToEscapeAHeldOneIsFilledAtOnce) {
    const int port = freePort();
    files.affect(pathOf("held.csv"));
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        files.refuseOpen = true;
        logInto(w, dlg, pathOf("held.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        sendCounted(device, 0, 5);
        // The user escapes the held log once told of it: before that, the
        // writer may not have tried the file yet on a loaded machine.
        ASSERT_TRUE(eventually([] { return boxes() == 1; }, hangGuard));
        ui::headless::queueFileDialogAnswer(pathOf("other.csv"));
        w.click(ids::browseLogButton);
        sendCounted(device, 5, 5);
        EXPECT_TRUE(holds("other.csv", 1 + 5));
        EXPECT_FALSE(fileExists("held.csv"));
        files.refuseOpen = false;
        EXPECT_TRUE(holds("held.csv", 1 + 5));
    });
    EXPECT_EQ(ui::headless::messageBoxes(), std::vector<std::string>{cannotOpen()});
    EXPECT_EQ(recordsOf("held.csv"), counted(0, 5));
    EXPECT_EQ(recordsOf("other.csv"), counted(5, 5));
}

TEST_F(LogFaults, AHungShareDelaysNoReplyAndTheCloseOnlyByItsBound) {
    const int port = freePort();
    std::filesystem::create_directories(pathOf("share"));
    files.affect(pathOf("share/"));
    files.openDelayMilliseconds = 8000;
    std::chrono::steady_clock::time_point closing;
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        logInto(w, dlg, pathOf("share/hung.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        const auto slowest = sendCounted(device, 0, 10);
        // A frame that waited for the open would take its 8 s.
        EXPECT_LT(slowest, std::chrono::seconds(2));
        stress::reportFigures("slowest reply while the log's share hangs",
                              std::to_string(slowest.count()) + " us");
        closing = std::chrono::steady_clock::now();
    });
    const auto closeTook = std::chrono::steady_clock::now() - closing;
    // About a second for the writer, 0.4 s of Kelvane's pauses, and margin.
    EXPECT_LT(closeTook, std::chrono::seconds(5));
    const auto boxes = ui::headless::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string saved =
        text::jp("ログファイルに書き込めなかった 10 行を、次のファイルに保存しました。\r\n");
    ASSERT_TRUE(boxes[0].starts_with(saved)) << boxes[0];
    const std::string rescue = boxes[0].substr(saved.size(), boxes[0].size() - saved.size() - 2);
    ASSERT_TRUE(rescue.starts_with(pathOf("hung") + text::jp("_未記録_"))) << rescue;
    EXPECT_EQ(recordsOf(text::cp932ToUtf8(rescue.substr(folder.size() + 1))), counted(0, 10));
    // The writer let go at the close writes nothing once its open returns.
    ASSERT_TRUE(eventually([&] { return files.opensEnded == files.opensStarted; }, 15s));
    EXPECT_EQ(readFile("share/hung.csv"), "");
}

TEST_F(LogFaults, LinesStillOwedAtTheCloseAreSavedBesideTheLogOrCountedAsLost) {
    const int port = freePort();
    const std::string pump = text::jp("ポンプ");
    files.affect(pathOf("held.csv"));
    files.refuseOpen = true;
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        w.type(ids::inputNameEdit1, pump);
        logInto(w, dlg, pathOf("held.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        sendCounted(device, 0, 3);
    });
    auto boxes = ui::headless::messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], cannotOpen());
    const std::string saved =
        text::jp("ログファイルに書き込めなかった 3 行を、次のファイルに保存しました。\r\n");
    ASSERT_TRUE(boxes[1].starts_with(saved + pathOf("held") + text::jp("_未記録_"))) << boxes[1];
    const std::string rescue = boxes[1].substr(saved.size(), boxes[1].size() - saved.size() - 2);
    const auto lines =
        store_test::crlfLines(readFile(text::cp932ToUtf8(rescue.substr(folder.size() + 1))));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0].starts_with(store_test::logHeader("," + pump + ",DI2"))) << lines[0];
    EXPECT_EQ(recordsOf(text::cp932ToUtf8(rescue.substr(folder.size() + 1))), counted(0, 3));

    // No file can be made anywhere: the user learns how many lines are lost.
    ui::headless::resetSession();
    files.affect("");
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        logInto(w, dlg, pathOf("held.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        sendCounted(device, 0, 4);
    });
    EXPECT_EQ(ui::headless::messageBoxes(),
              (std::vector<std::string>{cannotOpen(),
                                        text::jp("ログファイルに書き込めなかった 4 行は、"
                                                 "保存できなかったため失われました。\r\n")}));
}

TEST_F(LogFaults, AFullQueueDropsLinesAndTellsHowMany) {
    const std::size_t beyond = 7;
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        files.refuseOpen = true;
        logInto(w, dlg, pathOf("queue.csv"));
        for (std::size_t n = 0; n < store::LogWriter::maxOwedLines + beyond; ++n) {
            dlg.AppendEventLog(deviceAddressText);
        }
        files.refuseOpen = false;
        EXPECT_TRUE(eventually([] { return boxes() == 3; }, hangGuard * 4));
        // Every record has the same width. The writer catches up before the
        // close, which would rescue what it still owes after a second.
        const auto first = store_test::crlfLines(readFile("queue.csv"));
        ASSERT_GE(first.size(), 2u);
        const std::uintmax_t whole =
            first[0].size() + 2 + (first[1].size() + 2) * store::LogWriter::maxOwedLines;
        EXPECT_TRUE(
            eventually([&] { return std::filesystem::file_size(pathOf("queue.csv")) == whole; },
                       hangGuard * 12));
    });
    EXPECT_EQ(
        ui::headless::messageBoxes(),
        (std::vector<std::string>{
            cannotOpen(),
            text::jp("ログファイルに書き込めない間にたまった行が上限の 200000 "
                     "行に達しました。これより後の行は記録されません。\r\n"),
            text::jp("書き込み待ちの行が上限を超えたため、7 行を記録できませんでした。\r\n")}));
    EXPECT_EQ(store_test::crlfLines(readFile("queue.csv")).size(),
              1 + store::LogWriter::maxOwedLines);
}

TEST_F(LogFaults, TheFolderComingAndGoingUnderStreamingDevicesBreaksNoReply) {
    constexpr int devicesCount = 8;
    const int removals = stress::scaled(20);
    const std::array<int, 2> ports{freePort(), freePort()};
    const std::string folderPath = pathOf("logs");
    std::filesystem::create_directories(folderPath);
    stress::StreamFigures total;
    runMonitor([&](Window& w, CMonitorDlg&) {
        ui::headless::queueFileDialogAnswer(pathOf("logs/events.csv"));
        w.click(ids::browseLogButton);
        w.setCheck(ids::loggingCheck, true);
        startWith(w, {str(ports[0]), str(ports[1]), "", ""});
        std::vector<std::unique_ptr<stress::StreamingDevice>> devices;
        for (int d = 0; d < devicesCount; ++d) {
            devices.push_back(std::make_unique<stress::StreamingDevice>(
                ports[static_cast<std::size_t>(d % 2)], static_cast<std::uint32_t>(d * 100)));
        }
        for (int n = 0; n < removals; ++n) {
            std::this_thread::sleep_for(25ms);
            std::error_code ignored;
            std::filesystem::remove_all(folderPath, ignored);
            std::this_thread::sleep_for(25ms);
            std::filesystem::create_directories(folderPath);
        }
        for (auto& device : devices) {
            device->stop();
            total += device->figures();
        }
        EXPECT_TRUE(looksRunning(w));
    });
    stress::reportFigures("log folder removed " + std::to_string(removals) + " times",
                          total.summary() + ", " + std::to_string(boxes()) + " messages");
    EXPECT_EQ(total.wrongReplies, 0);
    EXPECT_EQ(total.unanswered, 0);
    EXPECT_EQ(total.connections, devicesCount);
    for (const auto& box : ui::headless::messageBoxes()) {
        EXPECT_TRUE(box == cannotOpen() || box == cannotWrite()) << box;
    }
}

}  // namespace

namespace {

class PipelinedLog : public LogFaults {};

TEST_F(PipelinedLog, FramesSentBackToBackLeaveEveryLineOnceAndInOrder) {
    const int port = freePort();
    constexpr int frameCount = 5'000;
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        logInto(w, dlg, pathOf("pipelined.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        Bytes frames;
        Bytes expected;
        for (int n = 0; n < frameCount; ++n) {
            const Bytes frame = countedFrame(n);
            frames.insert(frames.end(), frame.begin(), frame.end());
            expected.insert(expected.end(), {0xF0, frame.back()});
        }
        device.send(frames);
        EXPECT_EQ(device.receive(expected.size(), hangGuard), expected);
        // Counted, not parsed: a parse of the whole log at every look
        // would starve the writer it waits for on a slow build.
        EXPECT_TRUE(eventually(
            [&] {
                const std::string bytes = readFile("pipelined.csv");
                return std::count(bytes.begin(), bytes.end(), '\n') == frameCount + 1;
            },
            hangGuard));
    });
    EXPECT_EQ(recordsOf("pipelined.csv"), counted(0, frameCount));
}

}  // namespace
