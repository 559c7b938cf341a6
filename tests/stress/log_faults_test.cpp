// The event log under faults of its file: held by another opener, its
// folder removed while devices stream. Frames are still answered, each
// frame that cannot be logged says so, and logging resumes afterwards.
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "net/net_fixture.h"
#include "platform/fs.h"
#include "store/log_file_lines.h"
#include "stress/stress_support.h"

namespace {

using namespace nettest;

constexpr int signalCount = variant::inputCount + variant::outputCount;

class LogFaults : public NetTest {
protected:
    // Removes the folder while appends may create the file in it again:
    // a removal that meets a file created meanwhile is tried again.
    static bool removeUnderAppends(const std::string& path) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::error_code error;
            std::filesystem::remove_all(path, error);
            if (!error) return true;
        }
        return false;
    }

    // Logging on into the file chosen through the browse button.
    static void logInto(Window& w, const std::string& path) {
        ui::headless::queueFileDialogAnswer(path);
        w.click(ids::browseLogButton);
        w.setCheck(ids::loggingCheck, true);
    }

    // Frames one after another from one device, each answered correctly.
    static void sendFrames(Device& device, int count) {
        static std::uint32_t next = 0;
        for (int n = 0; n < count; ++n) {
            const auto exchange = stress::exchangeNumber(next++);
            device.send(exchange.frame);
            ASSERT_TRUE(exchange.answeredBy(device.receive(2)));
        }
    }

    std::vector<std::string> linesOf(const std::string& name) const {
        return store_test::crlfLines(readFile(name));
    }
    bool hasLines(const std::string& name, std::size_t count) const {
        return eventually([&] { return linesOf(name).size() == count; });
    }

    static std::size_t boxes() { return ui::headless::messageBoxes().size(); }
    static bool allBoxesSayTheLogCannotBeOpened() {
        const std::string cannotOpen = text::jp("ログファイルが開けません\r\n");
        for (const auto& box : ui::headless::messageBoxes()) {
            if (box != cannotOpen) return false;
        }
        return true;
    }

    static void expectRecordsFromTheDevice(const std::vector<std::string>& lines) {
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines[0].starts_with(store_test::logHeader(""))) << lines[0];
        for (std::size_t i = 1; i < lines.size(); ++i) {
            EXPECT_TRUE(store_test::isRecordFrom(lines[i], deviceAddressText, signalCount))
                << lines[i];
        }
    }
};

TEST_F(LogFaults, AFileHeldByAnotherOpenerCostsAMessagePerFrameUntilItIsReleased) {
    constexpr int whileHeld = 20;
    constexpr int afterwards = 10;
    const int port = freePort();
    runMonitor([&](Window& w, CMonitorDlg&) {
        logInto(w, pathOf("held.csv"));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        sendFrames(device, 3);
        ASSERT_TRUE(hasLines("held.csv", 1 + 3));
        {
            auto held = fs::TextFile::open(pathOf("held.csv"), fs::OpenMode::Append);
            ASSERT_TRUE(held);
            sendFrames(device, whileHeld);
            EXPECT_TRUE(eventually([&] { return boxes() == whileHeld; })) << boxes();
            EXPECT_EQ(linesOf("held.csv").size(), 1u + 3u);
        }
        sendFrames(device, afterwards);
        EXPECT_TRUE(hasLines("held.csv", 1 + 3 + afterwards));
        EXPECT_EQ(boxes(), static_cast<std::size_t>(whileHeld));
    });
    EXPECT_TRUE(allBoxesSayTheLogCannotBeOpened());
    expectRecordsFromTheDevice(linesOf("held.csv"));
}

TEST_F(LogFaults, AHeaderWrittenWhileTheWindowClosesHasTheNamesOnScreen) {
    const int port = freePort();
    std::string names;
    std::unique_ptr<Device> device;
    std::thread holder;
    runMonitor([&](Window& w, CMonitorDlg& dlg) {
        logInto(w, pathOf("closing.csv"));
        w.type(ids::inputNameEdit1, text::jp("ポンプ"));
        for (int k = 0; k < variant::inputCount; ++k)
            names.append(",").append(w.text(ids::inputNameEdit1 + k));
        for (const int id : {ids::outputNameEdit1, ids::outputNameEdit2, ids::outputNameEdit3}) {
            if (variant::outputCount > 0) names.append(",").append(w.text(id));
        }
        startWith(w, {str(port), "", "", ""});
        // The log is busy until the window has begun to close, so the
        // frame's append, with its header, comes after that.
        std::atomic<bool> held{false};
        holder = std::thread([&dlg, &held] {
            std::lock_guard busy(dlg.eventLogMutex);
            held.store(true);
            while (dlg.CallOnWindowThread([] {})) std::this_thread::sleep_for(1ms);
        });
        ASSERT_TRUE(eventually([&] { return held.load(); }));
        device = std::make_unique<Device>(port);
        device->send({0xFC, 0x01, 0x01});
        EXPECT_TRUE(eventually([&] { return inputs(dlg) == 0x01u; }));
        std::this_thread::sleep_for(20ms);
    });
    holder.join();
    const auto lines = linesOf("closing.csv");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], store_test::logHeader(names));
    EXPECT_TRUE(store_test::isRecordFrom(lines[1], deviceAddressText, signalCount)) << lines[1];
}

TEST_F(LogFaults, ARemovedFolderCostsAMessagePerFrameAndLoggingResumesWhenItIsBack) {
    constexpr int framesEach = 5;
    const int port = freePort();
    const std::string folderPath = pathOf("logs");
    const std::string logName = "logs/events.csv";
    std::filesystem::create_directories(folderPath);
    runMonitor([&](Window& w, CMonitorDlg&) {
        logInto(w, pathOf(logName));
        startWith(w, {str(port), "", "", ""});
        Device device(port);
        sendFrames(device, framesEach);
        ASSERT_TRUE(hasLines(logName, 1 + framesEach));

        std::filesystem::remove_all(folderPath);
        sendFrames(device, framesEach);
        EXPECT_TRUE(eventually([&] { return boxes() == framesEach; })) << boxes();
        EXPECT_FALSE(std::filesystem::exists(folderPath));

        std::filesystem::create_directories(folderPath);
        sendFrames(device, framesEach);
        EXPECT_TRUE(hasLines(logName, 1 + framesEach));
        EXPECT_EQ(boxes(), static_cast<std::size_t>(framesEach));
        EXPECT_TRUE(looksRunning(w));
    });
    EXPECT_TRUE(allBoxesSayTheLogCannotBeOpened());
    expectRecordsFromTheDevice(linesOf(logName));
}

TEST_F(LogFaults, TheFolderComingAndGoingUnderStreamingDevicesBreaksNoReply) {
    constexpr int devicesCount = 8;
    const int removals = stress::scaled(20);
    const std::array<int, 2> ports{freePort(), freePort()};
    const std::string folderPath = pathOf("logs");
    std::filesystem::create_directories(folderPath);
    stress::StreamFigures total;
    runMonitor([&](Window& w, CMonitorDlg&) {
        logInto(w, pathOf("logs/events.csv"));
        startWith(w, {str(ports[0]), str(ports[1]), "", ""});
        std::vector<std::unique_ptr<stress::StreamingDevice>> devices;
        for (int d = 0; d < devicesCount; ++d) {
            devices.push_back(std::make_unique<stress::StreamingDevice>(
                ports[static_cast<std::size_t>(d % 2)], static_cast<std::uint32_t>(d * 100)));
        }
        for (int n = 0; n < removals; ++n) {
            std::this_thread::sleep_for(25ms);
            EXPECT_TRUE(removeUnderAppends(folderPath));
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
    EXPECT_GT(boxes(), 0u);
    EXPECT_TRUE(allBoxesSayTheLogCannotBeOpened());
    EXPECT_LE(static_cast<std::int64_t>(boxes()), total.rightReplies);
}

}  // namespace
