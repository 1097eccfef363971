#include "pagewriter/thumbnail_table.h"

#include "pagewriter/web_pieces.h"

namespace {
constexpr unsigned kRowWidth = 12;
constexpr const char* kRowStart = "<tr align='center' valign='center'>\n";
// On a page for the web, as many thumbnails to a row as the screen holds.
constexpr const char* kFlowingRowStart =
    "<tr align='center' valign='center' style='display:flex;flex-wrap:wrap;justify-content:center'>\n";

// A srcset of the small and the large thumbnail of the format given.
void put_thumbnail_srcset(PageSink& page, const ImageFile& image, bool webp, const std::vector<std::string>* above)
{
    put_text(page, "srcset='");
    put_piece_url(page, image, webp ? kSmallThumbnailsWebp : kSmallThumbnails, true, above);
    put_text(page, " 1x, ");
    put_piece_url(page, image, webp ? kThumbnailsWebp : kThumbnails, true, above);
    put_text(page, " 2x'");
}

}  // namespace

void put_table_picture(PageSink& page, const ImageFile& image, const std::vector<std::string>* above,
                       const PageOptions* alt_options, const PictureFacts* facts, bool lazy)
{
    const bool thumbnail = has_piece(image, kThumbnails);
    const bool small = thumbnail && has_piece(image, kSmallThumbnails);
    const bool webp = small && has_piece(image, kThumbnailsWebp) && has_piece(image, kSmallThumbnailsWebp);
    if (webp) {
        put_text(page, "<picture><source type='image/webp' ");
        put_thumbnail_srcset(page, image, true, above);
        put_text(page, ">");
    }
    put_text(page, "<img src='");
    put_piece_url(page, image, small ? kSmallThumbnails : thumbnail ? kThumbnails : kKinds, false, above);
    put_text(page, "'");
    if (small) {
        put_text(page, " ");
        put_thumbnail_srcset(page, image, false, above);
    }
    // The alt text always drops the extension, whatever the options say.
    put_text(page, " alt='");
    if (alt_options)
        put_alt_text(page, *alt_options, image, facts);
    put_text(page, "' border='0' width='60'");
    if (thumbnail && image.shown_width > 0 && image.shown_height > 0) {
        // Its height in the cell, so that the browser can lay the table
        // out before the thumbnail comes.
        const std::uint64_t height =
            (std::uint64_t{image.shown_height} * 60 + image.shown_width / 2) / image.shown_width;
        put_text(page, " height='");
        put_number(page, height > 0 ? height : 1);
        put_text(page, "'");
    }
    put_text(page, lazy ? " loading='lazy'>" : ">");
    if (webp)
        put_text(page, "</picture>");
}

std::uint64_t write_thumbnail_table(PageSink& page, const PageOptions& options, const ImageList& images,
                                    const std::vector<PictureFacts>* facts)
{
    const bool web = is_web_page(options);
    put_text(page, "<a name='TOP'><table ");
    put_text(page, options.table_attributes);
    put_text(page, " cellspan='10' cols='12' width='100%'");
    // Table, body and row as blocks: the cells flow and wrap.
    put_text(page, web ? " style='display:block'><tbody style='display:block'>\n" : ">\n");
    put_text(page, web ? kFlowingRowStart : kRowStart);

    std::uint64_t number = 0;
    unsigned column = 0;
    for (const ImageFile& image : images.files) {
        ++number;
        if (++column > kRowWidth && !web) {
            put_text(page, "</tr>\n");
            put_text(page, kRowStart);
            column = 1;
        }
        put_text(page, "<td width='60' height='60'><a href='#");
        put_number(page, number);
        put_text(page, "'>");
        // A page for the web loads the thumbnails of its first screen at once.
        const bool lazy = !options.eager_pictures && (!web || number > kEagerThumbnails);
        put_table_picture(page, image, nullptr, &options, facts_of(facts, number - 1), lazy);
        put_text(page, "</a></td>\n");
    }
    put_text(page, web ? "</tr></tbody></table>\n" : "</tr></table>\n");
    return number;
}
