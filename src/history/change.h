// One change of the signals as the history keeps it: when it happened, who
// made it, and the state of every row after it. Rows are the inputs in
// order, then the outputs.
#pragma once

#include <cstdint>

namespace history {

// Milliseconds since 1970-01-01 00:00 on the local wall clock (no time
// zone): the clock the log's timestamps are written in.
using TimeMs = std::int64_t;

// One bit per row, bit 0 for input 1.
using RowMask = std::uint8_t;
inline constexpr int maxRows = 7;

// Where a change came from: a device's address (network byte order) and the
// listening port it reached; address 0 is the program itself (the server
// button, an ON/OFF button). Port 0: not known, as in a log.
struct Source {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Source&) const = default;
};

// 16 bytes, so that a million changes take 16 MB. What a change altered is
// not stored: it is the difference to the change before.
struct Change {
    TimeMs time = 0;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    RowMask on = 0;            // the rows that are on after the change
    std::uint8_t stopped = 0;  // 1: the server is stopped, the input rows are grey

    Source source() const { return {address, port}; }
    bool operator==(const Change&) const = default;
};
static_assert(sizeof(Change) == 16);

// How many rows of each kind a history has.
struct RowSet {
    int inputs = 0;
    int outputs = 0;
    int count() const { return inputs + outputs; }
    RowMask all() const { return static_cast<RowMask>((1u << count()) - 1u); }
    RowMask inputMask() const { return static_cast<RowMask>((1u << inputs) - 1u); }
    bool operator==(const RowSet&) const = default;
};

// The rows as they are drawn: on (a red band), off (a line), or grey (an
// input while the server is stopped).
struct RowStates {
    RowMask on = 0;
    RowMask off = 0;
    RowMask grey = 0;
    bool operator==(const RowStates&) const = default;
};

inline RowStates statesOf(const Change& change, RowSet rows) {
    const RowMask grey = change.stopped != 0 ? rows.inputMask() : RowMask{0};
    const auto on = static_cast<RowMask>(change.on & rows.all() & ~grey);
    const auto off = static_cast<RowMask>(rows.all() & ~on & ~grey);
    return {on, off, grey};
}

// The rows whose drawn state differs between two changes.
inline RowMask changedRows(const Change& before, const Change& after, RowSet rows) {
    const RowStates a = statesOf(before, rows);
    const RowStates b = statesOf(after, rows);
    return static_cast<RowMask>((a.on ^ b.on) | (a.grey ^ b.grey));
}

}  // namespace history
