#include "history/wall_clock.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace history {

namespace {

constexpr TimeMs msPerDay = 86'400'000;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back (the well-known era arithmetic: 400-year eras of 146097 days).
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(std::int64_t days, WallTime& out) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    out.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    out.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    out.year = static_cast<int>(yearOfEra + era * 400 + (out.month <= 2 ? 1 : 0));
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

TimeMs toTimeMs(const WallTime& t) {
    const TimeMs ofDay = ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
    return daysFromCivil(t.year, t.month, t.day) * msPerDay + ofDay;
}

WallTime toWallTime(TimeMs time) {
    WallTime result;
    const std::int64_t days = floorDiv(time, msPerDay);
    civilFromDays(days, result);
    std::int64_t rest = time - days * msPerDay;
    result.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    result.second = static_cast<int>(rest % 60);
    rest /= 60;
    result.minute = static_cast<int>(rest % 60);
    result.hour = static_cast<int>(rest / 60);
    return result;
}

std::string formatDateTime(TimeMs time) {
    const WallTime t = toWallTime(time);
    std::array<char, 48> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%04d/%02d/%02d %02d:%02d:%02d.%03d", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    return buffer.data();
}

std::uint32_t networkOrderAddress(int a, int b, int c, int d) {
    const std::array<unsigned char, 4> bytes{
        static_cast<unsigned char>(a), static_cast<unsigned char>(b), static_cast<unsigned char>(c),
        static_cast<unsigned char>(d)};
    std::uint32_t result = 0;
    std::memcpy(&result, bytes.data(), bytes.size());
    return result;
}

}  // namespace history
