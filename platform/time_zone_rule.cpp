// The POSIX TZ form, parsed and applied step for step as glibc's tzset.c
// does it, its quirks included: summer time is decided by the year of the
// time in UTC, and years up to 1970 count their days from 1 January 1970.
#include "platform/time_zone_rule.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

bool is_letter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_leap(std::int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// A number of up to five digits, as sscanf's %hu takes it; false when none.
bool read_number(const char*& at, int& value)
{
    if (!is_digit(*at))
        return false;
    value = 0;
    while (is_digit(*at)) {
        value = value * 10 + (*at - '0');
        if (value > 65535)
            value = 65535;
        ++at;
    }
    return true;
}

// hh[:mm[:ss]]; hours, minutes and seconds each limited, as glibc limits an
// offset, when limit is true.
bool read_clock(const char*& at, std::int32_t& seconds, bool limit)
{
    int hours = 0, minutes = 0, secs = 0;
    if (!read_number(at, hours))
        return false;
    if (at[0] == ':' && is_digit(at[1])) {
        ++at;
        read_number(at, minutes);
        if (at[0] == ':' && is_digit(at[1])) {
            ++at;
            read_number(at, secs);
        }
    }
    if (limit) {
        hours = hours > 24 ? 24 : hours;
        minutes = minutes > 59 ? 59 : minutes;
        secs = secs > 59 ? 59 : secs;
    }
    seconds = hours * 3600 + minutes * 60 + secs;
    return true;
}

bool read_name(const char*& at)
{
    const char* p = at;
    while (is_letter(*p))
        ++p;
    if (p - at >= 3) {
        at = p;
        return true;
    }
    if (*at != '<')
        return false;
    p = at + 1;
    while (is_letter(*p) || is_digit(*p) || *p == '+' || *p == '-')
        ++p;
    if (*p != '>' || p - at - 1 < 3)
        return false;
    at = p + 1;
    return true;
}

// An offset west of UTC, turned east of it.
bool read_offset(const char*& at, std::int32_t& east)
{
    int sign = -1;
    const char* p = at;
    if (*p == '+' || *p == '-')
        sign = *p++ == '-' ? 1 : -1;
    std::int32_t seconds = 0;
    if (!read_clock(p, seconds, true))
        return false;
    east = sign * seconds;
    at = p;
    return true;
}

bool read_change(const char*& at, TimeZoneChange& change, bool is_start)
{
    const char* p = at;
    if (*p == ',')
        ++p;
    change = TimeZoneChange();
    if (*p == 'J' || is_digit(*p)) {
        change.kind = *p == 'J' ? 'J' : 'D';
        if (change.kind == 'J')
            ++p;
        if (!read_number(p, change.day) || change.day > 365 || (change.kind == 'J' && change.day == 0))
            return false;
    } else if (*p == 'M') {
        ++p;
        if (!read_number(p, change.month) || *p++ != '.' || !read_number(p, change.week) || *p++ != '.' ||
            !read_number(p, change.day) || change.month < 1 || change.month > 12 || change.week < 1 ||
            change.week > 5 || change.day > 6)
            return false;
    } else if (*p == '\0') {
        change.month = is_start ? 3 : 11;
        change.week = is_start ? 2 : 1;
    } else {
        return false;
    }
    if (*p == '/') {
        ++p;
        bool negative = *p == '-';
        p += negative;
        std::int32_t seconds = 7200;
        read_clock(p, seconds, false);
        change.seconds = negative ? -seconds : seconds;
    } else if (*p != '\0' && *p != ',') {
        return false;
    }
    at = p;
    return true;
}

std::int64_t leap_days_between(std::int64_t from, std::int64_t to)
{
    --from;
    --to;
    return (to / 4 - from / 4) - (to / 100 - from / 100) + (to / 400 - from / 400);
}

const int kDaysBeforeMonth[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                                     {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// The moment of change in year, in seconds since the epoch (UTC), when the
// local offset before it is offset.
std::int64_t change_time(const TimeZoneChange& change, std::int64_t year, std::int32_t offset)
{
    std::int64_t t = year > 1970 ? ((year - 1970) * 365 + leap_days_between(1970, year)) * kSecondsPerDay : 0;
    const int leap = is_leap(year) ? 1 : 0;
    if (change.kind == 'J') {
        t += (change.day - 1) * kSecondsPerDay;
        if (change.day >= 60 && leap)
            t += kSecondsPerDay;
    } else if (change.kind == 'D') {
        t += change.day * kSecondsPerDay;
    } else {
        const int* before = &kDaysBeforeMonth[leap][change.month];
        t += before[-1] * kSecondsPerDay;
        // Zeller's congruence: the weekday of the month's first day.
        std::int64_t m1 = (change.month + 9) % 12 + 1;
        std::int64_t yy0 = change.month <= 2 ? year - 1 : year;
        std::int64_t yy1 = yy0 / 100, yy2 = yy0 % 100;
        std::int64_t weekday = ((26 * m1 - 2) / 10 + 1 + yy2 + yy2 / 4 + yy1 / 4 - 2 * yy1) % 7;
        if (weekday < 0)
            weekday += 7;
        std::int64_t d = change.day - weekday;
        if (d < 0)
            d += 7;
        for (int i = 1; i < change.week && d + 7 < before[0] - before[-1]; ++i)
            d += 7;
        t += d * kSecondsPerDay;
    }
    return t - offset + change.seconds;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// The civil date of a day counted from 1 January 1970 (H. Hinnant's method).
void civil_of_day(std::int64_t day, std::int64_t& year, int& month, int& mday)
{
    day += 719468;
    std::int64_t era = floor_div(day, 146097);
    std::int64_t of_era = day - era * 146097;
    std::int64_t year_of_era = (of_era - of_era / 1460 + of_era / 36524 - of_era / 146096) / 365;
    std::int64_t day_of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
    mday = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
}

LocalTime broken_down(std::int64_t seconds)
{
    LocalTime out;
    std::int64_t day = floor_div(seconds, kSecondsPerDay);
    std::int64_t of_day = seconds - day * kSecondsPerDay;
    std::int64_t year = 0;
    civil_of_day(day, year, out.month, out.day);
    out.year = static_cast<int>(year);
    out.weekday = static_cast<int>(((day + 4) % 7 + 7) % 7);  // 1 January 1970 was a Thursday
    out.hour = static_cast<int>(of_day / 3600);
    out.minute = static_cast<int>(of_day / 60 % 60);
    out.second = static_cast<int>(of_day % 60);
    return out;
}

}  // namespace

TimeZoneRule read_time_zone_rule(const char* tz)
{
    TimeZoneRule rule;
    const char* at = tz ? tz : "";
    if (*at == ':' || !read_name(at) || !read_offset(at, rule.standard_offset)) {
        rule.standard_offset = 0;
        return rule;
    }
    rule.summer_offset = rule.standard_offset;
    if (*at == '\0' || !read_name(at))
        return rule;
    if (!read_offset(at, rule.summer_offset))
        rule.summer_offset = rule.standard_offset + 3600;
    rule.has_summer = read_change(at, rule.start, true) && read_change(at, rule.end, false);
    return rule;
}

LocalTime local_time_by_rule(std::int64_t seconds, const TimeZoneRule& rule)
{
    std::int32_t offset = rule.standard_offset;
    if (rule.has_summer) {
        std::int64_t year = broken_down(seconds).year;
        std::int64_t start = change_time(rule.start, year, rule.standard_offset);
        std::int64_t end = change_time(rule.end, year, rule.summer_offset);
        bool summer = start > end ? (seconds < end || seconds >= start) : (seconds >= start && seconds < end);
        if (summer)
            offset = rule.summer_offset;
    }
    return broken_down(seconds + offset);
}
