#include "pagewriter/image_entries.h"

#include "platform/local_time.h"
#include "text/text_helpers.h"

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void append_two_digits(std::string& out, int value)
{
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

bool make_date_text(std::int64_t modified, std::string& text)
{
    text.clear();
    LocalTime t;
    if (!to_local_time(modified, t) || t.year < 0 || t.year > 9999)
        return false;
    text.append(kWeekdays[t.weekday]).push_back(' ');
    text.append(kMonths[t.month - 1]).push_back(' ');
    append_two_digits(text, t.day);
    text.push_back(' ');
    append_two_digits(text, t.hour);
    text.push_back(':');
    append_two_digits(text, t.minute);
    text.push_back(':');
    append_two_digits(text, t.second);
    text.push_back(' ');
    append_two_digits(text, t.year / 100);
    append_two_digits(text, t.year % 100);
    return true;
}

void view_size_of(unsigned width, unsigned height, unsigned& view_width, unsigned& view_height)
{
    view_width = width;
    view_height = height;
    const std::uint64_t long_side = width > height ? width : height;
    if (long_side <= kViewLongSide)
        return;
    const std::uint64_t short_side = width > height ? height : width;
    std::uint64_t scaled = (short_side * kViewLongSide + long_side / 2) / long_side;
    scaled = scaled < 1 ? 1 : scaled;
    view_width = width > height ? kViewLongSide : static_cast<unsigned>(scaled);
    view_height = width > height ? static_cast<unsigned>(scaled) : kViewLongSide;
}

void write_image_entries(PageSink& page, const PageOptions& options, const ImageList& images)
{
    const std::uint64_t count = images.files.size();
    std::uint64_t number = 0;
    std::string date;  // reused: one allocation for the whole page
    for (const ImageFile& image : images.files) {
        ++number;
        std::string_view shown = image.name;
        if (!options.show_extension)
            shown = shown.substr(0, shown.size() >= 4 ? shown.size() - 4 : 0);
        if (!options.show_name)
            shown = std::string_view();

        put_text(page, "<a name='");
        put_number(page, number);
        put_text(page, "'><br>");
        put_html(page, shown);
        put_text(page, "&nbsp;&nbsp;");
        if (options.show_file_size) {
            put_number(page, image.size);
            put_text(page, "&nbsp;&nbsp;");
        }

        // A time the system cannot convert shows neither date nor time.
        if (options.show_date || options.show_time) {
            if (make_date_text(image.modified, date)) {
                if (options.show_date) {
                    put_text(page, mid_text(date, 8, 2) + ".");
                    put_text(page, mid_text(date, 4, 3) + ".");
                    put_text(page, mid_text(date, 20, 4) + " ");
                }
                if (options.show_time)
                    put_text(page, mid_text(date, 11, 8));
            }
        }

        const std::uint64_t next = number == count ? 1 : number + 1;
        put_text(page, "<a href='#TOP' style='text-decoration: none;'> [Top] </a>");
        if (!options.full_size_sections) {
            // The picture itself, one click away from its view.
            put_text(page, "<a href='");
            put_url(page, image.name);
            put_text(page, "' style='text-decoration: none;'> [Full size] </a>");
        }
        put_text(page, "\n<p><a href='#");
        put_number(page, next);
        put_text(page, "'><img src='");
        unsigned width = image.shown_width, height = image.shown_height;
        if (image.view) {  // set only when the marker asked for VIEWS
            put_text(page, kViewFolderName);
            put_text(page, "/");
            view_size_of(image.shown_width, image.shown_height, width, height);
        }
        put_url(page, image.name);
        put_text(page, "' border='1' align='top absmiddle'");
        if (width > 0 && height > 0) {
            // Drawn at half its pixels, sharp on a screen of twice the
            // density, and never wider than the screen; with its size known,
            // a lazy picture out of view is not fetched.
            put_text(page, " width='");
            put_number(page, (std::uint64_t{width} + 1) / 2);
            put_text(page, "' height='");
            put_number(page, (std::uint64_t{height} + 1) / 2);
            put_text(page, "' style='max-width:100%;height:auto'");
        }
        put_text(page, options.eager_pictures ? "></a>\n" : " loading='lazy'></a>\n");
        put_text(page, options.show_rule ? "<hr>\n" : "<br>\n");
    }
}
