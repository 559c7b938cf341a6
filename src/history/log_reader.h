// Reads the CSV event log of either program, as it was written (Shift_JIS
// text, a header line wherever the names changed, lines of several
// devices) or as it is being written: bytes come in any pieces, and a line
// counts once its line end has come. Lines that are not the log's are
// counted and skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/timeline.h"

namespace history {

// The names the programs give their signals until they are edited: DI1,
// DI2, ..., then DO1, DO2, ...
std::vector<std::string> defaultNames(RowSet rows);

// The signal names of a header line, in force from the first data line
// after it.
struct NamesInForce {
    TimeMs from = 0;
    std::vector<std::string> names;  // CP932, one per row
    bool operator==(const NamesInForce&) const = default;
};

class LogReader {
public:
    void feed(std::string_view bytes);

    // The rows are known from the first data line on: 5 inputs (Sorrel's
    // log) or 3 inputs and 3 outputs (Kelvane's).
    const std::optional<Timeline>& timeline() const { return timeline_; }
    const std::vector<NamesInForce>& names() const { return names_; }
    std::uint64_t lines() const { return lines_; }
    std::uint64_t skipped() const { return skipped_; }

private:
    void readLine(std::string_view line);
    bool readDataLine(std::string_view line);
    void startTimeline(int signalCount);

    std::optional<Timeline> timeline_;
    int signalCount_ = 0;
    std::vector<NamesInForce> names_;
    std::optional<std::vector<std::string>> pendingHeader_;
    std::string partial_;
    bool overlong_ = false;
    std::uint64_t lines_ = 0;
    std::uint64_t skipped_ = 0;
};

// The names of a header's fields after its three titles. A name may hold
// commas, so fields can outnumber the rows: they are joined into names of at
// most 20 bytes (the name fields' limit), as many as possible equal to the
// names in force before.
std::vector<std::string> namesOfHeader(const std::vector<std::string>& fields,
                                       const std::vector<std::string>& before);

}  // namespace history
