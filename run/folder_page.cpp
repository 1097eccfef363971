#include "run/folder_page.h"

#include "albums/album_cell.h"
#include "pagewriter/album_table.h"
#include "pagewriter/image_entries.h"
#include "pagewriter/page_frame.h"
#include "pagewriter/thumbnail_table.h"
#include "platform/page_file.h"
#include "picture_facts/facts_phase.h"
#include "picture_facts/picture_order.h"
#include "templating/template_copy.h"
#include "web_pictures/web_picture_phase.h"

namespace {

// No template is the usual case. One that is there but cannot be opened
// would cost the page its frame, and one that is no plain file (a FIFO, a
// device, a folder) could block the run or never end: both fail. In a
// tree, a folder without a template of its own takes its nearest
// ancestor's.
bool open_template(GalleryRun& run)
{
    OpenResult opened = open_input_file(run.template_file, run.at, kTemplateName);
    for (std::size_t i = 0; run.top && opened == OpenResult::missing && i < run.template_paths.size(); ++i)
        opened = open_input_file(run.template_file, *run.top, run.template_paths[i].c_str());
    if (opened == OpenResult::failed || opened == OpenResult::not_a_file)
        return false;
    run.template_open = opened == OpenResult::opened;
    run.template_source = TemplateSource();
    run.template_source.file = run.template_open ? &run.template_file : nullptr;
    run.line_number = 0;
    run.marker_rest.clear();
    return true;
}

// What the pictures say of themselves, read once a run when the marker
// asks for it.
struct RunFacts {
    FactsWork work;
    std::vector<PictureFacts> facts;
    bool read = false;
};

// The table and the sections, in the order the options ask for; in a
// tree, after the way back and the albums.
void write_gallery(GalleryRun& run, const PageOptions& options, const ImageList& images, const RunFacts& facts)
{
    const std::vector<PictureFacts>* known = facts.read ? &facts.facts : nullptr;
    std::vector<std::size_t> order;
    if (options.order_by_date)
        order = date_order(images, facts.facts, options.show_time_taken);
    const ImageList shown = options.order_by_date ? in_order(images, order) : ImageList();
    const std::vector<PictureFacts> shown_facts =
        options.order_by_date ? in_order(facts.facts, order) : std::vector<PictureFacts>();
    const ImageList& pictures = options.order_by_date ? shown : images;
    const std::vector<PictureFacts>* pictures_facts = options.order_by_date && known ? &shown_facts : known;
    if (run.in_tree) {
        write_way_back(run.page, options, run.trail);
        put_in_album_order(run.albums, options);
        write_album_table(run.page, options, run.albums);
        run.cell = album_cell_of(run.folder_name, options, pictures, pictures_facts, run.albums);
        if (images.files.empty() && !run.albums.empty())
            return;
    }
    write_thumbnail_table(run.page, options, pictures, pictures_facts);
    write_image_entries(run.page, options, pictures, pictures_facts);
}

// Writes the whole page from the template, open, and puts it in place.
// On the first try, the thumbnails and views are made once the marker has
// said whether it wants them, and what killed runs left (the
// leftovers) is removed once this run holds its own temporary page.
bool write_page(GalleryRun& run, ImageList& images, WebPictureWork* web_pictures,
                const std::vector<std::string>* leftovers, RunFacts& facts)
{
    const bool ends_run = run.page_file.ends_run;
    run.page_file = PageFile();
    run.page_file.ends_run = ends_run;
    if (!begin_page(run.page_file, run.at, kPageName)) {
        if (run.template_open)
            close_input_file(run.template_file);
        return false;
    }
    run.page = PageSink();
    run.page.file = &run.page_file.file;
    if (leftovers)
        remove_abandoned_pages(run.page_file, run.at, *leftovers);

    PageOptions options;
    if (run.template_open)
        copy_template_head(run, options);
    else
        write_default_header(run.page, run.folder_name);
    if (!facts.read && wants_picture_facts(options)) {
        facts.facts = read_picture_facts_of(run.at, images, facts.work);
        facts.read = true;
    }
    if (web_pictures)
        for (const PictureFacts& picture : facts.facts)
            web_pictures->more_page_bytes += page_bytes_of(picture);
    if (web_pictures && (!options.full_size_thumbnails || !options.full_size_sections))
        make_web_pictures(run.at, images, *web_pictures, !options.full_size_thumbnails,
                          !options.full_size_sections);
    write_gallery(run, options, images, facts);
    if (run.template_open)
        copy_template_tail(run);
    write_credit_footer(run.page);

    if (!flush_sink(run.page) || run.template_source.failed) {
        abandon_page(run.page_file);
        return false;
    }
    // A page of a tree whose bytes would not change is left as it is, its
    // time included, so that a copy of the tree to a web host sends nothing.
    if (run.in_tree && same_as_old_page(run.page_file)) {
        abandon_page(run.page_file);
        return true;
    }
    return commit_page(run.page_file);
}

}  // namespace

bool read_marker_options(const WorkFolder& at, PageOptions& options)
{
    GalleryRun scan;
    scan.at = at;
    if (!open_template(scan))
        return false;
    if (!scan.template_open)
        return true;
    copy_template_head(scan, options);
    close_input_file(scan.template_file);
    return !scan.template_source.failed;
}

bool make_folder_page(GalleryRun& run, ImageList& images, const std::vector<std::string>& leftovers)
{
    // The pictures of the page, and in a tree those of its albums too.
    run.picture_count = images.files.size();
    for (const AlbumCell& album : run.albums)
        run.picture_count += album.pictures;
    if (!open_template(run))
        return false;

    WebPictureWork web_pictures;
    web_pictures.budget = run.budget;
    RunFacts facts;
    bool written = write_page(run, images, &web_pictures, &leftovers, facts);
    // A page that did not fit beside this run's new thumbnails and views is
    // written again in their room, those pictures shown whole: neither is
    // ever a reason to lose the page.
    if (!written && give_up_new_web_pictures(images, web_pictures))
        written = open_template(run) && write_page(run, images, nullptr, nullptr, facts);
    if (!written) {
        finish_web_pictures(images, web_pictures, false);
        finish_picture_facts(images, facts.work);
        return false;
    }
    // The new page is in place: the run has done its work, and memory
    // running out while the records are written only costs remaking.
    try {
        finish_web_pictures(images, web_pictures, true);
        finish_picture_facts(images, facts.work);
    } catch (...) {
    }
    return true;
}
