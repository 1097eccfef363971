// The one EXIF tag the thumbnails read: how the camera held the picture.
#ifndef KORVEL_WEB_PICTURES_EXIF_ORIENTATION_H
#define KORVEL_WEB_PICTURES_EXIF_ORIENTATION_H

#include <cstddef>

// The orientation that an EXIF block (an APP1 marker's data, from its
// "Exif" header on) gives its picture, 1 to 8 as TIFF's tag 274 numbers
// them: 1 as stored, 3 turned half round, 6 and 8 turned a quarter, the
// others mirrored. 1 when the block holds no such tag or cannot be read:
// every offset is checked against size before anything is read there.
int exif_orientation(const unsigned char* data, std::size_t size);

// True when an APP1 marker's data is an EXIF block: it starts "Exif\0\0"
// (another APP1 block, XMP's, starts with its namespace).
bool is_exif_block(const unsigned char* data, std::size_t size);

#endif
