// The event log on its own, with no window: where the close rescues owed
// lines, a fresh header that a full queue drops, and the order in which lines
// take the names while names and frames change at once.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "net/net_test_support.h"
#include "store/event_log.h"
#include "store/faulty_log_files.h"
#include "store/log_file_lines.h"
#include "support/monitor_fixture.h"

namespace {

using nettest::eventually;
using nettest::hangGuard;
using store_test::crlfLines;
using store_test::logHeader;

constexpr std::size_t inputCount = variant::inputCount;
constexpr std::size_t outputCount = variant::outputCount;

class EventLogRoom : public MonitorTest, private store::LogNotices {
protected:
    store_test::FaultyLogFiles files;
    std::vector<std::string> notices;
    store::EventLog log{[this](std::function<void()> body) { return startThread(std::move(body)); },
                        [](std::function<void()>) {}, *this};

    void SetUp() override {
        MonitorTest::SetUp();
        log.useOpener(files.opener());
        log.setLogging(true);
        log.setSignalNames(names("DI"), names("DO"), false);
    }
    void TearDown() override {
        if (!finished_) log.finish();
        for (auto& thread : threads_) thread.join();
        MonitorTest::TearDown();
    }

    void finish() {
        finished_ = true;
        log.finish();
    }
    static std::vector<std::string> names(const std::string& stem, std::size_t count = 0) {
        std::vector<std::string> result;
        const std::size_t n = count == 0 ? (stem == "DI" ? inputCount : outputCount) : count;
        for (std::size_t i = 0; i < n; ++i) result.push_back(stem + std::to_string(i + 1));
        return result;
    }
    static std::string namesColumns(const std::vector<std::string>& inputs,
                                    const std::vector<std::string>& outputs) {
        std::string columns;
        for (const auto& name : inputs) columns += "," + name;
        for (const auto& name : outputs) columns += "," + name;
        return columns;
    }
    void append(const std::string& peer) { appendRead({peer}); }
    // The lines of one read's frames, handed over together.
    void appendRead(const std::vector<std::string>& peers) {
        const std::vector<std::int32_t> inputs(inputCount, 1);
        const std::vector<std::int32_t> outputs(outputCount, 0);
        std::string records;
        for (const auto& peer : peers) log.record(peer, inputs, outputs, records);
        log.append(records);
    }
    static std::vector<std::string> peersFrom(const std::vector<std::string>& lines,
                                              std::size_t first) {
        std::vector<std::string> peers;
        for (std::size_t i = first; i < lines.size(); ++i) peers.push_back(peerOf(lines[i]));
        return peers;
    }
    // The peer address of a record, without its timestamp and states.
    static std::string peerOf(const std::string& record) {
        const std::size_t start = 20;
        return record.substr(start, record.find(',', start) - start);
    }
    std::string makeFolder(const std::string& name) const {
        std::filesystem::create_directory(pathOf(name));
        return pathOf(name);
    }

private:
    bool startThread(std::function<void()> body) {
        std::lock_guard lock(threadsGuard_);
        threads_.emplace_back(std::move(body));
        return true;
    }
    void showLogNotice(const std::string& text) override { notices.push_back(text); }

    bool finished_ = false;
    std::mutex threadsGuard_;
    std::vector<std::thread> threads_;
};

TEST_F(EventLogRoom, OwedLinesAreRescuedBesideTheLogWhenItsFolderIsNotTheProgramsOwn) {
    const std::string program = makeFolder("program");
    const std::string logs = makeFolder("logs");
    log.setProgramFolder(program);
    const std::string held = logs + "/today.csv";
    log.setPath(held);
    files.affect(held);
    files.refuseOpen = true;
    for (const char* peer : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) append(peer);
    ASSERT_TRUE(eventually([&] { return files.opensEnded.load() > 0; }, hangGuard));

    finish();
    std::vector<std::filesystem::path> rescued;
    for (const auto& entry : std::filesystem::directory_iterator(logs)) {
        rescued.push_back(entry.path());
    }
    ASSERT_EQ(rescued.size(), 1u);
    // The program names its files in CP932; this file system in UTF-8.
    const std::string rescuedName = text::jp(rescued[0].filename().string());
    EXPECT_TRUE(rescuedName.starts_with("today" + text::jp("_未記録_"))) << rescued[0];
    EXPECT_TRUE(std::filesystem::is_empty(program));
    std::ifstream in(rescued[0], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto lines = crlfLines(bytes);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], logHeader(namesColumns(names("DI"), names("DO"))));
    EXPECT_EQ(peerOf(lines[3]), "127.0.0.4");
    // The window here runs no posted work, as one that closed first: the
    // close still tells why the lines were owed, before where they went.
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], text::jp("ログファイルが開けません\r\n"));
    EXPECT_NE(notices.back().find(logs + "/" + rescuedName), std::string::npos);
}

TEST_F(EventLogRoom, AFreshHeaderThatAFullQueueDropsComesWithTheNextLine) {
    const std::string path = pathOf("full.csv");
    log.setPath(path);
    files.refuseOpen = true;
    for (std::size_t i = 0; i < store::LogWriter::maxOwedLines; ++i) append("127.0.0.2");
    log.setSignalNames(names("IN"), names("OUT"), true);
    append("127.0.0.9");  // dropped, and with it the fresh header it took
    EXPECT_TRUE(log.freshHeaderOwed());

    files.refuseOpen = false;
    const auto written = [&](std::size_t count) {
        return eventually([&] { return crlfLines(readFile("full.csv")).size() >= count; },
                          hangGuard * 6);
    };
    ASSERT_TRUE(written(1 + store::LogWriter::maxOwedLines));
    append("127.0.0.5");
    ASSERT_TRUE(written(3 + store::LogWriter::maxOwedLines));
    const auto lines = crlfLines(readFile("full.csv"));
    ASSERT_EQ(lines.size(), 3 + store::LogWriter::maxOwedLines);
    EXPECT_EQ(lines[lines.size() - 2], logHeader(namesColumns(names("IN"), names("OUT"))));
    EXPECT_EQ(peerOf(lines.back()), "127.0.0.5");
}

TEST_F(EventLogRoom, AReadThatAFullDiskCutsPartWayGoesOnFromItsFirstLineLeftUnderOneHeader) {
    log.setPath(pathOf("cut.csv"));
    const auto lineCount = [&] { return crlfLines(readFile("cut.csv")).size(); };
    append("127.0.0.1");
    ASSERT_TRUE(eventually([&] { return lineCount() == 2; }, hangGuard));
    log.setSignalNames(names("IN"), names("OUT"), true);
    const std::string header = logHeader(namesColumns(names("IN"), names("OUT")));
    const std::size_t lineBytes =
        std::string("2024/05/01,09:30:00,127.0.0.2").size() + 2 * (inputCount + outputCount) + 2;
    // Room for the fresh header, two of the read's lines and half the third.
    files.spaceLeft = static_cast<long long>(header.size() + 2 + 2 * lineBytes + lineBytes / 2);
    appendRead({"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6"});
    // Five whole lines and no half one: the write was cut back.
    ASSERT_TRUE(eventually([&] { return lineCount() == 5; }, hangGuard));
    files.spaceLeft = -1;
    append("127.0.0.7");
    ASSERT_TRUE(eventually([&] { return lineCount() >= 9; }, hangGuard));
    const auto lines = crlfLines(readFile("cut.csv"));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[2], header);
    EXPECT_EQ(peersFrom(lines, 3),
              (std::vector<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5",
                                        "127.0.0.6", "127.0.0.7"}));
}

TEST_F(EventLogRoom, AQueueThatFillsInTheMiddleOfAReadTakesItsFirstLines) {
    log.setPath(pathOf("queue.csv"));
    files.refuseOpen = true;
    for (std::size_t i = 0; i + 2 < store::LogWriter::maxOwedLines; ++i) append("127.0.0.2");
    appendRead({"127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6"});
    files.refuseOpen = false;
    ASSERT_TRUE(eventually(
        [&] {
            return crlfLines(readFile("queue.csv")).size() >= 1 + store::LogWriter::maxOwedLines;
        },
        hangGuard * 6));
    finish();
    const auto lines = crlfLines(readFile("queue.csv"));
    ASSERT_EQ(lines.size(), 1 + store::LogWriter::maxOwedLines);
    EXPECT_EQ(peersFrom(lines, lines.size() - 3),
              (std::vector<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.4"}));
    const std::string droppedTwo = text::jp("超えたため、2 行を記録できませんでした。");
    EXPECT_TRUE(std::any_of(notices.begin(), notices.end(), [&](const std::string& notice) {
        return notice.find(droppedTwo) != std::string::npos;
    }));
}

TEST_F(EventLogRoom, LinesSitUnderTheNamesInForceWhenTheyWereMadeWhileNamesAndFramesRace) {
    log.setPath(pathOf("race.csv"));
    // Generation g names every signal "g<g>"; a record names, as its peer,
    // the generation in force before it was made, so the header above it in
    // the file is of that generation or a later one, never an older one.
    constexpr int appenders = 3;
    constexpr int linesEach = 20000;
    std::atomic<int> generation{0};
    std::atomic<bool> done{false};
    const auto namesOf = [](int g, std::size_t count) {
        // Appended, not joined: g++ 12 at -O3 warns falsely about a literal
        // joined in front of a temporary.
        std::string name = "g";
        name += std::to_string(g);
        return std::vector<std::string>(count, name);
    };
    log.setSignalNames(namesOf(0, inputCount), namesOf(0, outputCount), true);
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int g = 1; !done.load(); ++g) {
            log.setSignalNames(namesOf(g, inputCount), namesOf(g, outputCount), true);
            generation.store(g);
            std::this_thread::yield();
        }
    });
    for (int a = 0; a < appenders; ++a) {
        threads.emplace_back([&] {
            for (int i = 0; i < linesEach; ++i) append(std::to_string(generation.load()));
        });
    }
    for (std::size_t t = 1; t < threads.size(); ++t) threads[t].join();
    done.store(true);
    threads[0].join();

    constexpr std::size_t records = appenders * linesEach;
    ASSERT_TRUE(eventually(
        [&] {
            std::size_t count = 0;
            for (const auto& line : crlfLines(readFile("race.csv"))) {
                if (!line.starts_with(logHeader(""))) ++count;
            }
            return count == records;
        },
        hangGuard));
    int headerGeneration = -1;
    std::size_t seen = 0;
    for (const auto& line : crlfLines(readFile("race.csv"))) {
        if (line.starts_with(logHeader(",g"))) {
            const std::size_t g = logHeader(",g").size();
            headerGeneration = std::stoi(line.substr(g, line.find(',', g) - g));
            continue;
        }
        ++seen;
        const int madeUnder = std::stoi(peerOf(line));
        ASSERT_GE(headerGeneration, madeUnder) << "record " << seen << ": " << line;
    }
    EXPECT_EQ(seen, records);
}

}  // namespace
