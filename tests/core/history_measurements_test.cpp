// The figures of a row over a range between the cursors: ranges that cut
// pulses, hold no change, start or end in grey; and random histories
// against a count of every change, across chunk edges and dropped chunks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "history/measurements.h"

namespace {

using history::Change;
using history::RowMeasurements;
using history::RowSet;
using history::Timeline;
using history::TimeMs;

Change change(TimeMs time, std::uint8_t on, bool stopped = false) {
    Change c;
    c.time = time;
    c.on = on;
    c.stopped = stopped ? 1 : 0;
    return c;
}

// Input 1 pulses 500, 200 and 1000 ms; a pulse from 4000 has no known end,
// as the server stops at 5000.
Timeline pulses() {
    Timeline timeline(RowSet{3, 3});
    for (const Change& c :
         {change(0, 0, true), change(1000, 0), change(2000, 1), change(2500, 0), change(3000, 1),
          change(3200, 0), change(4000, 1), change(5000, 1, true), change(6000, 0), change(7000, 1),
          change(8000, 0)}) {
        timeline.append(c);
    }
    return timeline;
}

TEST(HistoryMeasurements, FiguresOfARangeCountOnlyWhatLiesInsideIt) {
    const Timeline timeline = pulses();
    // Grey from 0 to 1000 and from 5000 to 6000 counts for neither.
    EXPECT_EQ(history::measureRow(timeline, 0, 0, 9000),
              (RowMeasurements{10, 4, 2700, 100.0 * 2700 / 7000, 200, 1000, 5000.0 / 3}));
    EXPECT_EQ(history::measureRow(timeline, 0, 9000, 0), history::measureRow(timeline, 0, 0, 9000));

    // Cutting the pulse at 2000 and the one at 3000: neither is complete.
    EXPECT_EQ(history::measureRow(timeline, 0, 2200, 3100),
              (RowMeasurements{2, 1, 400, 100.0 * 400 / 900, {}, {}, {}}));
    // No change inside.
    EXPECT_EQ(history::measureRow(timeline, 0, 3300, 3900),
              (RowMeasurements{0, 0, 0, 0.0, {}, {}, {}}));
    // Starting in grey, and ending in it.
    EXPECT_EQ(history::measureRow(timeline, 0, 500, 2600),
              (RowMeasurements{3, 1, 500, 100.0 * 500 / 1600, 500, 500, {}}));
    EXPECT_EQ(history::measureRow(timeline, 0, 4500, 5500),
              (RowMeasurements{1, 0, 500, 100.0, {}, {}, {}}));
    // Before anything is known, and an output that never changed.
    EXPECT_EQ(history::measureRow(timeline, 0, -1000, 0), RowMeasurements{});
    EXPECT_EQ(history::measureRow(timeline, 3, 0, 9000),
              (RowMeasurements{0, 0, 0, 0.0, {}, {}, {}}));
}

// Every change looked at, one row's state at a time.
RowMeasurements countEveryChange(const Timeline& timeline, int row, TimeMs from, TimeMs to) {
    const auto stateAt = [&](std::size_t i) {
        return history::rowStateOf(timeline.at(i), timeline.rows(), row);
    };
    using history::RowState;
    RowMeasurements m;
    TimeMs on = 0;
    TimeMs known = 0;
    std::vector<TimeMs> rises;
    for (std::size_t i = 0; i < timeline.size(); ++i) {
        const TimeMs start = timeline.at(i).time;
        const TimeMs end = i + 1 < timeline.size() ? timeline.at(i + 1).time : to;
        const TimeMs overlap = std::max<TimeMs>(0, std::min(end, to) - std::max(start, from));
        if (stateAt(i) == RowState::On) on += overlap;
        if (stateAt(i) != RowState::Grey) known += overlap;
        if (start < from || start >= to || i == 0 || stateAt(i - 1) == stateAt(i)) continue;
        ++m.changes;
        if (stateAt(i - 1) != RowState::Off || stateAt(i) != RowState::On) continue;
        ++m.rises;
        rises.push_back(start);
        std::size_t j = i + 1;
        while (j < timeline.size() && stateAt(j) == RowState::On) ++j;
        if (j < timeline.size() && stateAt(j) == RowState::Off && timeline.at(j).time < to) {
            const TimeMs pulse = timeline.at(j).time - start;
            m.shortestOnMs = std::min(m.shortestOnMs.value_or(pulse), pulse);
            m.longestOnMs = std::max(m.longestOnMs.value_or(pulse), pulse);
        }
    }
    if (known > 0) {
        m.onMs = on;
        m.onPercent = 100.0 * static_cast<double>(on) / static_cast<double>(known);
    }
    if (rises.size() > 1) {
        m.meanPeriodMs = static_cast<double>(rises.back() - rises.front()) /
                         static_cast<double>(rises.size() - 1);
    }
    return m;
}

TEST(HistoryMeasurements, RandomHistoriesMeasureAsEveryChangeCountedOneByOne) {
    for (unsigned seed = 0; seed < 60; ++seed) {
        std::mt19937 random(seed);
        const RowSet rows = seed % 2 == 0 ? RowSet{3, 3} : RowSet{5, 0};
        // Half the histories drop their oldest chunks as they grow.
        Timeline source(rows, seed % 4 < 2 ? std::optional<history::Bound>{{600, 1'000'000'000}}
                                           : std::nullopt);
        Timeline copy(RowSet{0, 0});
        const int count = std::uniform_int_distribution<int>(1, 3000)(random);
        Change next = change(0, 0, true);
        for (int i = 0; i < count; ++i) {
            next.time += std::uniform_int_distribution<int>(0, 20)(random);
            next.on = static_cast<std::uint8_t>(next.on ^ (1u << (random() % rows.count())));
            if (random() % 40 == 0) next.stopped = next.stopped != 0 ? 0 : 1;
            source.append(next);
            if (i % 700 == 0) copy.follow(source);
        }
        copy.follow(source);
        const TimeMs first = source.at(0).time;
        const TimeMs last = source.back().time;
        std::uniform_int_distribution<TimeMs> anyTime(first - 50, last + 50);
        for (int range = 0; range < 20; ++range) {
            // The first range starts before the first change kept.
            const TimeMs from = range == 0 ? first - 1 : anyTime(random);
            const TimeMs to = std::max(from, anyTime(random));
            for (int row = 0; row < rows.count(); ++row) {
                ASSERT_EQ(history::measureRow(copy, row, from, to),
                          countEveryChange(source, row, from, to))
                    << "seed " << seed << " row " << row << " [" << from << ", " << to << ")";
            }
        }
    }
}

}  // namespace
