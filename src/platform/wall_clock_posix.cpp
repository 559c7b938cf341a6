#include <time.h>

#include <chrono>
#include <limits>

#include "platform/wall_clock.h"

namespace wallclock {

namespace {
constexpr std::int64_t msPerHour = 3'600'000;
}

std::int64_t localNowMs() {
    using namespace std::chrono;
    const std::int64_t utc =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    // Offsets change on the hour only, in every zone that has them.
    thread_local std::int64_t hourStart = std::numeric_limits<std::int64_t>::min();
    thread_local std::int64_t offset = 0;
    if (utc < hourStart || utc >= hourStart + msPerHour) {
        const time_t seconds = static_cast<time_t>(utc / 1000);
        tm local{};
        offset = ::localtime_r(&seconds, &local) != nullptr ? local.tm_gmtoff * 1000LL : 0;
        hourStart = utc - utc % msPerHour;
    }
    return utc + offset;
}

}  // namespace wallclock
