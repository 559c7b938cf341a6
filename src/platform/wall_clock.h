// The local wall clock: what a clock on the wall of the machine's time zone
// shows, in milliseconds since 1970-01-01 00:00 of that clock. The log's
// timestamps are written in it, and the signal history keeps its times in it.
#pragma once

#include <cstdint>

namespace wallclock {

// Safe from any thread; the time zone is looked up once an hour per thread.
std::int64_t localNowMs();

}  // namespace wallclock
