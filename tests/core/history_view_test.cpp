// What part of the history a diagram shows (zoom around the pointer, pan,
// following the present, the scroll bar), the clock times of its axis, and
// the PNG file it is saved as.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/png_image.h"
#include "history/time_view.h"

namespace {

using history::ScrollState;
using history::Tick;
using history::TimeView;

constexpr history::TimeMs at093000 = 1714555800000;  // 2024/05/01 09:30:00
constexpr history::TimeMs at020000 = 1714615200000;  // 2024/05/02 02:00:00

TEST(HistoryView, ZoomKeepsThePointersTimeAndPanLeavesOrFollowsThePresent) {
    TimeView view(1000, 10);
    view.setSpan(1'000'000, 1'100'000);
    EXPECT_TRUE(view.following());
    EXPECT_DOUBLE_EQ(view.start(), 1'090'000);
    // Following, a zoom keeps the present at the right edge.
    view.zoom(2, 500);
    EXPECT_DOUBLE_EQ(view.msPerColumn(), 5);
    EXPECT_DOUBLE_EQ(view.start(), 1'095'000);
    view.pan(-100);
    EXPECT_FALSE(view.following());
    EXPECT_DOUBLE_EQ(view.start(), 1'094'500);
    view.zoom(2, 250);
    EXPECT_DOUBLE_EQ(view.timeAt(250), 1'095'750);
    EXPECT_DOUBLE_EQ(view.msPerColumn(), 2.5);
    // The present moves on; a view that does not follow stays.
    view.setSpan(1'000'000, 1'200'000);
    EXPECT_DOUBLE_EQ(view.start(), 1'095'125);
    view.pan(1e9);
    EXPECT_TRUE(view.following());
    EXPECT_DOUBLE_EQ(view.start(), 1'197'500);
    // Before the history's start the view does not go, unless the history
    // is shorter than the view.
    view.pan(-1e9);
    EXPECT_DOUBLE_EQ(view.start(), 1'000'000);
    // From a day to a hundredth of a millisecond per column... of 1000.
    view.zoom(1e-9, 0);
    EXPECT_DOUBLE_EQ(view.msPerColumn(), 86'400);
    EXPECT_DOUBLE_EQ(view.start(), 1'200'000 - 86'400'000);
    view.zoom(1e12, 0);
    EXPECT_DOUBLE_EQ(view.msPerColumn(), 0.01);
}

TEST(HistoryView, FitShowsARangeAndRevealBringsATimeIntoSight) {
    history::TimeView view(100, 10);
    view.setSpan(0, 100'000);
    view.fit(20'000, 30'000);
    EXPECT_FALSE(view.following());
    EXPECT_DOUBLE_EQ(view.start(), 20'000);
    EXPECT_DOUBLE_EQ(view.timeAt(100), 30'000);
    // Up to the end: the view follows the present from then on.
    view.fit(0, 100'000);
    EXPECT_TRUE(view.following());
    EXPECT_DOUBLE_EQ(view.start(), 0);
    // Narrower than the closest zoom: the range stands in the middle.
    view.fit(50'000, 50'000);
    EXPECT_DOUBLE_EQ(view.msPerColumn(), history::minMsPerColumn);
    EXPECT_DOUBLE_EQ(view.start() + 50 * history::minMsPerColumn, 50'000);

    view.fit(20'000, 30'000);
    view.reveal(25'000);
    EXPECT_DOUBLE_EQ(view.start(), 20'000);
    view.reveal(70'000);
    EXPECT_DOUBLE_EQ(view.start(), 65'000);
    EXPECT_FALSE(view.following());
}

TEST(HistoryView, ScrollBarCountsColumnsOrGroupsOfThem) {
    TimeView view(1000, 10);
    view.setSpan(1'000'000, 1'100'000);
    EXPECT_EQ(view.scroll(), (ScrollState{10'000, 1000, 9000}));
    view.scrollTo(0);
    EXPECT_FALSE(view.following());
    EXPECT_DOUBLE_EQ(view.start(), 1'000'000);
    view.scrollTo(4500);
    EXPECT_DOUBLE_EQ(view.start(), 1'045'000);
    view.scrollTo(9000);
    EXPECT_TRUE(view.following());

    // A day at a hundredth of a millisecond per column: 9 columns a unit.
    TimeView fine(1000, 0.01);
    fine.setSpan(0, history::day);
    EXPECT_EQ(fine.scroll(), (ScrollState{960'000'000, 111, 959'999'889}));
}

TEST(HistoryView, AxisCarriesRoundClockTimesThatFitTheZoom) {
    TimeView seconds(1000, 60);
    seconds.setSpan(at093000 - 100'000, at093000 + 55'000);
    EXPECT_EQ(history::axisTicks(seconds, 90), (std::vector<Tick>{{83, "09:30:00"},
                                                                  {250, "09:30:10"},
                                                                  {417, "09:30:20"},
                                                                  {583, "09:30:30"},
                                                                  {750, "09:30:40"},
                                                                  {917, "09:30:50"}}));

    TimeView hours(1000, 20'000);
    hours.setSpan(at020000 - 30'000'000, at020000);
    const auto ticks = history::axisTicks(hours, 90);
    ASSERT_EQ(ticks.size(), 11u);
    EXPECT_EQ(ticks[0], (Tick{10, "20:30"}));
    EXPECT_EQ(ticks[1], (Tick{100, "21:00"}));
    EXPECT_EQ(ticks[7], (Tick{640, "05/02"}));
    EXPECT_EQ(ticks[10], (Tick{910, "01:30"}));

    TimeView milliseconds(1000, 0.1);
    milliseconds.setSpan(at093000 - 1000, at093000 + 95);
    EXPECT_EQ(history::axisTicks(milliseconds, 90).front(), (Tick{50, "09:30:00.000"}));
    EXPECT_EQ(history::axisTicks(milliseconds, 90).back(), (Tick{950, "09:30:00.090"}));
}

TEST(HistoryPng, ImageIsAPngOfStoredBlocksWithItsCheckValues) {
    EXPECT_EQ(history::crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(history::adler32("Wikipedia"), 0x11E60398u);

    const std::uint32_t red = 0x0000FF;
    const std::uint32_t blue = 0xFF0000;
    const std::uint32_t pixels[] = {red, blue};
    const std::string expected(
        "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00"
        "\x00\x01\x08\x02\x00\x00\x00\x7b\x40\xe8\xdd\x00\x00\x00\x12\x49\x44\x41\x54\x78\x01\x01"
        "\x07\x00\xf8\xff\x00\xff\x00\x00\x00\x00\xff\x07\x00\x01\xff\x55\x36\xba\xc7\x00\x00\x00"
        "\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
        75);
    EXPECT_EQ(history::encodePng(2, 1, pixels), expected);

    // One row of 21846 pixels is 65539 bytes: a full stored block, then a
    // last one of 4 bytes.
    const std::vector<std::uint32_t> wide(21846, red);
    const std::string png = history::encodePng(21846, 1, wide);
    const std::size_t zlib = 8 + 25 + 8;
    EXPECT_EQ(png.substr(zlib, 7), std::string("\x78\x01\x00\xff\xff\x00\x00", 7));
    EXPECT_EQ(png.substr(zlib + 7 + 65535, 5), std::string("\x01\x04\x00\xfb\xff", 5));
}

}  // namespace
