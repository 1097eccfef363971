// Shared by the platform implementations: the C library's broken-down time
// as the portable LocalTime.
#ifndef KORVEL_PLATFORM_CALENDAR_H
#define KORVEL_PLATFORM_CALENDAR_H

#include <ctime>

#include "platform/platform.h"

LocalTime local_time_of(const std::tm& tm);

#endif
