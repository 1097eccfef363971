// TZ in its POSIX form, read and applied as glibc does, for a system whose
// C runtime reads it otherwise (Windows reads only three-letter names and
// no rules), so that both builds show the same times for the same TZ.
// Calling sequence: read_time_zone_rule once for a TZ value, then
// local_time_by_rule for any number of times. Nothing here fails.
//
// The form: a name of three letters or more, or any three or more letters,
// digits, "+" and "-" in angle brackets ("<+0530>"); the offset west of
// UTC, [+|-]hh[:mm[:ss]]; then, for summer time, a second name, its offset
// (one hour ahead when left out) and the rule ",start[/time],end[/time]",
// each day given as Jn (1 to 365, no 29 February), n (0 to 365) or Mm.w.d
// (day d of week w of month m, w 5 being the last), each time [+|-]hh[:mm[:ss]]
// (02:00 when left out). Without a rule, summer time follows the United
// States' rule (",M3.2.0,M11.1.0"), as glibc's does from 2007 on.
#ifndef KORVEL_PLATFORM_TIME_ZONE_RULE_H
#define KORVEL_PLATFORM_TIME_ZONE_RULE_H

#include <cstdint>

#include "platform/local_time.h"

// When summer time starts or ends in a year.
struct TimeZoneChange {
    char kind = 'M';              // 'J': day 1 to 365, no leap day; 'D': day 0 to 365; 'M': month, week, weekday
    int day = 0;                  // J and D: the day; M: the weekday, 0 for Sunday
    int month = 0;                // M only
    int week = 0;                 // M only, 1 to 5
    std::int32_t seconds = 7200;  // the time of day of the change, local time before it
};

struct TimeZoneRule {
    std::int32_t standard_offset = 0;  // seconds east of UTC
    std::int32_t summer_offset = 0;
    bool has_summer = false;
    TimeZoneChange start, end;
};

// Reads tz. A value that is not of the form (a zone's name such as
// "Europe/Berlin", which glibc reads from its zone files, or an empty one)
// gives UTC; one whose summer part cannot be read has no summer time.
TimeZoneRule read_time_zone_rule(const char* tz);

// The local time of seconds since the epoch under rule.
LocalTime local_time_by_rule(std::int64_t seconds, const TimeZoneRule& rule);

#endif
