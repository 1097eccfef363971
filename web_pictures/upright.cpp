// Each shown pixel taken from where the orientation stored it.
#include "web_pictures/upright.h"

#include <cstddef>

bool turns_quarter(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

Pixels turn_upright(const Pixels& from, int orientation)
{
    if (orientation <= 1 || orientation > 8)
        return from;
    Pixels to;
    to.width = turns_quarter(orientation) ? from.height : from.width;
    to.height = turns_quarter(orientation) ? from.width : from.height;
    to.rgb.resize(from.rgb.size());
    for (unsigned y = 0; y < to.height; ++y) {
        for (unsigned x = 0; x < to.width; ++x) {
            // Where the shown pixel (x, y) is stored.
            unsigned sx = x, sy = y;
            const unsigned right = to.width - 1 - x, bottom = to.height - 1 - y;
            switch (orientation) {
            case 2: sx = right; break;  // mirrored
            case 3:
                sx = right;
                sy = bottom;
                break;                   // half round
            case 4: sy = bottom; break;  // mirrored upside down
            case 5:
                sx = y;
                sy = x;
                break;  // mirrored along the diagonal
            case 6:
                sx = y;
                sy = right;
                break;  // a quarter clockwise
            case 7:
                sx = bottom;
                sy = right;
                break;  // mirrored along the other diagonal
            case 8:
                sx = bottom;
                sy = x;
                break;  // a quarter anticlockwise
            }
            const unsigned char* p = &from.rgb[(std::size_t{sy} * from.width + sx) * 3];
            unsigned char* q = &to.rgb[(std::size_t{y} * to.width + x) * 3];
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        }
    }
    return to;
}
