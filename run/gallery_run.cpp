#include "run/gallery_run.h"

#include "pagewriter/image_listing.h"
#include "pagewriter/page_frame.h"
#include "platform/current_folder.h"
#include "platform/folder_listing.h"
#include "platform/page_file.h"
#include "run/album_run.h"
#include "run/folder_page.h"
#include "run/page_options.h"

namespace {

// The phases of a run, in order; run_gallery catches what they throw.
int run_phases(GalleryRun& run)
{
    // A run that is not where it was started would make another folder's
    // page.
    if (!in_starting_folder())
        return -1;
    run.at = current_work_folder();
    std::string cwd;
    if (get_current_directory(cwd))
        run.folder_name = folder_name_of(cwd, kPathSeparator);
    // The template says whether the page is one folder's or a whole tree's.
    PageOptions options;
    if (!read_marker_options(run.at, options))
        return -1;
    if (options.albums)
        return make_album_tree(run, options);

    // List before the page is touched: a folder that cannot be read must not
    // cost the page it already has.
    ImageList images;
    if (!read_folder(run.at, images))
        return -1;
    // What killed runs left is found in the whole listing, before it is
    // thinned out to the pictures, and removed once this run holds its own.
    std::vector<std::string> leftovers = temporary_pages_in(images);
    if (!list_images(run.at, images))
        return -1;
    return make_folder_page(run, images, leftovers) ? 0 : -1;
}

}  // namespace

int run_gallery(int argc, char** argv, char** envp)
{
    (void)argc;
    (void)argv;
    (void)envp;
    GalleryRun run;
    try {
        return run_phases(run);
    } catch (...) {
        // Memory ran out, most likely while listing a huge folder: a failure
        // like any other, and nothing may be printed or left behind.
        abandon_page(run.page_file);
        return -1;
    }
}
