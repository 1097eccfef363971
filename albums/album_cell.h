// What a folder of a tree of albums shows of itself on its parent's page
// (ALBUMS): its cell, summed up from its page's pictures and its own
// albums' cells.
#ifndef KORVEL_ALBUMS_ALBUM_CELL_H
#define KORVEL_ALBUMS_ALBUM_CELL_H

#include <string>
#include <vector>

#include "pagewriter/album_table.h"
#include "pagewriter/image_listing.h"
#include "picture_facts/picture_facts.h"
#include "run/page_options.h"

// The cell of the folder name for its parent's page, from its pictures
// as its page shows them (in its order, with their facts, or null) and
// its albums' cells, in the order its page shows them. Its cover is the
// picture rated highest (the first of those), else its first picture,
// else its first album's cover.
AlbumCell album_cell_of(const std::string& name, const PageOptions& options, const ImageList& shown,
                        const std::vector<PictureFacts>* facts, const std::vector<AlbumCell>& albums);

// Puts albums in the order a page shows them: by name (compare_names), or
// under BYDATE by their first moment, albums without one last, and those
// of one moment by name.
void put_in_album_order(std::vector<AlbumCell>& albums, const PageOptions& options);

#endif
