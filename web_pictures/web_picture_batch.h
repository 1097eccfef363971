// Reading pictures and making their thumbnails and views on every core, a
// batch at a time. Only the calling thread writes files (thumbnail_phase.cpp): here
// nothing is written, so a stop finds nothing of this to clean up.
#ifndef KORVEL_WEB_PICTURES_WEB_PICTURE_BATCH_H
#define KORVEL_WEB_PICTURES_WEB_PICTURE_BATCH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pagewriter/image_listing.h"
#include "pagewriter/web_pieces.h"
#include "platform/web_picture_files.h"
#include "web_pictures/memory_budget.h"
#include "web_pictures/web_picture_record.h"

// One picture to look at.
struct Wanted {
    std::size_t image = 0;    // index into the pictures
    bool kinds[kKinds] = {};  // the kinds wanted of it
    // For each kind, an entry that may still hold: kept when the content is
    // the same.
    const RecordEntry* expected[kKinds] = {};
    // The picture seems unchanged, on a file system whose change times
    // cannot say so: the expected entries hold if its first bytes still
    // hash to their head, and only those are read.
    bool head_only = false;
};

// What came of it.
enum class Outcome {
    unread,     // the picture could not be read, memory ran out, or who may read it is not known: nothing known
    same,       // its content is the expected entry's: that entry holds, with the picture's time and stamp now
    made,       // a new piece, in bytes
    makes_none  // the picture makes none of this kind (damaged, too small, shows itself ...)
};

struct Piece {
    Outcome outcome = Outcome::unread;
    std::string bytes;  // when made
};

struct Result {
    RecordEntry entry;       // the picture now, for the record, unless unread; made is unset
    PictureReaders readers;  // who may read it, and so its pieces
    Piece pieces[kKinds];    // of each kind wanted
    bool made[kKinds] = {};  // the record's made for each kind wanted
    bool head_held = false;  // head_only, and its head held: entry is the expected one, as it was
};

// Looks at each wanted picture of images, of the folder at, on every core, the calling
// thread among them, and makes what is wanted of each from one decode;
// results[i] is wanted[i]'s, each piece marked with its kind's comment in
// marks. Nothing fails: a picture that cannot be read or made is said so
// in its result. Each thread holds one picture at a time, and takes the
// memory it holds from run_budget, shared by every folder a run makes at
// once, or, when that is null, from a budget of this call's own.
void look_at_pictures(const WorkFolder& at, const ImageList& images, const std::vector<Wanted>& wanted,
                      const char* const* marks, std::vector<Result>& results, MemoryBudget* run_budget = nullptr);

#endif
