#include <windows.h>

#include <limits>

#include "platform/wall_clock.h"

namespace wallclock {

namespace {

constexpr std::int64_t msPerHour = 3'600'000;
// From 1601-01-01 (the file time's start) to 1970-01-01.
constexpr std::int64_t msFrom1601To1970 = 11'644'473'600'000;

std::int64_t msOf(const FILETIME& time) {
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return ticks / 10'000 - msFrom1601To1970;
}

}  // namespace

std::int64_t localNowMs() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::int64_t utc = msOf(now);
    // Offsets change on the hour only, in every zone that has them.
    thread_local std::int64_t hourStart = std::numeric_limits<std::int64_t>::min();
    thread_local std::int64_t offset = 0;
    if (utc < hourStart || utc >= hourStart + msPerHour) {
        SYSTEMTIME utcTime{};
        SYSTEMTIME localTime{};
        FILETIME local{};
        offset = FileTimeToSystemTime(&now, &utcTime) != FALSE &&
                         SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &localTime) != FALSE &&
                         SystemTimeToFileTime(&localTime, &local) != FALSE
                     ? msOf(local) - utc
                     : 0;
        hourStart = utc - utc % msPerHour;
    }
    return utc + offset;
}

}  // namespace wallclock
