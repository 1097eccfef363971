#include "pagewriter/image_entries.h"

#include "platform/local_time.h"
#include "pagewriter/thumbnail_table.h"
#include "pagewriter/web_pieces.h"
#include "text/text_helpers.h"

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void append_two_digits(std::string& out, int value)
{
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// What a section offers: its large picture (the view, or the picture
// itself) and, where there is one, its small view, in JPEG and WebP; with
// their widths in pixels.
struct SectionPicture {
    std::size_t large = kKinds;  // the kind, or kKinds for the picture itself
    std::size_t small = kKinds;  // kKinds: none
    bool webp = false;           // both also as WebP
    unsigned large_width = 0, large_height = 0, small_width = 0, small_height = 0;
};

SectionPicture section_picture_of(const ImageFile& image)
{
    SectionPicture p;
    p.large_width = image.shown_width;
    p.large_height = image.shown_height;
    if (has_piece(image, kViews)) {
        p.large = kViews;
        view_size_of(image.shown_width, image.shown_height, kViewLongSide, p.large_width, p.large_height);
    }
    if (has_piece(image, kSmallViews) && image.shown_width > 0 && image.shown_height > 0) {
        p.small = kSmallViews;
        view_size_of(image.shown_width, image.shown_height, kSmallViewLongSide, p.small_width, p.small_height);
    }
    p.webp = p.large == kViews && has_piece(image, kViewsWebp) &&
             (p.small == kKinds || has_piece(image, kSmallViewsWebp));
    return p;
}

// The srcset and sizes of a section's picture, for its format: each size
// by its width, drawn at most drawn_width wide.
void put_view_srcset(PageSink& page, const ImageFile& image, const SectionPicture& p, bool webp,
                     std::uint64_t drawn_width)
{
    put_text(page, "srcset='");
    put_piece_url(page, image, webp ? webp_kind_of(p.small) : p.small, true);
    put_text(page, " ");
    put_number(page, p.small_width);
    put_text(page, "w, ");
    put_piece_url(page, image, p.large < kKinds && webp ? webp_kind_of(p.large) : p.large, true);
    put_text(page, " ");
    put_number(page, p.large_width);
    put_text(page, "w' sizes='(max-width:");
    put_number(page, drawn_width);
    put_text(page, "px) 100vw, ");
    put_number(page, drawn_width);
    put_text(page, "px'");
}

void put_section_picture(PageSink& page, const PageOptions& options, const ImageFile& image,
                         const PictureFacts* facts, bool web, bool lazy)
{
    const SectionPicture p = section_picture_of(image);
    const bool sized = p.large_width > 0 && p.large_height > 0;
    const bool srcset = sized && p.small < kKinds;
    const std::uint64_t drawn_width = (std::uint64_t{p.large_width} + 1) / 2;
    if (p.webp) {
        put_text(page, "<picture><source type='image/webp' ");
        if (srcset) {
            put_view_srcset(page, image, p, true, drawn_width);
        } else {
            put_text(page, "srcset='");
            put_piece_url(page, image, kViewsWebp, true);
            put_text(page, "'");
        }
        put_text(page, ">");
    }
    put_text(page, "<img src='");
    put_piece_url(page, image, srcset ? p.small : p.large);
    put_text(page, "'");
    if (srcset) {
        put_text(page, " ");
        put_view_srcset(page, image, p, false, drawn_width);
    }
    if (web || has_caption_alt(options, facts)) {
        // Its link's name too; the table's alt text, without the extension.
        put_text(page, " alt='");
        put_alt_text(page, options, image, facts);
        put_text(page, "'");
    }
    put_text(page, " border='1' align='top absmiddle'");
    if (sized) {
        // Drawn at half its pixels, sharp on a screen of twice the
        // density, and never wider than the screen; with its size known,
        // a lazy picture out of view is not fetched.
        put_text(page, " width='");
        put_number(page, drawn_width);
        put_text(page, "' height='");
        put_number(page, (std::uint64_t{p.large_height} + 1) / 2);
        put_text(page, "' style='max-width:100%;height:auto'");
    }
    put_text(page, lazy ? " loading='lazy'>" : ">");
    put_text(page, p.webp ? "</picture></a>\n" : "</a>\n");
}

// The 24-character date text of a time.
void put_date_text(const LocalTime& t, std::string& text)
{
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
}

}  // namespace

bool make_date_text(std::int64_t modified, std::string& text)
{
    text.clear();
    LocalTime t;
    if (!to_local_time(modified, t) || t.year < 0 || t.year > 9999)
        return false;
    put_date_text(t, text);
    return true;
}

bool make_wall_date_text(const WallTime& time, std::string& text)
{
    text.clear();
    if (!is_sound_wall_time(time))
        return false;
    LocalTime t;
    t.year = time.year;
    t.month = time.month;
    t.day = time.day;
    t.hour = time.hour;
    t.minute = time.minute;
    t.second = time.second;
    // Sakamoto's rule for the day of the week.
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int y = time.month < 3 ? time.year - 1 : time.year;
    t.weekday = (y + y / 4 - y / 100 + y / 400 + offsets[time.month - 1] + time.day) % 7;
    put_date_text(t, text);
    return true;
}

void write_image_entries(PageSink& page, const PageOptions& options, const ImageList& images,
                         const std::vector<PictureFacts>* facts)
{
    const std::uint64_t count = images.files.size();
    std::uint64_t number = 0;
    std::string date;  // reused: one allocation for the whole page
    const bool web = is_web_page(options);
    for (const ImageFile& image : images.files) {
        ++number;
        std::string_view shown = image.name;
        if (!options.show_extension)
            shown = short_name_of(shown);
        if (!options.show_name)
            shown = std::string_view();

        put_text(page, "<a name='");
        put_number(page, number);
        put_text(page, "'><br>");
        // On a phone, a long name breaks rather than widen the page.
        const bool wrapped = web && !shown.empty();
        if (wrapped)
            put_text(page, "<span style='overflow-wrap:anywhere'>");
        put_html(page, shown);
        if (wrapped)
            put_text(page, "</span>");
        put_text(page, "&nbsp;&nbsp;");
        if (options.show_file_size) {
            put_number(page, image.size);
            put_text(page, "&nbsp;&nbsp;");
        }

        // A time the system cannot convert shows neither date nor time;
        // one taken, where asked for and sound, stands for the file's.
        const PictureFacts* picture_facts = facts_of(facts, number - 1);
        if (options.show_date || options.show_time) {
            const bool taken =
                options.show_time_taken && picture_facts && make_wall_date_text(picture_facts->taken, date);
            if (taken || make_date_text(image.modified, date)) {
                if (options.show_date) {
                    put_text(page, mid_text(date, 8, 2) + ".");
                    put_text(page, mid_text(date, 4, 3) + ".");
                    put_text(page, mid_text(date, 20, 4) + " ");
                }
                // A day without its time of day shows its date alone.
                if (options.show_time && !(taken && picture_facts->taken.date_only))
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
        put_facts_lines(page, options, picture_facts);
        put_text(page, "\n<p><a href='#");
        put_number(page, next);
        put_text(page, "'>");
        // A page for the web loads the first section's picture at once when
        // the table is short enough to leave it on the first screen.
        const bool first_screen = web && number == 1 && count <= kEagerThumbnails;
        put_section_picture(page, options, image, picture_facts, web, !options.eager_pictures && !first_screen);
        put_text(page, options.show_rule ? "<hr>\n" : "<br>\n");
    }
}
