#include "run/gallery_run.h"

#include "pagewriter/image_entries.h"
#include "pagewriter/image_listing.h"
#include "pagewriter/page_frame.h"
#include "pagewriter/thumbnail_table.h"
#include "platform/current_folder.h"
#include "platform/folder_listing.h"
#include "platform/page_file.h"
#include "picture_facts/facts_phase.h"
#include "picture_facts/picture_order.h"
#include "run/page_options.h"
#include "templating/template_copy.h"
#include "web_pictures/web_picture_phase.h"

namespace {
constexpr const char* kPageName = "index.html";
constexpr const char* kTemplateName = "korvel0.htm";

// No template is the usual case. One that is there but cannot be opened
// would cost the page its frame, and one that is no plain file (a FIFO, a
// device, a folder) could block the run or never end: both fail.
bool open_template(GalleryRun& run)
{
    OpenResult opened = open_input_file(run.template_file, run.at, kTemplateName);
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

// The table and the sections, in the order the options ask for.
void write_gallery(GalleryRun& run, const PageOptions& options, const ImageList& images, const RunFacts& facts)
{
    const std::vector<PictureFacts>* known = facts.read ? &facts.facts : nullptr;
    if (!options.order_by_date) {
        write_thumbnail_table(run.page, options, images, known);
        write_image_entries(run.page, options, images, known);
        return;
    }
    const std::vector<std::size_t> order = date_order(images, facts.facts, options.show_time_taken);
    const ImageList shown = in_order(images, order);
    const std::vector<PictureFacts> shown_facts = in_order(facts.facts, order);
    write_thumbnail_table(run.page, options, shown, known ? &shown_facts : nullptr);
    write_image_entries(run.page, options, shown, known ? &shown_facts : nullptr);
}

// Writes the whole page from the template, open, and puts it in place.
// On the first try, the thumbnails and views are made once the marker has
// said whether it wants them, and what killed runs left (the
// leftovers) is removed once this run holds its own temporary page.
bool write_page(GalleryRun& run, ImageList& images, WebPictureWork* web_pictures,
                const std::vector<std::string>* leftovers, RunFacts& facts)
{
    run.page_file = PageFile();
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
    return commit_page(run.page_file);
}

// The phases of a run, in order; run_gallery catches what they throw.
int run_phases(GalleryRun& run)
{
    // A run that is not where it was started would make another folder's
    // page.
    if (!in_starting_folder())
        return -1;
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

    run.picture_count = images.files.size();
    std::string cwd;
    if (get_current_directory(cwd))
        run.folder_name = folder_name_of(cwd, kPathSeparator);
    if (!open_template(run))
        return -1;

    WebPictureWork web_pictures;
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
        return -1;
    }
    // The new page is in place: the run has done its work, and memory
    // running out while the records are written only costs remaking.
    try {
        finish_web_pictures(images, web_pictures, true);
        finish_picture_facts(images, facts.work);
    } catch (...) {
    }
    return 0;
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
