// What one row did over a stretch of the history: its changes, rises, time
// on and time known, and its complete ON pulses. A tally is built one change
// at a time and joined to the tally of the stretch that follows, so that a
// chunk of the timeline keeps one per row and a range is measured from the
// tallies of its whole chunks and the changes at its edges.
#pragma once

#include <cstdint>
#include <optional>

#include "history/change.h"

namespace history {

// None: before the first change kept, when nothing is known. Grey: an input
// while the server is stopped.
enum class RowState : std::uint8_t { None, Off, On, Grey };

RowState rowStateOf(const Change& change, RowSet rows, int row);

class RowTally {
public:
    RowTally() = default;
    RowTally(TimeMs start, RowState state) : start_(start), until_(start), state_(state) {}

    // The row takes state at time; a state it already has is no change.
    void step(TimeMs time, RowState next);
    // later starts at or after until() in state(), as the next chunk does.
    void join(const RowTally& later);
    // Time passes to end in the state the row has.
    void advanceTo(TimeMs end);

    TimeMs start() const { return start_; }
    TimeMs until() const { return until_; }
    RowState state() const { return state_; }
    std::uint32_t changes() const { return changes_; }
    std::uint32_t rises() const { return rises_; }
    TimeMs onMs() const { return onMs_; }
    TimeMs knownMs() const { return knownMs_; }
    std::uint32_t pulses() const { return pulses_; }
    // Meaningful once pulses() or rises() is above 0.
    TimeMs shortestPulse() const { return shortestPulse_; }
    TimeMs longestPulse() const { return longestPulse_; }
    TimeMs firstRise() const { return firstRise_; }
    TimeMs lastRise() const { return lastRise_; }

private:
    void pass(TimeMs duration);
    void pulse(TimeMs length);

    // Every chunk keeps one for each row: the figures are plain numbers
    // whose counts say whether they hold anything.
    TimeMs start_ = 0;
    TimeMs until_ = 0;
    RowState state_ = RowState::None;
    std::uint32_t changes_ = 0;
    std::uint32_t rises_ = 0;
    std::uint32_t pulses_ = 0;
    TimeMs onMs_ = 0;
    TimeMs knownMs_ = 0;
    TimeMs shortestPulse_ = 0;
    TimeMs longestPulse_ = 0;
    TimeMs firstRise_ = 0;
    TimeMs lastRise_ = 0;
    // The rise of a pulse still on, when it lies in the tally.
    std::optional<TimeMs> openRise_;
    // A fall that ends a pulse risen before the tally began: the tally
    // before completes that pulse when it is joined to this one.
    std::optional<TimeMs> fallOfEarlierRise_;
};

}  // namespace history
