#include "platform/calendar.h"

LocalTime local_time_of(const std::tm& tm)
{
    LocalTime out;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.weekday = tm.tm_wday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return out;
}
