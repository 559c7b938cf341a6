#include "history/row_tally.h"

#include <algorithm>

namespace history {

RowState rowStateOf(const Change& change, RowSet rows, int row) {
    const RowStates states = statesOf(change, rows);
    const auto bit = static_cast<RowMask>(1u << row);
    if ((states.grey & bit) != 0) return RowState::Grey;
    return (states.on & bit) != 0 ? RowState::On : RowState::Off;
}

void RowTally::pass(TimeMs duration) {
    if (state_ == RowState::On) onMs_ += duration;
    if (state_ == RowState::On || state_ == RowState::Off) knownMs_ += duration;
}

void RowTally::pulse(TimeMs length) {
    shortestPulse_ = pulses_ == 0 ? length : std::min(shortestPulse_, length);
    longestPulse_ = pulses_ == 0 ? length : std::max(longestPulse_, length);
    ++pulses_;
}

void RowTally::advanceTo(TimeMs end) {
    if (end <= until_) return;
    pass(end - until_);
    until_ = end;
}

void RowTally::step(TimeMs time, RowState next) {
    advanceTo(time);
    if (next == state_) return;
    // The first change kept is where the row begins, not a change of it.
    if (state_ != RowState::None) ++changes_;
    if (state_ == RowState::Off && next == RowState::On) {
        if (rises_ == 0) firstRise_ = time;
        ++rises_;
        lastRise_ = time;
        openRise_ = time;
    } else if (state_ == RowState::On && next == RowState::Off) {
        if (openRise_) {
            pulse(time - *openRise_);
        } else if (changes_ == 1) {
            fallOfEarlierRise_ = time;
        }
    }
    // A pulse that turns grey has no known end.
    if (next != RowState::On) openRise_.reset();
    state_ = next;
}

void RowTally::join(const RowTally& later) {
    advanceTo(later.start_);
    onMs_ += later.onMs_;
    knownMs_ += later.knownMs_;
    if (openRise_ && later.fallOfEarlierRise_) pulse(*later.fallOfEarlierRise_ - *openRise_);
    if (later.pulses_ > 0) {
        const std::uint32_t before = pulses_;
        pulse(later.shortestPulse_);
        pulse(later.longestPulse_);
        pulses_ = before + later.pulses_;
    }
    if (later.rises_ > 0) {
        if (rises_ == 0) firstRise_ = later.firstRise_;
        lastRise_ = later.lastRise_;
    }
    if (later.changes_ > 0) openRise_ = later.openRise_;
    changes_ += later.changes_;
    rises_ += later.rises_;
    until_ = std::max(until_, later.until_);
    state_ = later.state_;
}

}  // namespace history
