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

std::uint64_t mixed_into_stamp(std::uint64_t stamp, std::uint64_t value)
{
    stamp ^= value + 0x9E3779B97F4A7C15ULL + (stamp << 6) + (stamp >> 2);
    return stamp * 0xBF58476D1CE4E5B9ULL;
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
