#include "pagewriter/thumbnail_table.h"

namespace {
constexpr unsigned kRowWidth = 12;
constexpr const char* kRowStart = "<tr align='center' valign='center'>\n";
}  // namespace

std::uint64_t write_thumbnail_table(PageSink& page, const PageOptions& options, const ImageList& images)
{
    put_text(page, "<a name='TOP'><table ");
    put_text(page, options.table_attributes);
    put_text(page, " cellspan='10' cols='12' width='100%'>\n");
    put_text(page, kRowStart);

    std::uint64_t number = 0;
    unsigned column = 0;
    for (const ImageFile& image : images.files) {
        ++number;
        if (++column > kRowWidth) {
            put_text(page, "</tr>\n");
            put_text(page, kRowStart);
            column = 1;
        }
        put_text(page, "<td width='60' height='60'><a href='#");
        put_number(page, number);
        put_text(page, "'><img src='");
        if (image.thumbnail) {  // set only when the marker asked for THUMBS
            put_text(page, kThumbnailFolderName);
            put_text(page, "/");
        }
        put_url(page, image.name);
        put_text(page, "' alt='");
        // The alt text always drops the extension, whatever the options say.
        std::string_view short_name = image.name.substr(0, image.name.size() >= 4 ? image.name.size() - 4 : 0);
        put_html(page, short_name);
        put_text(page, "' border='0' width='60'");
        if (image.thumbnail && image.shown_width > 0 && image.shown_height > 0) {
            // Its height in the cell, so that the browser can lay the table
            // out before the thumbnail comes.
            const std::uint64_t height =
                (std::uint64_t{image.shown_height} * 60 + image.shown_width / 2) / image.shown_width;
            put_text(page, " height='");
            put_number(page, height > 0 ? height : 1);
            put_text(page, "'");
        }
        put_text(page, options.eager_pictures ? "></a></td>\n" : " loading='lazy'></a></td>\n");
    }
    put_text(page, "</tr></table>\n");
    return number;
}
