// Reducing a picture to a smaller size with the Lanczos-3 filter, as
// libvips and Pillow reduce: sharp where an area average blurs, with no
// aliasing of fine stripes. Integer arithmetic, so that every system makes
// the same bytes; nothing fails but memory, which throws.
#ifndef KORVEL_WEB_PICTURES_RESAMPLE_H
#define KORVEL_WEB_PICTURES_RESAMPLE_H

#include "web_pictures/pixels.h"

// The picture from resampled to width by height (each at least 1), in two
// passes, down the columns and then along the rows. The filter's support
// widens with the reduction (three source pixels times the factor on each
// side of a pixel's centre), so it serves any factor: 1/8-decoded to a
// thumbnail, or a camera's picture to a web-size view.
Pixels resample_lanczos3(const Pixels& from, unsigned width, unsigned height);

// The same, in place: pixels become the resampled picture, their old
// bytes freed as soon as the first pass is done with them.
void resample_lanczos3_in_place(Pixels& pixels, unsigned width, unsigned height);

#endif
