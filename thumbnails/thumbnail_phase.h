// The thumbnails of the gallery's pictures, for a template whose marker
// asks for them (THUMBS): one small JPEG for each picture, under its own
// name, in the folder "korvel-thumbs" beside the page. Made once: a
// thumbnail takes its picture's time as its own, so a stat tells that it
// is current and an unchanged folder costs no picture opened.
#ifndef KORVEL_THUMBNAILS_THUMBNAIL_PHASE_H
#define KORVEL_THUMBNAILS_THUMBNAIL_PHASE_H

#include "pagewriter/image_listing.h"

// Makes the thumbnails that are missing or older than their pictures, on
// every core, removes those whose pictures are gone or make none any more
// (only files that carry korvel's mark, and temporary ones that no run
// holds), and sets thumbnail
// on each picture that has one in place. Nothing fails: a picture without
// a thumbnail keeps its full picture in the table, and so does every one
// when the folder cannot be used. Memory stays bounded: the pictures are
// made in batches, each thread holding one picture at a time.
void make_thumbnails(ImageList& images);

#endif
