// What a page of a tree of albums (ALBUMS) shows besides its pictures:
// the way back up to the top of the tree, and a table of the folder's
// albums, each a cell with its cover, its name, the number of pictures in
// its whole tree and the span of their dates, leading to its page.
#ifndef KORVEL_PAGEWRITER_ALBUM_TABLE_H
#define KORVEL_PAGEWRITER_ALBUM_TABLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "pagewriter/page_sink.h"
#include "run/page_options.h"

// A moment as a calendar and a clock show it, as one number that sorts
// as the moments do: yyyymmddhhmmss. 0: none.
using WallKey = std::uint64_t;

// What a folder's page shows of one of its albums.
struct AlbumCell {
    std::string name;            // the album's folder name
    std::uint64_t pictures = 0;  // in its whole tree
    WallKey first = 0;           // its pictures' first and last moments, as their sections show them
    WallKey last = 0;
    // The cover: a picture of the album's own or, for an album without
    // pictures, of its first album's, down the folders named here.
    std::vector<std::string> cover_folders;
    std::string cover;              // the picture's name; empty: none
    std::uint8_t cover_pieces = 0;  // its pieces in place (web_pieces.h)
    unsigned cover_width = 0;       // its size as shown; 0 by 0 when not known
    unsigned cover_height = 0;
};

// Writes the line of folders from the top of the tree down to this one,
// each but the last a link to its page: trail holds their names, the
// top's first. Nothing for the top's own page.
void write_way_back(PageSink& page, const PageOptions& options, const std::vector<std::string>& trail);

// Writes the table of albums, in the order given; nothing when there are
// none. Each cell leads to "<name>/index.html".
void write_album_table(PageSink& page, const PageOptions& options, const std::vector<AlbumCell>& albums);

// The date of a moment as a section shows it: "05.Mar.2021".
std::string day_text_of(WallKey moment);

#endif
