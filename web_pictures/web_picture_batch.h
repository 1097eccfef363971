// Reading pictures and making their thumbnails on every core, a batch at a
// time. Only the calling thread writes files (thumbnail_phase.cpp): here
// nothing is written, so a stop finds nothing of this to clean up.
#ifndef KORVEL_WEB_PICTURES_WEB_PICTURE_BATCH_H
#define KORVEL_WEB_PICTURES_WEB_PICTURE_BATCH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pagewriter/image_listing.h"
#include "web_pictures/web_picture_record.h"

// One picture to look at.
struct Wanted {
    std::size_t image = 0;                  // index into the pictures
    const RecordEntry* expected = nullptr;  // an entry that may still hold: kept when the content is the same
};

// What came of it.
enum class Outcome {
    unread,     // the picture could not be read, or memory ran out: nothing known
    same,       // its content is the expected entry's: that entry holds, with the picture's time and stamp now
    made,       // a new thumbnail, in bytes
    makes_none  // the picture makes no thumbnail (damaged, too small, ...)
};

struct Result {
    Outcome outcome = Outcome::unread;
    std::string bytes;  // the thumbnail, when made
    RecordEntry entry;  // what the record says of the picture from now on, unless unread
};

// Looks at each wanted picture of images, on every core, the calling
// thread among them; results[i] is wanted[i]'s. Nothing fails: a picture
// that cannot be read or made is said so in its result. Each thread holds
// one picture at a time.
void look_at_pictures(const ImageList& images, const std::vector<Wanted>& wanted, const char* mark,
                      std::vector<Result>& results);

#endif
