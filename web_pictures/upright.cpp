// Each shown pixel taken from where the orientation stored it, along a
// straight walk through the stored picture.
#include "web_pictures/upright.h"

#include <algorithm>
#include <cstddef>

bool turns_quarter(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

namespace {

// Where each shown pixel is stored: shown (x, y) is pixel
// first + x * along + y * down of the stored picture.
struct Walk {
    std::ptrdiff_t first, along, down;
};

Walk walk_for(int orientation, std::ptrdiff_t shown_width, std::ptrdiff_t shown_height, std::ptrdiff_t row)
{
    const std::ptrdiff_t right = shown_width - 1, bottom = shown_height - 1;
    switch (orientation) {
    case 2: return {right, -1, row};                  // mirrored
    case 3: return {bottom * row + right, -1, -row};  // half round
    case 4: return {bottom * row, 1, -row};           // mirrored upside down
    case 5: return {0, row, 1};                       // mirrored along the diagonal
    case 6: return {right * row, -row, 1};            // a quarter clockwise
    case 7: return {right * row + bottom, -row, -1};  // mirrored along the other diagonal
    case 8: return {bottom, row, -1};                 // a quarter anticlockwise
    default: return {0, 1, row};
    }
}

}  // namespace

Pixels turn_upright(const Pixels& from, int orientation)
{
    if (orientation <= 1 || orientation > 8)
        return from;
    Pixels to;
    to.width = turns_quarter(orientation) ? from.height : from.width;
    to.height = turns_quarter(orientation) ? from.width : from.height;
    to.rgb.resize(from.rgb.size());
    const Walk walk = walk_for(orientation, to.width, to.height, from.width);
    // A tile at a time, so that a quarter turn's column of the stored
    // picture stays in the cache.
    constexpr unsigned kTile = 32;
    for (unsigned y0 = 0; y0 < to.height; y0 += kTile)
        for (unsigned x0 = 0; x0 < to.width; x0 += kTile)
            for (unsigned y = y0; y < std::min(to.height, y0 + kTile); ++y)
                for (unsigned x = x0; x < std::min(to.width, x0 + kTile); ++x) {
                    const std::ptrdiff_t at =
                        walk.first + std::ptrdiff_t{x} * walk.along + std::ptrdiff_t{y} * walk.down;
                    const unsigned char* p = &from.rgb[static_cast<std::size_t>(at) * 3];
                    unsigned char* q = &to.rgb[(std::size_t{y} * to.width + x) * 3];
                    q[0] = p[0];
                    q[1] = p[1];
                    q[2] = p[2];
                }
    return to;
}
