// What part of the history a diagram shows: where its left edge stands in
// time and how many milliseconds a pixel column spans, how zoom, pan and
// the scroll bar move it, and the clock times its axis carries.
#pragma once

#include <string>
#include <vector>

#include "history/change.h"

namespace history {

// From milliseconds to a day across the diagram.
inline constexpr double minMsPerColumn = 0.01;
inline constexpr TimeMs day = 24LL * 60 * 60 * 1000;

// A scroll bar's range, page and position, scaled down when the history
// holds more columns than the bar can count.
struct ScrollState {
    int max = 0;
    int page = 1;
    int pos = 0;
    bool operator==(const ScrollState&) const = default;
};

class TimeView {
public:
    TimeView(int columns, double msPerColumn);

    double start() const { return start_; }
    double msPerColumn() const { return msPerColumn_; }
    int columns() const { return columns_; }
    bool following() const { return following_; }
    double timeAt(double column) const { return start_ + column * msPerColumn_; }
    double columnOf(double time) const { return (time - start_) / msPerColumn_; }

    // The history spans first to last (the present, while live). A view
    // that follows keeps last at its right edge; any view stays on the
    // history when it spans more than the view.
    void setSpan(TimeMs first, TimeMs last);
    void setColumns(int columns);
    // factor > 1 zooms in; the time under column stays where it is, except
    // that a view following the present keeps following it.
    void zoom(double factor, double column);
    // By columns; positive goes later. Reaching the present follows it.
    void pan(double columns);
    void showLatest();
    // The view spans from to to (as far as its zoom goes); it follows the
    // present when to reaches the history's end.
    void fit(double from, double to);
    // A time outside the view comes to its middle; one inside stays put.
    void reveal(double time);

    ScrollState scroll() const;
    void scrollTo(int pos);

private:
    double viewSpan() const { return msPerColumn_ * columns_; }
    double maxMsPerColumn() const;
    void clamp();

    int columns_;
    double msPerColumn_;
    double start_ = 0;
    bool following_ = true;
    TimeMs first_ = 0;
    TimeMs last_ = 0;
};

// A clock time on the axis, at column x.
struct Tick {
    int x = 0;
    std::string label;
    bool operator==(const Tick&) const = default;
};

// Ticks at round clock times (1, 2, 5 ms ... 1 h, 3 h ... 1 day), no closer
// than minSpacing columns; labels "09:30:05.120", "09:30:05", "09:30" or,
// at midnight and for steps of days, the date "05/01".
std::vector<Tick> axisTicks(const TimeView& view, int minSpacing);

}  // namespace history
