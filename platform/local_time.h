// File times as the calendar shows them where the run is. Calling sequence:
// to_local_time, any time, for any number of times.
#ifndef KORVEL_PLATFORM_LOCAL_TIME_H
#define KORVEL_PLATFORM_LOCAL_TIME_H

#include <cstdint>

// A moment in local time, as the calendar shows it.
struct LocalTime {
    int year = 0;
    int month = 1;    // 1 to 12
    int day = 1;      // 1 to 31
    int weekday = 0;  // 0 is Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Converts seconds since the epoch to local time, honouring TZ: on POSIX
// as the C library reads it, on Windows its POSIX form read the same way
// (time_zone_rule.h); without TZ, in the system's time zone. Fails (false)
// when the system cannot convert that time.
bool to_local_time(std::int64_t seconds, LocalTime& out);

#endif
