// A decoded picture in memory, as the reduction and the turning pass it.
#ifndef KORVEL_WEB_PICTURES_PIXELS_H
#define KORVEL_WEB_PICTURES_PIXELS_H

#include <vector>

// RGB, three bytes a pixel, row after row.
struct Pixels {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<unsigned char> rgb;
};

#endif
