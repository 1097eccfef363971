#include "run/gallery_run.h"

#include "pagewriter/image_entries.h"
#include "pagewriter/image_listing.h"
#include "pagewriter/page_frame.h"
#include "pagewriter/thumbnail_table.h"
#include "run/page_options.h"
#include "templating/template_copy.h"

namespace {
constexpr const char* kPageName = "index.html";
constexpr const char* kTemplateName = "korvel0.htm";
}

int run_gallery(int argc, char** argv, char** envp)
{
    (void)argc;
    (void)argv;
    (void)envp;

    // List before the page is touched: a folder that cannot be read must not
    // cost the page it already has.
    ImageList images;
    if (!list_images(images))
        return -1;

    GalleryRun run;
    std::string cwd;
    if (get_current_directory(cwd))
        run.folder_name = folder_name_of(cwd, kPathSeparator);

    if (!begin_page(run.page_file, kPageName))
        return -1;
    run.page.file = &run.page_file.file;

    PageOptions options;
    // No template is the usual case; one that is there but cannot be opened
    // is treated the same way.
    if (open_input_file(run.template_file, kTemplateName) == OpenResult::opened) {
        run.template_open = true;
        run.template_source.file = &run.template_file;
        copy_template_head(run, options);
    } else {
        write_default_header(run.page, run.folder_name);
    }

    write_thumbnail_table(run.page, options, images);
    write_image_entries(run.page, options, images);
    if (run.template_open)
        copy_template_tail(run);
    write_credit_footer(run.page);

    if (!flush_sink(run.page) || run.template_source.failed) {
        abandon_page(run.page_file);
        return -1;
    }
    return commit_page(run.page_file) ? 0 : -1;
}
