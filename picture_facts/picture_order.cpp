#include "picture_facts/picture_order.h"

#include <algorithm>

#include "platform/local_time.h"

WallTime shown_time_of(const ImageFile& image, const PictureFacts* facts)
{
    if (facts && is_sound_wall_time(facts->taken))
        return facts->taken;
    WallTime time;
    LocalTime t;
    if (!to_local_time(image.modified, t))
        return time;
    time.year = t.year;
    time.month = t.month;
    time.day = t.day;
    time.hour = t.hour;
    time.minute = t.minute;
    time.second = t.second;
    time.nanoseconds = image.modified_nanoseconds;
    time.known = true;
    return time;
}

std::vector<std::size_t> date_order(const ImageList& images, const std::vector<PictureFacts>& facts, bool taken)
{
    std::vector<WallTime> times(images.files.size());
    for (std::size_t i = 0; i < times.size(); ++i)
        times[i] = shown_time_of(images.files[i], taken && i < facts.size() ? &facts[i] : nullptr);
    std::vector<std::size_t> order(images.files.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&times](std::size_t a, std::size_t b) {
        if (times[a].known != times[b].known)
            return times[a].known;
        return compare_wall_times(times[a], times[b]) < 0;
    });
    return order;
}

ImageList in_order(const ImageList& images, const std::vector<std::size_t>& order)
{
    ImageList shown;
    shown.files.reserve(order.size());
    for (std::size_t i : order)
        shown.files.push_back(images.files[i]);
    return shown;
}

std::vector<PictureFacts> in_order(const std::vector<PictureFacts>& facts, const std::vector<std::size_t>& order)
{
    std::vector<PictureFacts> shown;
    shown.reserve(order.size());
    for (std::size_t i : order)
        shown.push_back(i < facts.size() ? facts[i] : PictureFacts());
    return shown;
}
