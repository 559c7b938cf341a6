// Times of the history as a person reads them: the local wall clock in
// milliseconds since 1970-01-01 00:00, turned into dates and clock times and
// back, without any time zone.
#pragma once

#include <cstdint>
#include <string>

#include "history/change.h"

namespace history {

struct WallTime {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

TimeMs toTimeMs(const WallTime& time);
WallTime toWallTime(TimeMs time);

// "2024/05/01 09:30:00.250"
std::string formatDateTime(TimeMs time);

// An IPv4 address of four numbers, in network byte order as the program
// keeps addresses.
std::uint32_t networkOrderAddress(int a, int b, int c, int d);

}  // namespace history
