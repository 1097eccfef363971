#include "run/album_page.h"

#include <algorithm>

#include "albums/album_cell.h"
#include "pagewriter/page_frame.h"
#include "picture_facts/facts_phase.h"
#include "platform/input_file.h"
#include "platform/page_file.h"
#include "run/folder_page.h"
#include "web_pictures/web_picture_phase.h"

namespace {

// How much of a page's end tells whose it is.
constexpr std::size_t kPageEndBytes = 4096;

// The page that stands in a folder, before this run writes one.
enum class OldPage {
    none,     // no page, or something there that cannot be opened as one (for making the page to fail on)
    korvels,  // one that ends as korvel's pages end
    users,    // one that does not, or whose end cannot be read: the user's own, which stays as it is
};

OldPage old_page_in(const WorkFolder& at)
{
    PlatformFile file;
    if (open_input_file(file, at, kPageName) != OpenResult::opened)
        return OldPage::none;
    std::string end;
    const bool read = read_input_end(file, kPageEndBytes, end);
    close_input_file(file);
    return read && ends_with_credit_footer(end) ? OldPage::korvels : OldPage::users;
}

// A folder with no picture below it is no album: a page korvel made there
// for one goes, when it is the running user's own, with its thumbnails,
// views and facts. A page of the user's own stays, and all beside it.
void remove_album_made_before(const WorkFolder& at)
{
    const OldPage old = old_page_in(at);
    if (old == OldPage::users || (old == OldPage::korvels && !remove_own_file(at, kPageName)))
        return;
    remove_all_web_pictures(at);
    remove_picture_facts(at);
}

// The cell of an album whose page korvel did not write this run: its
// pictures as a page without options shows them.
AlbumCell plain_cell_of(const std::string& name, const ImageList& pictures, std::vector<AlbumCell>& albums)
{
    const PageOptions plain;
    put_in_album_order(albums, plain);
    return album_cell_of(name, plain, pictures, nullptr, albums);
}

}  // namespace

bool make_album_page(const WorkFolder& at, AlbumPage& page, AlbumCell& cell, bool& failed)
{
    const bool top = page.is_top;
    const std::string& name = page.trail.back();
    FolderListing pictures;
    std::vector<std::string> leftovers;
    bool listed = read_folder(at, pictures);
    if (listed) {
        leftovers = temporary_pages_in(pictures);
        listed = list_images(at, pictures);
        pictures.files.erase(std::remove_if(pictures.files.begin(), pictures.files.end(),
                                            [](const ListedFile& file) { return file.is_folder; }),
                             pictures.files.end());
    }
    std::vector<AlbumCell>& albums = page.albums;
    GalleryRun run;
    bool made = false;
    if (!listed) {
        failed = true;
    } else if (!top && pictures.files.empty() && albums.empty()) {
        remove_album_made_before(at);
    } else if (!top && old_page_in(at) == OldPage::users) {
        cell = plain_cell_of(name, pictures, albums);
        made = true;
    } else {
        run.at = at;
        run.folder_name = name;
        run.top = page.top;
        run.template_paths = page.template_paths;
        run.trail = page.trail;
        run.in_tree = true;
        run.albums = albums;
        run.budget = page.budget;
        run.page_file.ends_run = top;
        try {
            made = make_folder_page(run, pictures, leftovers);
        } catch (...) {
            // Memory ran out: this page is lost, not the others.
            abandon_page(run.page_file);
            if (top)
                throw;
        }
        if (made) {
            cell = std::move(run.cell);
        } else {
            failed = true;
            // Its old page stands, if it has one.
            made = !top && old_page_in(at) != OldPage::none;
            if (made)
                cell = plain_cell_of(name, pictures, albums);
        }
    }
    return made;
}
