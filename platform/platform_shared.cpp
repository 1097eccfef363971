#include "platform/platform_shared.h"

#include "platform/input_file.h"

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

std::string folder_part(const std::string& path)
{
    std::size_t last = path.find_last_of(kPathSeparators);
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

void close_input_file(PlatformFile& file)
{
    close_file(file);
}
