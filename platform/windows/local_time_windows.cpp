// Local time on Windows. With TZ, its POSIX form is read and applied as
// glibc does (time_zone_rule.h): the C runtime would read only three-letter
// names and no rules. Without TZ, the C runtime gives the system's time
// zone; it converts only times from 1970 to 3000, so a time outside that
// range is converted as the same moment of a year inside it that has the
// same calendar (leap or not, and the same weekday on the first of
// January), and given its own year back: the system's rules for summer
// time then apply as they do to any year.
#include "platform/local_time.h"

#include <time.h>

#include <cstdlib>
#include <string>

#include "platform/platform_shared.h"
#include "platform/time_zone_rule.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1 January 1970 to 1 January of year, for the years of a file
// time (1601 on).
std::int64_t days_before_year(std::int64_t year)
{
    auto leap_days_before = [](std::int64_t y) { return (y - 1) / 4 - (y - 1) / 100 + (y - 1) / 400; };
    return 365 * (year - 1970) + leap_days_before(year) - leap_days_before(1970);
}

// The year in which the day (counted from 1 January 1970) falls.
std::int64_t year_of_day(std::int64_t day)
{
    std::int64_t year = 1970 + day * 400 / 146097;  // 146,097 days in 400 years: off by one at most
    while (days_before_year(year) > day)
        --year;
    while (days_before_year(year + 1) <= day)
        ++year;
    return year;
}

bool is_leap(std::int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int weekday_of_new_year(std::int64_t year)
{
    return static_cast<int>(((days_before_year(year) + 4) % 7 + 7) % 7);  // 1 January 1970 was a Thursday
}

bool convert(std::int64_t seconds, LocalTime& out)
{
    __time64_t t = seconds;
    struct tm tm;
    if (_localtime64_s(&tm, &t) != 0)
        return false;
    out = local_time_of(tm);
    return true;
}

}  // namespace

bool to_local_time(std::int64_t seconds, LocalTime& out)
{
    if (const char* tz = std::getenv("TZ")) {
        static std::string read_for;  // TZ as it was when rule was read
        static TimeZoneRule rule;
        if (read_for != tz) {
            rule = read_time_zone_rule(tz);
            read_for = tz;
        }
        out = local_time_by_rule(seconds, rule);
        return true;
    }
    std::int64_t day = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds - 1) / kSecondsPerDay) - 1;
    std::int64_t year = year_of_day(day);
    if (year > 1970 && year < 3000)
        return convert(seconds, out);
    // A year of the same calendar inside the runtime's range: one of any
    // 28 years in a row has it.
    for (std::int64_t stand_in = 2001; stand_in < 2029; ++stand_in) {
        if (is_leap(stand_in) != is_leap(year) || weekday_of_new_year(stand_in) != weekday_of_new_year(year))
            continue;
        std::int64_t shift = (days_before_year(stand_in) - days_before_year(year)) * kSecondsPerDay;
        if (!convert(seconds + shift, out))
            return false;
        out.year += static_cast<int>(year - stand_in);
        return true;
    }
    return false;
}
