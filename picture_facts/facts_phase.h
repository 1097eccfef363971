// What each picture says of itself, for a template whose marker asks for
// it (CAPTIONS, TAKEN, CAMERA, BYDATE): read from the picture's first
// blocks, on every core, and kept in the record of the folder
// "korvel-facts" beside the page, so that an unchanged folder opens no
// picture. Only a picture that anyone may read has its facts shown or
// kept: a private picture's caption is never published.
//
// Calling sequence, for one run: read_picture_facts_of before the page is
// written; finish_picture_facts once the page is done.
#ifndef KORVEL_PICTURE_FACTS_FACTS_PHASE_H
#define KORVEL_PICTURE_FACTS_FACTS_PHASE_H

#include <cstdint>
#include <string>
#include <vector>

#include "pagewriter/image_listing.h"
#include "picture_facts/picture_facts.h"
#include "platform/web_picture_files.h"
#include "web_pictures/web_picture_record.h"

constexpr const char* kFactsFolder = "korvel-facts";

struct FactsWork {
    WebPictureFolder folder;
    bool in_use = false;  // the folder is open
    std::string old_record;
    std::vector<RecordEntry> old;      // as read; their names and extras point into old_record
    std::vector<RecordEntry> entries;  // the record from now on, a place for each picture (empty name: none)
    std::vector<std::string> extras;   // the facts read this run, which entries point into
    bool changed = false;              // the record says something new
};

// The facts of each picture of the folder at, in the pictures' order: read from the
// record where it holds, else from the picture. Nothing fails: a picture
// whose facts cannot be read or are private has none, and the page shows
// what it shows without them; so does every one when the folder cannot be
// used.
std::vector<PictureFacts> read_picture_facts_of(const WorkFolder& at, const ImageList& images, FactsWork& work);

// Writes the record when it changed and closes the folder. Nothing fails:
// a record that cannot be written costs reading again.
void finish_picture_facts(const ImageList& images, FactsWork& work);

// Removes the facts' record of the folder at, and its folder once empty
// (a folder of a tree whose pictures are gone); no folder is made.
void remove_picture_facts(const WorkFolder& at);

#endif
