// The cursors of the history window: where a placed cursor snaps, the moves
// to the next and previous change of a row, and the texts of the pointer
// line and of the measurements table.
#include <gtest/gtest.h>

#include "history/cursor_snap.h"
#include "history/cursor_text.h"
#include "history/cursors.h"
#include "history/measurement_text.h"

namespace {

using history::Change;
using history::RowSet;
using history::Timeline;
using history::TimeMs;

constexpr TimeMs at093000 = 1714555800000;  // 2024/05/01 09:30:00

Change change(TimeMs time, std::uint8_t on) {
    Change c;
    c.time = time;
    c.on = on;
    return c;
}

// Input 1 changes at 1000 and 3000, input 2 at 2000.
Timeline twoRows() {
    Timeline timeline(RowSet{5, 0});
    for (const Change& c : {change(0, 0), change(1000, 1), change(2000, 3), change(3000, 2)}) {
        timeline.append(c);
    }
    return timeline;
}

TEST(HistoryCursor, SnapsToTheRowsChangeWithinFourColumnsOnly) {
    const Timeline timeline = twoRows();
    // 10 ms a column: 40 ms catch.
    EXPECT_EQ(history::snapCursor(timeline, 1040, 0, 10), 1000);
    EXPECT_EQ(history::snapCursor(timeline, 960, 0, 10), 1000);
    EXPECT_EQ(history::snapCursor(timeline, 1041, 0, 10), 1041);
    // Input 2's change is not input 1's.
    EXPECT_EQ(history::snapCursor(timeline, 2010, 0, 10), 2010);
    EXPECT_EQ(history::snapCursor(timeline, 2010, 1, 10), 2000);
    // Zoomed out, the same pointer reaches further.
    EXPECT_EQ(history::snapCursor(timeline, 1400, 0, 100), 1000);
}

TEST(HistoryCursor, NextAndPreviousChangeOfARowStopAtTheEnds) {
    const Timeline timeline = twoRows();
    const auto timeOf = [&](std::optional<std::size_t> index) {
        return index ? timeline.at(*index).time : -1;
    };
    EXPECT_EQ(timeOf(timeline.nextChange(1000, 0b1)), 3000);
    EXPECT_EQ(timeOf(timeline.nextChange(999, 0b1)), 1000);
    EXPECT_EQ(timeOf(timeline.nextChange(3000, 0b1)), -1);
    EXPECT_EQ(timeOf(timeline.previousChange(3000, 0b1)), 1000);
    EXPECT_EQ(timeOf(timeline.previousChange(1000, 0b1)), 0);
    EXPECT_EQ(timeOf(timeline.previousChange(0, 0b1)), -1);
    EXPECT_EQ(timeOf(timeline.nextChange(-5, 0b10)), 0);

    // Input 5 changes three times among 5000 changes of input 1, the first
    // of them in chunks dropped since.
    Timeline busy(RowSet{5, 0}, history::Bound{1000, 1'000'000'000});
    for (int i = 0; i < 5000; ++i) {
        const bool five = i == 1234 || i == 4100 || i == 4600;
        const std::uint8_t last = busy.empty() ? 0 : busy.back().on;
        busy.append(change(i, static_cast<std::uint8_t>(last ^ (five ? 0b10000 : 0b1))));
    }
    const auto busyTimeOf = [&](std::optional<std::size_t> index) {
        return index ? busy.at(*index).time : -1;
    };
    ASSERT_GT(busy.at(0).time, 1234);
    EXPECT_EQ(busyTimeOf(busy.nextChange(busy.at(0).time, 0b10000)), 4100);
    EXPECT_EQ(busyTimeOf(busy.nextChange(4100, 0b10000)), 4600);
    EXPECT_EQ(busyTimeOf(busy.nextChange(4600, 0b10000)), -1);
    EXPECT_EQ(busyTimeOf(busy.previousChange(4600, 0b10000)), 4100);
    EXPECT_EQ(busyTimeOf(busy.previousChange(4100, 0b10000)), -1);
}

TEST(HistoryCursor, KeysStepAlongTheChosenRowFromTheCursorOrFromTheViewsEdge) {
    const Timeline timeline = twoRows();
    using W = history::Cursors::Which;
    history::Cursors cursors;
    const history::TimeRange view{500, 2500};
    // Not yet placed: the first change in the view going on, the last going back.
    EXPECT_TRUE(cursors.step(W::A, timeline, true, view));
    EXPECT_EQ(cursors.a(), 1000);
    EXPECT_TRUE(cursors.step(W::B, timeline, false, view));
    EXPECT_EQ(cursors.b(), 1000);
    // A change on the view's edge is in it.
    history::Cursors edge;
    EXPECT_TRUE(edge.step(W::A, timeline, true, {1000, 2500}));
    EXPECT_EQ(edge.a(), 1000);
    // At the row's last change, A stays.
    EXPECT_TRUE(cursors.step(W::A, timeline, true, view));
    EXPECT_EQ(cursors.a(), 3000);
    EXPECT_FALSE(cursors.step(W::A, timeline, true, view));
    EXPECT_EQ(cursors.a(), 3000);
    // Input 2's only change after the first.
    cursors.chooseRow(1, 2);
    EXPECT_TRUE(cursors.step(W::A, timeline, false, view));
    EXPECT_EQ(cursors.a(), 2000);
    cursors.chooseRow(5, 2);
    EXPECT_EQ(cursors.row(), 1);
    cursors.chooseRow(-5, 2);
    EXPECT_EQ(cursors.row(), 0);
}

TEST(HistoryCursor, TheMeasuredRangeHoldsBothCursorsOrIsTheView) {
    const Timeline timeline = twoRows();
    using W = history::Cursors::Which;
    history::Cursors cursors;
    EXPECT_EQ(cursors.measured({5, 9}), (history::TimeRange{5, 9}));
    cursors.place(W::B, timeline, 1010, 0, 10);
    EXPECT_EQ(cursors.measured({5, 9}), (history::TimeRange{5, 9}));
    cursors.place(W::A, timeline, 3030, 0, 10);
    // Either way round, the later cursor's own time inside.
    EXPECT_EQ(cursors.between(), (history::TimeRange{1000, 3000}));
    EXPECT_EQ(cursors.measured({5, 9}), (history::TimeRange{1000, 3001}));
    cursors.clear();
    EXPECT_FALSE(cursors.a());
    EXPECT_FALSE(cursors.between());
}

TEST(HistoryCursor, PointerLineShowsTheCursorsClockTimesAndTheSpanBetween) {
    EXPECT_EQ(history::cursorLineText(at093000 + 250, at093000 + 1750),
              "A 2024/05/01 09:30:00.250  B 2024/05/01 09:30:01.750  \x83\xa2 1.500 s");
    EXPECT_EQ(history::cursorLineText(at093000 + 250, std::nullopt), "A 2024/05/01 09:30:00.250");
    EXPECT_EQ(history::cursorLineText(std::nullopt, at093000), "B 2024/05/01 09:30:00.000");
    EXPECT_EQ(history::spanText(999), "999 ms");
    EXPECT_EQ(history::spanText(-250), "-250 ms");
    EXPECT_EQ(history::spanText(1000), "1.000 s");
    EXPECT_EQ(history::spanText(-61234), "-61.234 s");
}

TEST(HistoryCursor, CopiedTableIsTheColumnsThenARowPerSignalApartByTabs) {
    const history::RowMeasurements full{10, 4, 2700, 100.0 * 2700 / 7000, 200, 1000, 5000.0 / 3};
    const history::RowMeasurements none{};
    EXPECT_EQ(history::measurementTableText({"DI1", "\x83\x7c\x83\x93\x83\x76"}, {full, none}),
              "\x90M\x8d\x86\t\x95\xcf\x89\xbb\t\x97\xa7\x82\xbf\x8f\xe3\x82\xaa\x82\xe8\t"
              "ON \x8d\x87\x8cv [s]\tON \x8a\x84\x8d\x87 [%]\t\x8d\xc5\x92Z ON [s]\t"
              "\x8d\xc5\x92\xb7 ON [s]\t\x95\xbd\x8b\xcf\x8e\xfc\x8a\xfa [s]\r\n"
              "DI1\t10\t4\t2.700\t38.6\t0.200\t1.000\t1.667\r\n"
              "\x83\x7c\x83\x93\x83\x76\t0\t0\t-\t-\t-\t-\t-\r\n");
}

}  // namespace
