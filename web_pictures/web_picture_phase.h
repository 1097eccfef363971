// The thumbnails of the gallery's pictures, for a template whose marker
// asks for them (THUMBS): one small JPEG for each picture, under its own
// name, in the folder "korvel-thumbs" beside the page, with the record of
// what each was made from (thumbnail_record.h). Made once: an unchanged
// folder costs one read of the record and no picture opened.
//
// Calling sequence, for one run: make_web_pictures before the page is
// written; give_up_new_web_pictures when the page could not be written (it
// may not have fitted on the disk beside them), before trying again;
// finish_web_pictures once the page is done, whatever came of it.
#ifndef KORVEL_WEB_PICTURES_WEB_PICTURE_PHASE_H
#define KORVEL_WEB_PICTURES_WEB_PICTURE_PHASE_H

#include <cstddef>
#include <string>
#include <vector>

#include "pagewriter/image_listing.h"
#include "platform/web_picture_files.h"
#include "web_pictures/web_picture_record.h"

// What the phase holds from its start to its end.
struct WebPictureWork {
    WebPictureFolder folder;
    bool in_use = false;              // the folder is open
    std::string old_record;           // the record as read; entries point into it
    std::size_t old_entries = 0;      // how many it held
    std::vector<RecordEntry> record;  // the record from now on, one entry a picture (known: in_record)
    std::vector<unsigned char> in_record;
    std::vector<std::size_t> made;       // the pictures whose thumbnails this run wrote
    FolderListing listed;                // the folder's names as the run found them
    std::size_t current_in_listing = 0;  // how many of them are current thumbnails
    // The record says something new, or some picture's content was
    // compared (then it is written anew, so that its time moves past
    // theirs).
    bool record_changed = false;
};

// Makes the thumbnails that are missing or not current, on every core,
// and sets thumbnail on each picture that has one in place. Nothing fails:
// a picture without a thumbnail keeps its full picture in the table, and
// so does every one when the folder cannot be used (it is another user's,
// say). None is written once the disk has no more room left than the page
// needs, with a margin. Memory stays bounded: the pictures are made in
// batches, each thread holding one picture at a time.
void make_web_pictures(ImageList& images, WebPictureWork& work);

// Removes the thumbnails this run wrote and clears thumbnail on their
// pictures, so that the page can be written in their room. False when
// there were none, and a new try could not fare better.
bool give_up_new_web_pictures(ImageList& images, WebPictureWork& work);

// Writes the record of what is in place and closes the folder. When the
// page was put in place, removes what is stale too: the thumbnails whose
// pictures are gone or make none any more (only files that carry korvel's
// mark and are the running user's own), and temporary ones no run holds.
// Nothing fails: a record that cannot be written costs remaking.
void finish_web_pictures(const ImageList& images, WebPictureWork& work, bool page_in_place);

#endif
