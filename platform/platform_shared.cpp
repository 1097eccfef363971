#include "platform/platform_shared.h"

#include <cerrno>

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

bool commit_page(PageFile& page)
{
    if (!close_file(page.file) || !replace_file(page.temporary, page.target)) {
        abandon_page(page);
        return false;
    }
    page.temporary.clear();
    return true;
}

void abandon_page(PageFile& page)
{
    int saved = errno;  // the caller's reason, not the cleanup's
    close_file(page.file);
    if (!page.temporary.empty())
        remove_file(page.temporary);
    page.temporary.clear();
    errno = saved;
}

void close_input_file(PlatformFile& file)
{
    close_file(file);
}
