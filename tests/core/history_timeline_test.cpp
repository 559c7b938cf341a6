// The signal history as pure code: changes kept in time order, their
// reduction to pixel columns at several zooms, the nearest change, the
// filter by port or device, the bound of the live history and its copy.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "history/recorder.h"
#include "history/timeline.h"

namespace {

using history::Change;
using history::Column;
using history::RowSet;
using history::Timeline;

constexpr RowSet kelvaneRows{3, 3};
// Two devices, each on a port of its own.
constexpr std::uint32_t deviceA = 0x0A00A8C0;  // 192.168.0.10 in network byte order
constexpr std::uint32_t deviceB = 0x0B00A8C0;  // 192.168.0.11

Change change(history::TimeMs time, std::uint8_t on, bool stopped = false,
              std::uint32_t address = 0, std::uint16_t port = 0) {
    Change c;
    c.time = time;
    c.on = on;
    c.stopped = stopped ? 1 : 0;
    c.address = address;
    c.port = port;
    return c;
}

Column col(std::uint8_t on, std::uint8_t off, std::uint8_t grey) {
    return {{on, off, grey}, true};
}

// Start-up (stopped), the server starts, input 2 goes on and off, output 1
// goes on, the server stops.
Timeline kelvaneScenario() {
    Timeline timeline(kelvaneRows);
    timeline.append(change(0, 0, true));
    timeline.append(change(1000, 0));
    timeline.append(change(2000, 0b000010, false, deviceA, 10003));
    timeline.append(change(2500, 0b000000, false, deviceA, 10003));
    timeline.append(change(4000, 0b001000));
    timeline.append(change(6000, 0b001000, true));
    return timeline;
}

TEST(HistoryTimeline, ColumnsShowWhatEachRowDidAtSeveralZooms) {
    const Timeline timeline = kelvaneScenario();
    ASSERT_EQ(timeline.size(), 6u);

    // One second per column.
    EXPECT_EQ(
        timeline.columns(0, 1000, 8),
        (std::vector<Column>{
            col(0, 0b111000, 0b000111), col(0, 0b111111, 0b000111), col(0b000010, 0b111111, 0),
            col(0, 0b111111, 0), col(0b001000, 0b111111, 0), col(0b001000, 0b110111, 0),
            col(0b001000, 0b110111, 0b000111), col(0b001000, 0b110000, 0b000111)}));
    // Four seconds per column: the pulse of input 2 and every grey spell
    // still show.
    EXPECT_EQ(timeline.columns(0, 4000, 2),
              (std::vector<Column>{col(0b000010, 0b111111, 0b000111),
                                   col(0b001000, 0b111111, 0b000111)}));
    // 50 ms per column around the end of the pulse.
    EXPECT_EQ(timeline.columns(2400, 50, 4),
              (std::vector<Column>{col(0b000010, 0b111101, 0), col(0b000010, 0b111101, 0),
                                   col(0b000010, 0b111111, 0), col(0, 0b111111, 0)}));
    // A column ending on a change does not see it; nothing before start-up.
    EXPECT_EQ(timeline.columns(-2000, 1000, 3),
              (std::vector<Column>{Column{}, Column{}, col(0, 0b111000, 0b000111)}));
    // Half a millisecond per column: a change falls into one column only.
    EXPECT_EQ(timeline.columns(1999.25, 0.5, 3),
              (std::vector<Column>{col(0, 0b111111, 0), col(0b000010, 0b111111, 0),
                                   col(0b000010, 0b111101, 0)}));
}

TEST(HistoryTimeline, ColumnsSpanningManyChunksSeeEveryStateAndTheOneLeftInForce) {
    Timeline timeline(RowSet{5, 0});
    // 1000 changes of input 1, on at even milliseconds, in four chunks;
    // input 3 is on inside the second chunk only.
    for (int i = 0; i < 1000; ++i) {
        const int input3 = i >= 300 && i < 400 ? 0b100 : 0;
        timeline.append(change(10 + i, static_cast<std::uint8_t>((i % 2 == 0 ? 1 : 0) | input3)));
    }
    timeline.append(change(5000, 0b10000));
    EXPECT_EQ(timeline.columns(0, 2000, 3),
              (std::vector<Column>{col(0b00101, 0b11111, 0), col(0, 0b11111, 0),
                                   col(0b10000, 0b11111, 0)}));
    // Columns that start inside a chunk and end inside the next.
    EXPECT_EQ(timeline.columns(300, 200, 2),
              (std::vector<Column>{col(0b00101, 0b11111, 0), col(0b00001, 0b11111, 0)}));
    EXPECT_EQ(timeline.columns(1009.5, 1, 1), (std::vector<Column>{col(0, 0b11111, 0)}));
}

TEST(HistoryTimeline, NearestChangeOfARowSkipsTheOthers) {
    const Timeline timeline = kelvaneScenario();
    const auto timeOf = [&](history::TimeMs t, std::uint8_t rows) {
        const auto index = timeline.nearestChange(t, rows);
        return index ? timeline.at(*index).time : -1;
    };
    EXPECT_EQ(timeOf(2300, 0b000010), 2500);
    EXPECT_EQ(timeOf(2200, 0b000010), 2000);
    EXPECT_EQ(timeOf(2250, 0b000010), 2000);  // halfway: the earlier
    EXPECT_EQ(timeOf(9000, 0b000010), 6000);  // the stop greys the inputs
    EXPECT_EQ(timeOf(3000, 0b001000), 4000);
    EXPECT_EQ(timeOf(-50, 0b100000), 0);  // start-up is where every row begins
    EXPECT_EQ(timeline.at(*timeline.nearestChange(2300, 0b000010)).address, deviceA);

    Timeline busy(RowSet{5, 0});
    for (int i = 0; i < 2000; ++i) busy.append(change(i, i % 2 == 0 ? 1 : 0));
    busy.append(change(3000, 0b10001));
    EXPECT_EQ(busy.at(*busy.nearestChange(2500, 0b10000)).time, 3000);
    EXPECT_EQ(busy.at(*busy.nearestChange(10000, 0b00110)).time, 0);
}

TEST(HistoryTimeline, FilterShowsWhatOnePortOrDeviceDid) {
    Timeline all(kelvaneRows);
    all.append(change(0, 0, true));
    all.append(change(50, 0));
    all.append(change(100, 0b001, false, deviceA, 10003));
    all.append(change(200, 0b011, false, deviceB, 10004));
    all.append(change(300, 0b010, false, deviceA, 10003));
    all.append(change(400, 0b011, false, deviceB, 10004));
    all.append(change(500, 0b011, true));
    const auto statesAt = [](const Timeline& timeline, std::vector<history::TimeMs> times) {
        std::vector<Column> states;
        for (const auto t : times)
            states.push_back(timeline.columns(static_cast<double>(t), 1, 1)[0]);
        return states;
    };

    history::FilteredTimeline onlyA(kelvaneRows, {history::Filter::Kind::Address, 0, deviceA});
    onlyA.update(all);
    // Device B's input 2 never shows, nor its later switching of input 1.
    EXPECT_EQ(
        statesAt(onlyA.timeline(), {150, 250, 350, 450, 550}),
        (std::vector<Column>{col(0b001, 0b111110, 0), col(0b001, 0b111110, 0), col(0, 0b111111, 0),
                             col(0, 0b111111, 0), col(0, 0b111000, 0b000111)}));

    history::FilteredTimeline port10004(kelvaneRows, {history::Filter::Kind::Port, 10004, 0});
    port10004.update(all);
    EXPECT_EQ(
        statesAt(port10004.timeline(), {150, 250, 350, 450, 550}),
        (std::vector<Column>{col(0, 0b111111, 0), col(0b010, 0b111101, 0), col(0b010, 0b111101, 0),
                             col(0b011, 0b111100, 0), col(0, 0b111000, 0b000111)}));

    // Later changes come in where the update left off.
    all.append(change(700, 0b000, false));
    all.append(change(800, 0b100, false, deviceA, 10003));
    onlyA.update(all);
    EXPECT_EQ(onlyA.timeline().back(), change(800, 0b100, false, deviceA, 10003));
    EXPECT_EQ(onlyA.timeline().size(), 7u);
}

TEST(HistoryTimeline, BoundDropsTheOldestWholeChunks) {
    Timeline byCount(RowSet{5, 0}, history::Bound{512, 1'000'000});
    for (int i = 0; i < 1000; ++i) byCount.append(change(i, i % 2 == 0 ? 1 : 0));
    EXPECT_EQ(byCount.size(), 744u);
    EXPECT_EQ(byCount.firstSequence(), 256u);
    EXPECT_EQ(byCount.at(0).time, 256);
    EXPECT_EQ(byCount.appendedCount(), 1000u);
    // What went is unknown now: nothing is drawn before the first change kept.
    EXPECT_EQ(byCount.columns(0, 256, 1), (std::vector<Column>{Column{}}));

    // One change a minute for 2000 minutes: at least the last 24 hours stay.
    Timeline byAge(RowSet{5, 0}, history::Bound{});
    for (int i = 0; i < 2000; ++i) byAge.append(change(i * 60'000LL, i % 2 == 0 ? 1 : 0));
    EXPECT_EQ(byAge.size(), 1744u);
    EXPECT_EQ(byAge.at(0).time, 256 * 60'000LL);

    // A million changes in a few seconds: at least a million stay.
    Timeline live(RowSet{5, 0}, history::Bound{});
    for (int i = 0; i < 1'000'600; ++i) live.append(change(i / 100, i % 2 == 0 ? 1 : 0));
    EXPECT_EQ(live.size(), 1'000'344u);
    EXPECT_EQ(live.at(0).time, 2);
}

TEST(HistoryRecorder, KeepsEveryChangeInTheOrderMadeAndCopiesItForTheWindow) {
    history::TimeMs now = 1000;
    history::Recorder recorder(
        kelvaneRows, [&] { return now; }, history::Bound{512, 1'000'000'000});
    std::uint8_t inputs = 0;
    now = 1500;
    recorder.serverStarted();
    now = 2000;
    recorder.change({deviceA, 10003}, [&] {
        inputs = 0b101;
        return history::RowWrite{0b111, inputs};
    });
    now = 2100;
    // A frame that writes what is already there is no change.
    recorder.change({deviceA, 10003}, [&] { return history::RowWrite{0b001, 0b001}; });
    now = 3000;
    recorder.serverStopped();
    // Inputs cleared while stopped show nothing, but are off after a start.
    recorder.change({}, [&] { return history::RowWrite{0b111, 0}; });
    now = 4000;
    recorder.serverStarted();

    Timeline copy(RowSet{0, 0});
    recorder.copyTo(copy);
    ASSERT_EQ(copy.size(), 5u);
    EXPECT_EQ(copy.at(0), change(1000, 0, true));
    EXPECT_EQ(copy.at(1), change(1500, 0));
    EXPECT_EQ(copy.at(2), change(2000, 0b101, false, deviceA, 10003));
    EXPECT_EQ(copy.at(3), change(3000, 0b101, true));
    EXPECT_EQ(copy.at(4), change(4000, 0, false));

    // The copy follows the recorder across full chunks and dropped ones.
    for (int i = 0; i < 1200; ++i) {
        now = 5000 + i;
        recorder.change({deviceB, 10004}, [&] {
            return history::RowWrite{0b010, static_cast<std::uint8_t>(i % 2 == 0 ? 0b010 : 0)};
        });
        if (i == 300 || i == 301 || i == 900) recorder.copyTo(copy);
    }
    recorder.copyTo(copy);
    EXPECT_EQ(copy.appendedCount(), 1205u);
    EXPECT_EQ(copy.firstSequence(), 512u);
    EXPECT_EQ(copy.size(), 693u);
    EXPECT_EQ(copy.at(0).time, 5000 + 507);
    EXPECT_EQ(copy.back(), change(6199, 0b000, false, deviceB, 10004));
}

TEST(HistoryRecorder, ThreadsChangingAtOnceLoseNoChange) {
    std::atomic<history::TimeMs> clock{0};
    history::Recorder recorder(RowSet{4, 0}, [&] { return clock.fetch_add(1); });
    recorder.serverStarted();
    std::array<std::atomic<int>, 4> inputOn{};
    std::vector<std::thread> devices;
    for (int row = 0; row < 4; ++row) {
        devices.emplace_back([&, row] {
            for (int i = 0; i < 5000; ++i) {
                recorder.change({deviceA, static_cast<std::uint16_t>(10003 + row)}, [&] {
                    const int value = inputOn[static_cast<std::size_t>(row)].load() == 0 ? 1 : 0;
                    inputOn[static_cast<std::size_t>(row)].store(value);
                    return history::RowWrite{static_cast<std::uint8_t>(1u << row),
                                             static_cast<std::uint8_t>(value << row)};
                });
            }
        });
    }
    for (auto& device : devices) device.join();
    Timeline copy(RowSet{0, 0});
    recorder.copyTo(copy);
    EXPECT_EQ(copy.size(), 2u + 4 * 5000);
    // Every change alters exactly one row, each port its own.
    for (std::size_t i = 2; i < copy.size(); ++i) {
        ASSERT_EQ(copy.changedAt(i), 1u << (copy.at(i).port - 10003)) << "change " << i;
    }
}

}  // namespace
