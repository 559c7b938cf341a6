// The log reader on the logs both programs write: header lines at the top
// and in the middle, names with commas, several devices, lines that are not
// ours, and a log read while it grows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/log_reader.h"
#include "history/wall_clock.h"

namespace {

using history::Change;
using history::LogReader;
using history::NamesInForce;

// "日付,時刻,接続元IPアドレス" in CP932.
const std::string titles =
    "\x93\xfa\x95\x74,\x8e\x9e\x8d\x8f,\x90\xda\x91\xb1\x8c\xb3IP\x83\x41\x83\x68\x83\x8c\x83\x58";
const std::string pump = "\x83\x7c\x83\x93\x83\x76";  // "ポンプ"

constexpr history::TimeMs at093000 = 1714555800000;  // 2024/05/01 09:30:00
constexpr history::TimeMs at093001 = 1714555801000;
constexpr history::TimeMs at093005 = 1714555805000;

Change change(history::TimeMs time, std::uint8_t on, std::uint32_t address) {
    Change c;
    c.time = time;
    c.on = on;
    c.address = address;
    return c;
}

std::vector<Change> changesOf(const LogReader& reader) {
    std::vector<Change> changes;
    if (!reader.timeline()) return changes;
    for (std::size_t i = 0; i < reader.timeline()->size(); ++i) {
        changes.push_back(reader.timeline()->at(i));
    }
    return changes;
}

const std::uint32_t device10 = history::networkOrderAddress(192, 168, 0, 10);
const std::uint32_t device11 = history::networkOrderAddress(192, 168, 0, 11);

// A Sorrel log: two devices, a repeated state, a header written after input
// 1 was renamed "Pump,1", and lines of other kinds in between.
const std::string sorrelLog = titles + ",DI1,DI2,DI3,DI4,DI5\r\n" +
                              "2024/05/01,09:30:00,192.168.0.10,1,0,0,0,0\r\n"
                              "2024/05/01,09:30:00,192.168.0.10,1,0,0,0,0\r\n"
                              "hello, world\r\n"
                              "2024/05/01,09:30:01,192.168.0.11,1,1,0,0,0\r\n"
                              "2024/05/01,09:30:01,192.168.0.11,1,1,0,0\r\n"
                              "2024/05/01,09:30:01,192.168.0.11,1,1,0,0,0,0\r\n"
                              "2024/13/01,09:30:01,192.168.0.11,1,1,0,0,0\r\n"
                              "2024/05/01,09:30:01,192.168.0.256,1,1,0,0,0\r\n"
                              "2024/05/01,09:30:01,192.168.0.11,1,1,0,0,2\r\n"
                              "\r\n" +
                              std::string("\x00\xff\x81,1,0", 7) + "\r\n" + titles +
                              ",Pump,1,DI2,DI3,DI4,DI5\r\n" +
                              "2024/05/01,09:30:05,192.168.0.10,0,1,0,0,0\r\n"
                              // An earlier time than the line before stays in order.
                              "2024/05/01,09:29:59,192.168.0.10,0,1,1,0,0\r\n";

TEST(HistoryLog, ReadsASorrelLogWithItsNamesAndSkipsWhatIsNotOurs) {
    LogReader reader;
    reader.feed(sorrelLog);
    ASSERT_TRUE(reader.timeline());
    EXPECT_EQ(reader.timeline()->rows(), (history::RowSet{5, 0}));
    EXPECT_EQ(changesOf(reader),
              (std::vector<Change>{
                  change(at093000, 0b00001, device10), change(at093001, 0b00011, device11),
                  change(at093005, 0b00010, device10), change(at093005, 0b00110, device10)}));
    EXPECT_EQ(reader.names(),
              (std::vector<NamesInForce>{{at093000, {"DI1", "DI2", "DI3", "DI4", "DI5"}},
                                         {at093005, {"Pump,1", "DI2", "DI3", "DI4", "DI5"}}}));
    EXPECT_EQ(reader.lines(), 15u);
    EXPECT_EQ(reader.skipped(), 8u);
}

TEST(HistoryLog, ReadsAKelvaneLogWithItsOutputsAcrossMidnight) {
    LogReader reader;
    reader.feed(titles + ",DI1," + pump + ",DI3,DO1,DO2,DO3\r\n" +
                "2024/05/01,23:59:59,10.0.0.5,0,0,0,0,1,0\r\n"
                "2024/05/02,00:00:00,10.0.0.5,0,1,0,0,1,0\r\n"
                // Sorrel's line in Kelvane's log is not this log's.
                "2024/05/02,00:00:01,10.0.0.5,1,1,1,1,1\r\n");
    ASSERT_TRUE(reader.timeline());
    EXPECT_EQ(reader.timeline()->rows(), (history::RowSet{3, 3}));
    const std::uint32_t device = history::networkOrderAddress(10, 0, 0, 5);
    EXPECT_EQ(changesOf(reader), (std::vector<Change>{change(1714607999000, 0b010000, device),
                                                      change(1714608000000, 0b010010, device)}));
    EXPECT_EQ(
        reader.names(),
        (std::vector<NamesInForce>{{1714607999000, {"DI1", pump, "DI3", "DO1", "DO2", "DO3"}}}));
    EXPECT_EQ(reader.skipped(), 1u);
}

TEST(HistoryLog, AnyPiecesOfTheFileGiveTheSameHistoryAndAPartLineWaitsForItsEnd) {
    LogReader whole;
    whole.feed(sorrelLog);
    LogReader bytes;
    for (const char byte : sorrelLog) bytes.feed(std::string_view(&byte, 1));
    EXPECT_EQ(changesOf(bytes), changesOf(whole));
    EXPECT_EQ(bytes.names(), whole.names());
    EXPECT_EQ(bytes.lines(), whole.lines());
    EXPECT_EQ(bytes.skipped(), whole.skipped());

    // A log still being written: the last line counts once its end is there.
    LogReader growing;
    growing.feed(titles + ",A,B,C,D,E\r\n2024/05/01,09:30:00,192.168.0.10,1,0,0");
    EXPECT_FALSE(growing.timeline());
    EXPECT_EQ(growing.lines(), 1u);
    growing.feed(",0,0\r\n");
    EXPECT_EQ(changesOf(growing), (std::vector<Change>{change(at093000, 0b00001, device10)}));
    EXPECT_EQ(growing.names().back().names, (std::vector<std::string>{"A", "B", "C", "D", "E"}));

    // A line longer than any of ours is one skipped line, however it comes.
    growing.feed(std::string(3000, 'x'));
    growing.feed(std::string(3000, 'y') + "\n2024/05/01,09:30:01,192.168.0.10,0,0,0,0,0\n");
    EXPECT_EQ(growing.skipped(), 1u);
    EXPECT_EQ(growing.timeline()->size(), 2u);
}

TEST(HistoryLog, HeaderFieldsJoinIntoNamesThatFitTheirFieldsAndKeepThoseBefore) {
    const std::vector<std::string> defaults{"DI1", "DI2", "DI3", "DI4", "DI5"};
    EXPECT_EQ(history::namesOfHeader({"DI1", "DI2", "a", "b", "c", "DI4", "DI5"}, defaults),
              (std::vector<std::string>{"DI1", "DI2", "a,b,c", "DI4", "DI5"}));
    // "B,ABCDEFGHIJKLMNOPQRS" would be 21 bytes: more than a name field holds.
    EXPECT_EQ(
        history::namesOfHeader({"A", "B", "ABCDEFGHIJKLMNOPQRS", "DI3", "DI4", "DI5"}, defaults),
        (std::vector<std::string>{"A,B", "ABCDEFGHIJKLMNOPQRS", "DI3", "DI4", "DI5"}));
    // Fewer fields than rows: the rest have empty names.
    EXPECT_EQ(history::namesOfHeader({"X"}, defaults),
              (std::vector<std::string>{"X", "", "", "", ""}));
    // A header with hundreds of commas is not taken apart.
    std::vector<std::string> commas(300, "");
    commas[0] = "P";
    const auto names = history::namesOfHeader(commas, defaults);
    EXPECT_EQ(names[0], "P");
    EXPECT_EQ(names[4], std::string(295, ','));
}

}  // namespace
