#include "pagewriter/facts_lines.h"

bool has_caption_alt(const PageOptions& options, const PictureFacts* facts)
{
    return options.show_captions && facts && (!facts->caption.empty() || !facts->title.empty());
}

void put_alt_text(PageSink& page, const PageOptions& options, const ImageFile& image, const PictureFacts* facts)
{
    if (!has_caption_alt(options, facts)) {
        put_html(page, short_name_of(image.name));
        return;
    }
    put_html(page, facts->title);
    if (!facts->title.empty() && !facts->caption.empty())
        put_text(page, ": ");
    put_html(page, facts->caption);
}

void put_facts_lines(PageSink& page, const PageOptions& options, const PictureFacts* facts)
{
    if (!facts)
        return;
    if (options.show_captions && (!facts->title.empty() || !facts->caption.empty())) {
        put_text(page, "\n<br><bdi class='caption' style='overflow-wrap:anywhere'>");
        if (!facts->title.empty()) {
            put_text(page, "<b>");
            put_html(page, facts->title);
            put_text(page, facts->caption.empty() ? "</b>" : "</b>&nbsp;&nbsp;");
        }
        put_html(page, facts->caption);
        put_text(page, "</bdi>");
    }
    if (options.show_camera && !facts->camera.empty()) {
        put_text(page, "\n<br><bdi class='camera' style='overflow-wrap:anywhere'>");
        put_html(page, facts->camera);
        put_text(page, "</bdi>");
    }
}
