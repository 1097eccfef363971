#include "platform/local_time.h"

#include <time.h>

#include "platform/platform_shared.h"

bool to_local_time(std::int64_t seconds, LocalTime& out)
{
    __time64_t t = seconds;
    struct tm tm;
    if (_localtime64_s(&tm, &t) != 0)
        return false;
    out = local_time_of(tm);
    return true;
}
