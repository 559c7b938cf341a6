// The two cursors of the history window and the row its keys move them
// along: where a click or a key puts each, and the range the measurements
// are taken over.
#pragma once

#include <optional>

#include "history/timeline.h"

namespace history {

// A span of time, from <= to; which ends belong to it, its user says.
struct TimeRange {
    TimeMs from = 0;
    TimeMs to = 0;
    bool operator==(const TimeRange&) const = default;
};

class Cursors {
public:
    enum class Which { A, B };

    std::optional<TimeMs> a() const { return a_; }
    std::optional<TimeMs> b() const { return b_; }
    std::optional<TimeMs> at(Which which) const { return which == Which::A ? a_ : b_; }
    int row() const { return row_; }

    // At the pointer's time, or on the change of row within reach of it.
    void place(Which which, const Timeline& timeline, TimeMs pointer, int row, double msPerColumn);
    // To the row's next (or previous) change from where the cursor stands;
    // a cursor not placed starts from the view's left (or right) edge. False,
    // and left where it was, when the row has no change that way.
    bool step(Which which, const Timeline& timeline, bool forward, TimeRange view);
    // Up and Down: the row moves by delta within rows.
    void chooseRow(int delta, int rows);
    void clear();

    // From the earlier cursor to the later, when both are placed.
    std::optional<TimeRange> between() const;
    // What the measurements cover, as [from, to): the cursors' range with
    // both cursors' own times in it, so that a pulse between a cursor on its
    // rise and one on its fall is whole; else the view.
    TimeRange measured(TimeRange view) const;

private:
    std::optional<TimeMs>& cursor(Which which) { return which == Which::A ? a_ : b_; }

    std::optional<TimeMs> a_;
    std::optional<TimeMs> b_;
    int row_ = 0;
};

}  // namespace history
