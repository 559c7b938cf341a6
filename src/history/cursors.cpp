#include "history/cursors.h"

#include <algorithm>

#include "history/cursor_snap.h"

namespace history {

void Cursors::place(Which which, const Timeline& timeline, TimeMs pointer, int row,
                    double msPerColumn) {
    cursor(which) = snapCursor(timeline, pointer, row, msPerColumn);
    row_ = row;
}

bool Cursors::step(Which which, const Timeline& timeline, bool forward, TimeRange view) {
    std::optional<TimeMs>& placed = cursor(which);
    const auto mask = static_cast<RowMask>(1u << row_);
    // From outside the view's edge, so that a change on the edge is found.
    const TimeMs from = placed ? *placed : forward ? view.from - 1 : view.to + 1;
    const auto index =
        forward ? timeline.nextChange(from, mask) : timeline.previousChange(from, mask);
    if (!index) return false;
    placed = timeline.at(*index).time;
    return true;
}

void Cursors::chooseRow(int delta, int rows) {
    row_ = std::clamp(row_ + delta, 0, std::max(0, rows - 1));
}

void Cursors::clear() {
    a_.reset();
    b_.reset();
}

std::optional<TimeRange> Cursors::between() const {
    if (!a_ || !b_) return std::nullopt;
    return TimeRange{std::min(*a_, *b_), std::max(*a_, *b_)};
}

TimeRange Cursors::measured(TimeRange view) const {
    const std::optional<TimeRange> range = between();
    if (!range) return view;
    return {range->from, range->to + 1};
}

}  // namespace history
