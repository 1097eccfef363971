// The thumbnails and views of the gallery's pictures, for a template whose
// marker asks for them: THUMBS, one small JPEG for each picture in the
// folder "korvel-thumbs" beside the page, for the table; VIEWS, a
// web-size one in "korvel-views", for the sections; each under the
// picture's own name, with the record of what each was made from
// (web_picture_record.h) in its folder. Made once: an unchanged folder
// costs one read of each record and no picture opened.
//
// Calling sequence, for one run: make_web_pictures before the page is
// written; give_up_new_web_pictures when the page could not be written (it
// may not have fitted on the disk beside them), before trying again;
// finish_web_pictures once the page is done, whatever came of it.
#ifndef KORVEL_WEB_PICTURES_WEB_PICTURE_PHASE_H
#define KORVEL_WEB_PICTURES_WEB_PICTURE_PHASE_H

#include <cstdint>

#include "pagewriter/image_listing.h"
#include "web_pictures/memory_budget.h"
#include "web_pictures/piece_folder.h"

// What the phase holds, a folder for each kind (web_picture_batch.h).
struct WebPictureWork {
    MadeFolder kinds[kKinds];
    std::uint64_t more_page_bytes = 0;  // what the page holds besides the pictures' names (their captions, say)
    MemoryBudget* budget = nullptr;     // shared by the folders a run makes at once; null: the folder's own
};

// The room the page of images needs, with a margin: each picture's name
// stands fourteen times in it (in the sizes and formats its pieces are
// offered in), each byte escaped to at most eight, and the
// template's text is rarely over a few hundred kilobytes.
std::uint64_t room_for_page(const ImageList& images);

// True when a piece of piece_bytes, written where room_left bytes are
// free, leaves the page its page_room.
bool leaves_room_for_page(std::uint64_t room_left, std::uint64_t page_room, std::uint64_t piece_bytes);

// Makes the thumbnails (when thumbnails) and views (when views) of the
// pictures of the folder at that are missing or not current, on every core, one decode a picture for both,
// and sets thumbnail and view on each picture that has one in place.
// Nothing fails: a picture without a thumbnail keeps its full picture in
// the table, one without a view keeps it in its section, and so does
// every one when a folder cannot be used (it is another user's, say).
// None is written once the disk has no more room left than the page
// needs, with a margin, nor over a file at its name that korvel did not
// make (the user's own stays, and its picture shows itself). Memory stays bounded: the pictures are made in
// batches, each thread holding one picture at a time.
void make_web_pictures(const WorkFolder& at, ImageList& images, WebPictureWork& work, bool thumbnails, bool views);

// Sets up how freed memory is kept for making pieces (memory_reuse.h):
// done by make_web_pictures too, and before any thread starts by a run
// whose threads will make them.
void keep_memory_for_web_pictures();

// Removes the thumbnails and views this run wrote and clears thumbnail and
// view on their pictures, so that the page can be written in their room.
// False when there were none, and a new try could not fare better.
bool give_up_new_web_pictures(ImageList& images, WebPictureWork& work);

// Writes the records of what is in place and closes the folders. When the
// page was put in place, removes what is stale too: the thumbnails and
// views whose pictures are gone or make none any more (only files that
// carry korvel's mark and are the running user's own), and temporary ones
// no run holds. Nothing fails: a record that cannot be written costs
// remaking.
void finish_web_pictures(const ImageList& images, WebPictureWork& work, bool page_in_place);

// Removes the thumbnails and views of the folder at, all of them (a folder
// of a tree whose pictures are gone), with their records, and their
// folders once they are empty: only files that carry korvel's mark and
// are the running user's own, and no folder is made. Nothing fails.
void remove_all_web_pictures(const WorkFolder& at);

#endif
