#include "platform/local_time.h"

#include <time.h>

#include "platform/platform_shared.h"

bool to_local_time(std::int64_t seconds, LocalTime& out)
{
    time_t t = static_cast<time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds)
        return false;
    struct tm tm;
    if (!localtime_r(&t, &tm))
        return false;
    out = local_time_of(tm);
    return true;
}
