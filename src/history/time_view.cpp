#include "history/time_view.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "history/wall_clock.h"

namespace history {

namespace {

// The scroll bar counts in int; past this, a unit is several columns.
constexpr double maxScrollUnits = 1e9;

constexpr std::array<TimeMs, 29> tickSteps = {
    1,       2,       5,       10,       20,       50,       100,    200,     500,    1000,
    2000,    5000,    10000,   15000,    30000,    60000,    120000, 300000,  600000, 900000,
    1800000, 3600000, 7200000, 10800000, 21600000, 43200000, day,    2 * day, 7 * day};

std::string tickLabel(TimeMs time, TimeMs step) {
    const WallTime t = toWallTime(time);
    std::array<char, 32> text{};
    if (step >= day || (step >= 60000 && t.hour == 0 && t.minute == 0)) {
        std::snprintf(text.data(), text.size(), "%02d/%02d", t.month, t.day);
    } else if (step >= 60000) {
        std::snprintf(text.data(), text.size(), "%02d:%02d", t.hour, t.minute);
    } else if (step >= 1000) {
        std::snprintf(text.data(), text.size(), "%02d:%02d:%02d", t.hour, t.minute, t.second);
    } else {
        std::snprintf(text.data(), text.size(), "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second,
                      t.millisecond);
    }
    return text.data();
}

}  // namespace

TimeView::TimeView(int columns, double msPerColumn)
    : columns_(std::max(columns, 1)), msPerColumn_(msPerColumn) {
    clamp();
}

double TimeView::maxMsPerColumn() const {
    const double span = std::max(static_cast<double>(day), static_cast<double>(last_ - first_));
    return span / columns_;
}

void TimeView::clamp() {
    msPerColumn_ =
        std::clamp(msPerColumn_, minMsPerColumn, std::max(minMsPerColumn, maxMsPerColumn()));
    const double latestStart = static_cast<double>(last_) - viewSpan();
    if (following_ || start_ >= latestStart) {
        start_ = latestStart;
        following_ = true;
        return;
    }
    // A history shorter than the view stands at its right end.
    start_ = std::max(start_, std::min(static_cast<double>(first_), latestStart));
}

void TimeView::setSpan(TimeMs first, TimeMs last) {
    first_ = first;
    last_ = std::max(first, last);
    clamp();
}

void TimeView::setColumns(int columns) {
    columns_ = std::max(columns, 1);
    clamp();
}

void TimeView::zoom(double factor, double column) {
    const double anchor = timeAt(column);
    msPerColumn_ /= factor;
    msPerColumn_ =
        std::clamp(msPerColumn_, minMsPerColumn, std::max(minMsPerColumn, maxMsPerColumn()));
    if (!following_) start_ = anchor - column * msPerColumn_;
    clamp();
}

void TimeView::pan(double columns) {
    if (columns < 0) following_ = false;
    start_ += columns * msPerColumn_;
    clamp();
}

void TimeView::showLatest() {
    following_ = true;
    clamp();
}

void TimeView::fit(double from, double to) {
    msPerColumn_ = std::max(to - from, 0.0) / columns_;
    start_ = from;
    following_ = to >= static_cast<double>(last_);
    clamp();
    // Zoomed in as far as it goes, the range stands in the middle.
    if (!following_ && viewSpan() > to - from) {
        start_ = (from + to - viewSpan()) / 2;
        clamp();
    }
}

void TimeView::reveal(double time) {
    if (time >= start_ && time < timeAt(columns_)) return;
    following_ = false;
    start_ = time - viewSpan() / 2;
    clamp();
}

ScrollState TimeView::scroll() const {
    const double first = std::min(static_cast<double>(first_), start_);
    const double total = (static_cast<double>(last_) - first) / msPerColumn_;
    const double unit = std::max(1.0, std::ceil(total / maxScrollUnits));
    ScrollState state;
    state.max = static_cast<int>(std::ceil(total / unit));
    state.page = std::max(1, static_cast<int>(columns_ / unit));
    state.pos = std::clamp(static_cast<int>(std::lround((start_ - first) / msPerColumn_ / unit)), 0,
                           std::max(0, state.max - state.page));
    return state;
}

void TimeView::scrollTo(int pos) {
    const ScrollState state = scroll();
    const double first = std::min(static_cast<double>(first_), start_);
    const double total = (static_cast<double>(last_) - first) / msPerColumn_;
    const double unit = std::max(1.0, std::ceil(total / maxScrollUnits));
    following_ = pos >= state.max - state.page;
    start_ = first + pos * unit * msPerColumn_;
    clamp();
}

std::vector<Tick> axisTicks(const TimeView& view, int minSpacing) {
    const double wanted = std::max(1, minSpacing) * view.msPerColumn();
    TimeMs step = tickSteps.back();
    for (const TimeMs candidate : tickSteps) {
        if (static_cast<double>(candidate) >= wanted) {
            step = candidate;
            break;
        }
    }
    std::vector<Tick> ticks;
    const double end = view.timeAt(view.columns());
    for (auto time =
             static_cast<TimeMs>(std::ceil(view.start() / static_cast<double>(step))) * step;
         static_cast<double>(time) < end; time += step) {
        const int x = static_cast<int>(std::lround(view.columnOf(static_cast<double>(time))));
        ticks.push_back({x, tickLabel(time, step)});
    }
    return ticks;
}

}  // namespace history
