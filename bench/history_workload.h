// The histories the history benchmarks draw and read: changes of a Kelvane
// spread over a day from four devices, and a Kelvane log of a given size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "history/timeline.h"
#include "window/history_diagram.h"

namespace bench {

// count changes over the day before end, each of one random input or
// output, from one of four devices on four ports; the same every run.
history::Timeline dayOfChanges(std::size_t count, history::TimeMs end);

// A Kelvane log of about bytes bytes (CP932, CR LF), with a header line
// every 100,000 lines and lines of four devices; returns the lines written.
std::uint64_t writeLog(const std::string& path, std::uint64_t bytes);

// Times 41 repaints of each diagram the history benchmarks draw (10,000 and
// 1,000,000 changes over a day, at zooms from a day to 10 ms across 1000
// columns, 1150 x 240 px) and prints the median and the worst of each.
// repaint draws the content once and returns its time in milliseconds; it
// may name what else it saw in note.
using Repaint = std::function<double(const DiagramContent& content, std::string& note)>;
void timeRepaints(const Repaint& repaint);

// Milliseconds since an arbitrary start, for timing.
double nowMs();
// The local wall clock, as the program's history reads it.
history::TimeMs nowMsWallClock();

}  // namespace bench
