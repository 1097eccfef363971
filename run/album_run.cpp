#include "run/album_run.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "albums/album_cell.h"
#include "albums/album_folders.h"
#include "pagewriter/page_frame.h"
#include "platform/input_file.h"
#include "platform/page_file.h"
#include "run/folder_page.h"

namespace {

struct Tree {
    std::set<std::string> reached;  // the folders' identities: each is made once, and a loop of links ends
    bool failed = false;
};

// The folders from the top down to the one being made, and their names.
struct Way {
    std::vector<const WorkFolder*> folders;
    std::vector<std::string> names;
};

// How much of a page's end tells whose it is.
constexpr std::size_t kPageEndBytes = 4096;

// True when the folder holds a page korvel did not make, or one whose end
// it cannot read to tell: that page is the user's own, and stays as it
// is. (Something there that is no page, or cannot be opened, is for
// making the page to fail on.)
bool holds_users_page(const WorkFolder& at)
{
    PlatformFile file;
    if (open_input_file(file, at, kPageName) != OpenResult::opened)
        return false;
    std::string end;
    const bool read = read_input_end(file, kPageEndBytes, end);
    close_input_file(file);
    return !read || !ends_with_credit_footer(end);
}

bool page_is_there(const WorkFolder& at)
{
    PlatformFile file;
    if (open_input_file(file, at, kPageName) != OpenResult::opened)
        return false;
    close_input_file(file);
    return true;
}

// The cell of an album whose page korvel did not write this run: its
// pictures as a page without options shows them.
AlbumCell plain_cell_of(const std::string& name, const ImageList& pictures, std::vector<AlbumCell>& albums)
{
    const PageOptions plain;
    put_in_album_order(albums, plain);
    return album_cell_of(name, plain, pictures, nullptr, albums);
}

// Makes the albums below at, then at's page; true, with its cell, when at
// is an album: it, or a folder below it, holds a picture, and its page is
// there.
bool make_folder(Tree& tree, Way& way, const WorkFolder& at, const std::string& name, bool top, AlbumCell& cell)
{
    FolderListing listing;
    if (!read_folder(at, listing)) {
        tree.failed = true;
        return false;
    }
    if (!top && holds_nomedia(listing))
        return false;
    const std::vector<std::string> leftovers = temporary_pages_in(listing);
    std::vector<std::string> names;
    if (!split_albums_and_pictures(at, listing, names)) {
        tree.failed = true;
        return false;
    }

    way.folders.push_back(&at);
    way.names.push_back(name);
    std::vector<AlbumCell> albums;
    for (const std::string& album : names) {
        WorkFolder child;
        if (!open_work_folder(at, album, child))
            continue;  // no folder, another user's, or another user's link
        AlbumCell album_cell;
        if (tree.reached.insert(child.identity).second && make_folder(tree, way, child, album, false, album_cell))
            albums.push_back(std::move(album_cell));
        close_work_folder(child);
    }
    way.folders.pop_back();
    way.names.pop_back();

    if (!top && listing.files.empty() && albums.empty())
        return false;
    if (!top && holds_users_page(at)) {
        cell = plain_cell_of(name, listing, albums);
        return true;
    }
    GalleryRun run;
    run.at = at;
    run.folder_name = name;
    run.template_folders.assign(way.folders.rbegin(), way.folders.rend());
    run.in_tree = true;
    run.trail = way.names;
    run.trail.push_back(name);
    run.albums = albums;
    run.page_file.ends_run = top;
    bool in_place = false;
    try {
        in_place = make_folder_page(run, listing, leftovers);
    } catch (...) {
        // Memory ran out: this page is lost, not the others.
        abandon_page(run.page_file);
        if (top)
            throw;
    }
    if (in_place) {
        cell = std::move(run.cell);
        return true;
    }
    tree.failed = true;
    if (top || !page_is_there(at))
        return false;
    cell = plain_cell_of(name, listing, albums);  // its old page stands
    return true;
}

}  // namespace

int make_album_tree(GalleryRun& top)
{
    Tree tree;
    if (identify_work_folder(top.at))
        tree.reached.insert(top.at.identity);
    Way way;
    AlbumCell cell;
    const bool made = make_folder(tree, way, top.at, top.folder_name, true, cell);
    return made && !tree.failed ? 0 : -1;
}
