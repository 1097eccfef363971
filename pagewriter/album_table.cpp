#include "pagewriter/album_table.h"

#include "pagewriter/thumbnail_table.h"

namespace {
constexpr unsigned kRowWidth = 6;
constexpr const char* kRowStart = "<tr align='center' valign='top'>\n";
constexpr const char* kFlowingRowStart =
    "<tr align='center' valign='top' style='display:flex;flex-wrap:wrap;justify-content:center'>\n";

// Writes the album's cover as the thumbnail table shows a picture, its
// folders in front of its name.
void put_cover(PageSink& page, const AlbumCell& album, bool lazy)
{
    std::vector<std::string> above;
    above.reserve(album.cover_folders.size() + 1);
    above.push_back(album.name);
    above.insert(above.end(), album.cover_folders.begin(), album.cover_folders.end());
    ImageFile cover;
    cover.name = album.cover;
    cover.pieces = album.cover_pieces;
    cover.shown_width = album.cover_width;
    cover.shown_height = album.cover_height;
    put_table_picture(page, cover, &above, nullptr, nullptr, lazy);
}

}  // namespace

std::string day_text_of(WallKey moment)
{
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::uint64_t day = moment / 1000000 % 100;
    const std::uint64_t month = moment / 100000000 % 100;
    const std::uint64_t year = moment / 10000000000;
    if (month < 1 || month > 12)
        return std::string();
    std::string text;
    text += static_cast<char>('0' + day / 10);
    text += static_cast<char>('0' + day % 10);
    text += '.';
    text += kMonths[month - 1];
    text += '.';
    text += std::to_string(year);
    return text;
}

void write_way_back(PageSink& page, const PageOptions& options, const std::vector<std::string>& trail)
{
    if (trail.size() < 2)
        return;
    put_text(page, is_web_page(options) ? "<p style='overflow-wrap:anywhere'>" : "<p>");
    for (std::size_t i = 0; i < trail.size(); ++i) {
        if (i > 0)
            put_text(page, " / ");
        if (i + 1 == trail.size()) {
            put_html(page, trail[i]);
            break;
        }
        put_text(page, "<a href='");
        for (std::size_t up = i + 1; up < trail.size(); ++up)
            put_text(page, "../");
        put_text(page, "index.html'>");
        put_html(page, trail[i]);
        put_text(page, "</a>");
    }
    put_text(page, "</p>\n");
}

void write_album_table(PageSink& page, const PageOptions& options, const std::vector<AlbumCell>& albums)
{
    if (albums.empty())
        return;
    const bool web = is_web_page(options);
    put_text(page, "<table ");
    put_text(page, options.table_attributes);
    put_text(page, " width='100%'");
    put_text(page, web ? " style='display:block'><tbody style='display:block'>\n" : ">\n");
    put_text(page, web ? kFlowingRowStart : kRowStart);
    unsigned column = 0;
    std::uint64_t number = 0;
    for (const AlbumCell& album : albums) {
        ++number;
        if (++column > kRowWidth && !web) {
            put_text(page, "</tr>\n");
            put_text(page, kRowStart);
            column = 1;
        }
        put_text(page, web ? "<td style='width:10em;overflow-wrap:anywhere'><a href='" : "<td><a href='");
        put_url(page, album.name);
        put_text(page, "/index.html'>");
        if (!album.cover.empty()) {
            // A page for the web loads the covers of its first screen at once.
            put_cover(page, album, !options.eager_pictures && (!web || number > kEagerThumbnails));
            put_text(page, "<br>");
        }
        put_html(page, album.name);
        put_text(page, "</a><br>");
        put_number(page, album.pictures);
        put_text(page, album.pictures == 1 ? " picture" : " pictures");
        const std::string first = day_text_of(album.first);
        const std::string last = day_text_of(album.last);
        if (options.show_date && !first.empty()) {
            put_text(page, "<br>");
            put_text(page, first);
            if (last != first) {
                put_text(page, " &ndash; ");
                put_text(page, last);
            }
        }
        put_text(page, "</td>\n");
    }
    put_text(page, web ? "</tr></tbody></table>\n" : "</tr></table>\n");
}
