// The page of one folder of a tree of albums (ALBUMS), its albums made:
// the folder's own page, or the user's own page left as it is, or, where
// no picture is left below, what korvel made there for an album removed.
#ifndef KORVEL_RUN_ALBUM_PAGE_H
#define KORVEL_RUN_ALBUM_PAGE_H

#include <string>
#include <vector>

#include "pagewriter/album_table.h"
#include "platform/work_folder.h"
#include "web_pictures/memory_budget.h"

// What a folder's page needs to know of the tree.
struct AlbumPage {
    const WorkFolder* top = nullptr;          // the tree's top folder
    MemoryBudget* budget = nullptr;           // shared by the folders made at once
    bool is_top = false;                      // the run's last page
    std::vector<std::string> trail;           // the folders' names from the top down to this one
    std::vector<std::string> template_paths;  // its ancestors' templates, nearest first, from the top
    std::vector<AlbumCell> albums;            // its albums' cells
};

// Makes the page of the folder at: true when it is an album (it, or a
// folder below it, holds a picture; the top always is) and its page is
// there, with cell its cell for its parent's page. Sets failed when the
// folder could not be listed or its page not written (an old page that
// stays is still there). Throws only what the top's page throws.
bool make_album_page(const WorkFolder& at, AlbumPage& page, AlbumCell& cell, bool& failed);

#endif
