// The lines of the CSV event log, byte for byte in CP932.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "store/csv_lines.h"

namespace {

// "日付,時刻,接続元IPアドレス" in CP932.
const std::string headerTitles =
    "\x93\xfa\x95\x74,\x8e\x9e\x8d\x8f,\x90\xda\x91\xb1\x8c\xb3IP\x83\x41\x83\x68\x83\x8c\x83\x58";

std::tm localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

TEST(CsvLines, SorrelExampleLogHoldsHeaderAndRecord) {
    const std::array<std::string, 5> names = {"DI1", "DI2", "DI3", "DI4", "DI5"};
    EXPECT_EQ(store::csvHeaderLine(names, {}), headerTitles + ",DI1,DI2,DI3,DI4,DI5\n");

    const std::array<std::int32_t, 5> inputs = {1, 0, 0, 0, 0};
    EXPECT_EQ(store::csvDataLine(store::csvTimestamp(localTime(2024, 5, 1, 9, 30, 0)),
                                 "192.168.0.10", inputs, {}),
              "2024/05/01,09:30:00,192.168.0.10,1,0,0,0,0\n");
}

TEST(CsvLines, KelvaneHeaderListsInputsThenOutputs) {
    const std::array<std::string, 3> inputs = {"DI1", "\x83\x7c\x83\x93\x83\x76", "DI3"};
    const std::array<std::string, 3> outputs = {"DO1", "DO2", ""};
    EXPECT_EQ(store::csvHeaderLine(inputs, outputs),
              headerTitles + ",DI1,\x83\x7c\x83\x93\x83\x76,DI3,DO1,DO2,\n");
}

TEST(CsvLines, KelvaneRecordWithOnlyOutputTwoOn) {
    const std::array<std::int32_t, 3> inputs = {0, 0, 0};
    const std::array<std::int32_t, 3> outputs = {0, 1, 0};
    const std::string line = store::csvDataLine("2024/05/01,09:30:00", "10.0.0.2", inputs, outputs);
    EXPECT_EQ(line, "2024/05/01,09:30:00,10.0.0.2,0,0,0,0,1,0\n");
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 8);
}

TEST(CsvLines, EveryNonZeroStateIsWrittenAsOne) {
    const std::array<std::int32_t, 5> inputs = {2, -1, 0, 0x7fffffff, 0};
    EXPECT_EQ(store::csvDataLine("t,t", "1.2.3.4", inputs, {}), "t,t,1.2.3.4,1,1,0,1,0\n");
}

TEST(CsvLines, ACommaInANameWidensOnlyTheHeader) {
    const std::array<std::string, 5> names = {"a,b", "DI2", "DI3", "DI4", "DI5"};
    const std::string header = store::csvHeaderLine(names, {});
    EXPECT_EQ(std::count(header.begin(), header.end(), ','), 8);
    const std::array<std::int32_t, 5> inputs{};
    const std::string line = store::csvDataLine("d,t", "1.2.3.4", inputs, {});
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 7);
}

TEST(CsvLines, TimestampPadsEveryFieldToItsWidth) {
    EXPECT_EQ(store::csvTimestamp(localTime(1999, 12, 31, 23, 59, 59)), "1999/12/31,23:59:59");
    EXPECT_EQ(store::csvTimestamp(localTime(2030, 1, 2, 0, 0, 7)), "2030/01/02,00:00:07");
}

}  // namespace
