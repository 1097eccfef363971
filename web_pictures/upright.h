// Turning decoded pixels as a picture's EXIF orientation (exif_orientation.h)
// says it is shown, so that what korvel makes of it needs no tag.
#ifndef KORVEL_WEB_PICTURES_UPRIGHT_H
#define KORVEL_WEB_PICTURES_UPRIGHT_H

#include "web_pictures/pixels.h"

// Orientations 5 to 8 turn the picture a quarter: its width is its height.
bool turns_quarter(int orientation);

// The pixels as orientation (1 to 8; any other as 1) shows them: 5 turns
// them over their diagonal, rows becoming columns. Nothing fails but
// memory, which throws.
Pixels turn_upright(const Pixels& from, int orientation);

#endif
