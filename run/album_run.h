// A run over a tree of albums (ALBUMS in the top folder's template): a
// page for every folder below that holds a picture somewhere in its tree,
// made bottom-up, since a page shows its albums' covers, counts and
// dates, and the top's page last.
#ifndef KORVEL_RUN_ALBUM_RUN_H
#define KORVEL_RUN_ALBUM_RUN_H

#include "run/gallery_run.h"
#include "run/page_options.h"

// Makes the pages of the tree below top.at and then top's own, top set up
// as for a single page (its folder and name). Returns the exit status: 0
// when every page of the tree is in place, whole; -1 when any is not,
// every other page still made, and no album shown whose page is not
// there. A page of the user's own (an "index.html" korvel did not write)
// is never written; its album leads to it as it stands.
// options are the top's template's.
int make_album_tree(GalleryRun& top, const PageOptions& options);

#endif
