// A range of the history saved as a log: read back by the program's own log
// reader, it gives the range's changes at their whole seconds, without the
// spells of a stopped server.
#include <gtest/gtest.h>

#include <vector>

#include "history/log_reader.h"
#include "history/wall_clock.h"
#include "store/range_csv.h"

namespace {

using history::Change;
using history::TimeMs;

constexpr TimeMs at093000 = 1714555800000;  // 2024/05/01 09:30:00
const std::uint32_t device10 = history::networkOrderAddress(192, 168, 0, 10);

Change change(TimeMs time, std::uint8_t on, std::uint32_t address, bool stopped = false) {
    Change c;
    c.time = time;
    c.on = on;
    c.address = address;
    c.stopped = stopped ? 1 : 0;
    return c;
}

TEST(HistoryRangeCsv, ARangeReadBackGivesItsChangesAtWholeSeconds) {
    history::Timeline timeline(history::RowSet{3, 3});
    for (const Change& c :
         {change(at093000 - 5000, 0b000001, device10), change(at093000 + 250, 0b000011, device10),
          change(at093000 + 1999, 0b001011, 0), change(at093000 + 3000, 0b001011, 0, true),
          change(at093000 + 3500, 0b000011, 0, true), change(at093000 + 4000, 0b000000, 0),
          change(at093000 + 4500, 0b101100, device10), change(at093000 + 9000, 0, device10)}) {
        timeline.append(c);
    }
    const std::vector<std::string> names{"DI1", "\x83\x7c\x83\x93\x83\x76", "DI3", "DO1", "DO2",
                                         "DO3"};
    const std::string csv = store::rangeCsv(timeline, at093000, at093000 + 9000, names);

    history::LogReader reader;
    reader.feed(csv);
    EXPECT_EQ(reader.skipped(), 0u);
    ASSERT_TRUE(reader.timeline());
    std::vector<Change> changes;
    for (std::size_t i = 0; i < reader.timeline()->size(); ++i) {
        changes.push_back(reader.timeline()->at(i));
    }
    EXPECT_EQ(changes, (std::vector<Change>{change(at093000, 0b000011, device10),
                                            change(at093000 + 1000, 0b001011, 0),
                                            change(at093000 + 4000, 0b000000, 0),
                                            change(at093000 + 4000, 0b101100, device10)}));
    EXPECT_EQ(reader.names(), (std::vector<history::NamesInForce>{{at093000, names}}));
}

}  // namespace
