// The histories the history benchmarks draw and read: changes of a Kelvane
// spread over a day from four devices, and a Kelvane log of a given size.
#pragma once

#include <cstdint>
#include <string>

#include "history/timeline.h"

namespace bench {

// count changes over the day before end, each of one random input or
// output, from one of four devices on four ports; the same every run.
history::Timeline dayOfChanges(std::size_t count, history::TimeMs end);

// A Kelvane log of about bytes bytes (CP932, CR LF), with a header line
// every 100,000 lines and lines of four devices; returns the lines written.
std::uint64_t writeLog(const std::string& path, std::uint64_t bytes);

// Milliseconds since an arbitrary start, for timing.
double nowMs();
// The local wall clock, as the program's history reads it.
history::TimeMs nowMsWallClock();

}  // namespace bench
