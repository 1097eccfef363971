// The writers, capturing the page in memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "albums/album_cell.h"
#include "pagewriter/album_table.h"
#include "pagewriter/image_entries.h"
#include "pagewriter/image_listing.h"
#include "pagewriter/page_frame.h"
#include "pagewriter/page_sink.h"
#include "pagewriter/thumbnail_table.h"
#include "pagewriter/web_pieces.h"
#include "run/page_options.h"
#include "support/test_support.h"
#include "web_pictures/web_picture_phase.h"

namespace {

constexpr std::int64_t kJan2 = 1704190830;   // Tue Jan 02 11:20:30 2024 in the test zone
constexpr std::int64_t kJul14 = 1689368709;  // Fri Jul 14 23:05:09 2023, summer time

class Writers : public ::testing::Test {
protected:
    void SetUp() override { set_time_zone(kTestTimeZone); }

    std::string table(const ImageList& images, const PageOptions& options = PageOptions())
    {
        PageSink page;
        count = write_thumbnail_table(page, options, images);
        return page.pending;
    }

    std::string entries(const ImageList& images, const PageOptions& options = PageOptions())
    {
        PageSink page;
        write_image_entries(page, options, images);
        return page.pending;
    }

    std::uint64_t count = 0;
};

ImageList pictures(int n)
{
    ImageList images;
    for (int i = 1; i <= n; ++i)
        add_image(images, "p" + std::to_string(i) + ".jpg", 10, kJan2);
    return images;
}

}  // namespace



TEST_F(Writers, TableAttributesAndHostileNames)
{
    ImageList images;
    add_image(images, ".jpg", 0, kJan2);
    add_image(images, "x' onerror='alert(1).jpg", 0, kJan2);
    PageOptions options;
    options.table_attributes = "BORDER='1'";
    EXPECT_EQ(table(images, options),
              "<a name='TOP'><table BORDER='1' cellspan='10' cols='12' width='100%'>\n"
              "<tr align='center' valign='center'>\n"
              "<td width='60' height='60'><a href='#1'><img src='.jpg' alt='' border='0' width='60'></a></td>\n"
              "<td width='60' height='60'><a href='#2'><img src='x&#39; onerror=&#39;alert(1).jpg' "
              "alt='x&#39; onerror=&#39;alert(1)' border='0' width='60'></a></td>\n"
              "</tr></table>\n");
}


TEST_F(Writers, SectionsLinkToTheNextAndTheLastToTheFirst)
{
    ImageList images;
    add_image(images, "a.jpg", 1, kJul14);
    add_image(images, "b.jpg", 2, kJul14);
    add_image(images, "c.jpg", 3, kJul14);
    std::string page = entries(images);
    EXPECT_NE(page.find("<a name='1'><br>a.jpg&nbsp;&nbsp;1&nbsp;&nbsp;14.Jul.2023 23:05:09"), std::string::npos);
    EXPECT_NE(page.find("<p><a href='#2'><img src='a.jpg'"), std::string::npos);
    EXPECT_NE(page.find("<p><a href='#3'><img src='b.jpg'"), std::string::npos);
    EXPECT_NE(page.find("<p><a href='#1'><img src='c.jpg'"), std::string::npos);
}

TEST_F(Writers, OptionsSwitchDetailsOff)
{
    ImageList images;
    add_image(images, "Beach.jpg", 7, kJan2);
    const std::string top = "<a href='#TOP'";

    PageOptions no_name;
    no_name.show_name = false;
    const std::string nameless = "<a name='1'><br>&nbsp;&nbsp;7&nbsp;&nbsp;02.Jan.2024";
    EXPECT_EQ(entries(images, no_name).substr(0, nameless.size()), nameless);

    PageOptions date_only;
    date_only.show_time = false;
    EXPECT_NE(entries(images, date_only).find("02.Jan.2024 " + top), std::string::npos);

    PageOptions time_only;
    time_only.show_date = false;
    EXPECT_NE(entries(images, time_only).find("7&nbsp;&nbsp;11:20:30" + top), std::string::npos);

    PageOptions bare;
    bare.show_extension = false;
    bare.show_file_size = false;
    bare.show_date = false;
    bare.show_time = false;
    bare.show_rule = false;
    EXPECT_EQ(entries(images, bare),
              "<a name='1'><br>Beach&nbsp;&nbsp;" + top +
                  " style='text-decoration: none;'> [Top] </a>"
                  "\n<p><a href='#1'><img src='Beach.jpg' border='1' align='top absmiddle'></a>\n<br>\n");
}

TEST_F(Writers, SizesAreTrue64BitNumbers)
{
    ImageList images;
    add_image(images, "zero.jpg", 0, kJan2);
    add_image(images, "big.jpg", 3221225472u, kJan2);
    add_image(images, "huge.jpg", UINT64_MAX, kJan2);
    std::string page = entries(images);
    EXPECT_NE(page.find("zero.jpg&nbsp;&nbsp;0&nbsp;&nbsp;"), std::string::npos);
    EXPECT_NE(page.find("big.jpg&nbsp;&nbsp;3221225472&nbsp;&nbsp;"), std::string::npos);
    EXPECT_NE(page.find("huge.jpg&nbsp;&nbsp;18446744073709551615&nbsp;&nbsp;"), std::string::npos);
}

TEST_F(Writers, TimesThatCannotBeShownGetNoDateAndNoTime)
{
    std::string text;
    EXPECT_TRUE(make_date_text(kJan2, text));
    EXPECT_EQ(text, "Tue Jan 02 11:20:30 2024");
    EXPECT_FALSE(make_date_text(INT64_MAX, text));
    EXPECT_FALSE(make_date_text(253402300800, text));  // the year 10000

    ImageList images;
    add_image(images, "far.jpg", 5, INT64_MAX);
    const std::string start = "<a name='1'><br>far.jpg&nbsp;&nbsp;5&nbsp;&nbsp;<a href='#TOP' style='";
    EXPECT_EQ(entries(images).substr(0, start.size()), start);
}

TEST_F(Writers, SectionNumbersDoNotWrapAt65536)
{
    ImageList images = pictures(65537);
    std::string page = entries(images);
    EXPECT_NE(page.find("<a name='65536'><br>p65536.jpg"), std::string::npos);
    EXPECT_NE(page.find("<a name='65537'><br>p65537.jpg"), std::string::npos);
    EXPECT_NE(page.find("<p><a href='#65537'><img src='p65536.jpg'"), std::string::npos);
    EXPECT_NE(page.find("<p><a href='#1'><img src='p65537.jpg'"), std::string::npos);
    std::string cells = table(images);
    EXPECT_EQ(count, 65537u);
    EXPECT_EQ(cells.find("href='#0'"), std::string::npos);
    EXPECT_NE(cells.find("<a href='#65537'><img src='p65537.jpg'"), std::string::npos);
}

TEST_F(Writers, FolderNameIsTheLastComponent)
{
    EXPECT_EQ(folder_name_of("/home/ann/Holiday 2024", '/'), "Holiday 2024");
    EXPECT_EQ(folder_name_of("/", '/'), "");
    EXPECT_EQ(folder_name_of("C:\\Pictures\\Trip", '\\'), "Trip");
    EXPECT_EQ(folder_name_of("C:\\", '\\'), "");
    EXPECT_EQ(folder_name_of("relative", '/'), "");
    std::string deep(5000, 'd');
    EXPECT_EQ(folder_name_of("/" + deep + "/last", '/'), "last");
}



TEST(ImageListing, NameOrder)
{
    // Each pair in order: the first comes before the second.
    const std::pair<std::string, std::string> in_order[] = {
        {"AB.jpg", "A_B.jpg"},           // "B" is 0x42, "_" 0x5F
        {"ab.jpg", "A_B.jpg"},           // a to z compare as A to Z
        {"A.jpg", "AB.jpg"},             // "." is 0x2E
        {"IMG", "IMG_0001.jpg"},         // a name before those it begins
        {"A.jpg", "a.jpg"},              // equal but for case: by the bytes
        {"IMG_10.jpg", "IMG_9.jpg"},     // digits are characters
        {"zebra.jpg", "\xc3\x89t\xc3\xa9.jpg"},  // beyond ASCII after it, by code point
        {"\xc3\xa9.jpg", "\xe5\x86\x99.jpg"},
        {"beach.jpg", "Boats.jpg"},
    };
    for (const auto& [first, second] : in_order) {
        EXPECT_EQ(compare_names(first, second), -1) << first << " < " << second;
        EXPECT_EQ(compare_names(second, first), 1) << second << " > " << first;
    }
    EXPECT_EQ(compare_names("same.jpg", "same.jpg"), 0);
}

// The room a run keeps free for its page, while it writes thumbnails and
// views, holds the page of the most hostile names (every byte escaped as
// far as it goes) with every option on, and leaves the template its
// margin; a piece is written only where it leaves all of that room.
TEST_F(Writers, TheRoomKeptForThePageHoldsIt)
{
    ImageList images;
    for (int i = 0; i < 200; ++i) {
        add_image(images, std::string(i, '\xFF') + "'\"<&" + std::string(i, '\xE9') + ".jpg", 1u << 30, kJan2);
        ImageFile& image = images.files.back();
        image.pieces = 0xFF;  // every piece of every picture in place
        image.shown_width = 4000000, image.shown_height = 3000000;
    }
    PageOptions options;
    options.eager_pictures = options.full_size_thumbnails = options.full_size_sections = false;
    PageSink page;
    write_default_header(page, std::string(255, '\xFF'));
    write_thumbnail_table(page, options, images);
    write_image_entries(page, options, images);
    write_credit_footer(page);
    const std::uint64_t room = room_for_page(images), template_margin = 4u << 20;
    EXPECT_LE(page.pending.size() + template_margin, room);

    EXPECT_TRUE(leaves_room_for_page(room + 5000, room, 5000));
    EXPECT_FALSE(leaves_room_for_page(room + 4999, room, 5000));
    EXPECT_FALSE(leaves_room_for_page(room - 1, room, 0));
    EXPECT_FALSE(leaves_room_for_page(4000, room, 5000));  // less than the page: no wrapping round
}

// Under THUMBS or VIEWS the page is one for the web: a modern document's
// header, a table whose cells flow, every section's picture named, and
// each picture offered in the sizes and formats in place for it. Without
// them the page stays as it was, byte for byte.
TEST_F(Writers, APageForTheWebAndThePlainPageBeside)
{
    PageSink plain, web, one, rootless;
    write_default_header(plain, "Trip");
    write_default_header(web, "Trip & co", true, 48);
    write_default_header(one, "Trip", true, 1);
    write_default_header(rootless, "", true, 0);
    EXPECT_EQ(plain.pending, "<html><head><title>Trip</title></head>\n<body><center><h1>Trip</h1>\n");
    EXPECT_EQ(web.pending, "<!DOCTYPE html>\n<html lang='en'><head><meta charset='utf-8'>\n"
                           "<meta name='viewport' content='width=device-width, initial-scale=1'>\n"
                           "<meta name='description' content='Trip &amp; co: 48 pictures'>\n"
                           "<link rel='icon' href='data:,'>\n<title>Trip &amp; co</title></head>\n"
                           "<body><center><h1 style='overflow-wrap:anywhere'>Trip &amp; co</h1>\n");
    EXPECT_NE(one.pending.find("content='Trip: 1 picture'>"), std::string::npos);
    EXPECT_NE(rootless.pending.find("content='0 pictures'>"), std::string::npos);

    // Which pieces are in place, and what the cell and the section show.
    const std::uint8_t all_thumbnails = 1 << kThumbnails | 1 << kSmallThumbnails | 1 << kThumbnailsWebp |
                                        1 << kSmallThumbnailsWebp;
    const std::uint8_t all_views = 1 << kViews | 1 << kSmallViews | 1 << kViewsWebp | 1 << kSmallViewsWebp;
    struct Case {
        std::uint8_t pieces;
        unsigned width;  // the picture's, shown; 3/4 as high
        const char* cell;
        const char* section;
    };
    const Case cases[] = {
        {0, 1200, "<a href='#1'><img src='a b.jpg' alt='a b' border='0' width='60'></a>",
         "<a href='#1'><img src='a b.jpg' alt='a b' border='1' align='top absmiddle' width='600' height='450' "
         "style='max-width:100%;height:auto'></a>"},
        {1 << kThumbnails | 1 << kThumbnailsWebp, 3200,  // no small one: no srcset, no WebP
         "<a href='#1'><img src='korvel-thumbs/a b.jpg' alt='a b' border='0' width='60' height='45'></a>", nullptr},
        {1 << kThumbnails | 1 << kSmallThumbnails | 1 << kThumbnailsWebp, 3200,  // WebP of one size only: none
         "<a href='#1'><img src='korvel-thumbs-60/a b.jpg' srcset='korvel-thumbs-60/a%20b.jpg 1x, "
         "korvel-thumbs/a%20b.jpg 2x' alt='a b' border='0' width='60' height='45'></a>",
         nullptr},
        {all_thumbnails, 3200,
         "<a href='#1'><picture><source type='image/webp' srcset='korvel-thumbs-60-webp/a%20b.jpg.webp 1x, "
         "korvel-thumbs-webp/a%20b.jpg.webp 2x'><img src='korvel-thumbs-60/a b.jpg' srcset='korvel-thumbs-60/"
         "a%20b.jpg 1x, korvel-thumbs/a%20b.jpg 2x' alt='a b' border='0' width='60' height='45'></picture></a>",
         nullptr},
        {1 << kViews, 3200,
         nullptr, "<img src='korvel-views/a b.jpg' alt='a b' border='1' align='top absmiddle' width='800' "
                  "height='600' style='max-width:100%;height:auto'></a>"},
        {1 << kSmallViews | 1 << kSmallViewsWebp, 1200,  // the picture itself as the large one: no WebP
         nullptr, "<img src='korvel-views-800/a b.jpg' srcset='korvel-views-800/a%20b.jpg 800w, a%20b.jpg 1200w' "
                  "sizes='(max-width:600px) 100vw, 600px' alt='a b' border='1' align='top absmiddle' width='600' "
                  "height='450' style='max-width:100%;height:auto'></a>"},
        {1 << kViews | 1 << kViewsWebp, 3200,
         nullptr, "<picture><source type='image/webp' srcset='korvel-views-webp/a%20b.jpg.webp'><img "
                  "src='korvel-views/a b.jpg' alt='a b' border='1' align='top absmiddle' width='800' "
                  "height='600' style='max-width:100%;height:auto'></picture></a>"},
        {1 << kViews | 1 << kSmallViews | 1 << kViewsWebp, 3200,  // the small WebP not made: no WebP
         nullptr, "<a href='#1'><img src='korvel-views-800/a b.jpg' srcset='korvel-views-800/a%20b.jpg 800w, "
                  "korvel-views/a%20b.jpg 1600w' sizes='(max-width:800px) 100vw, 800px' alt='a b' border='1' "
                  "align='top absmiddle' width='800' height='600' style='max-width:100%;height:auto'></a>"},
        {all_views, 3200,
         nullptr, "<picture><source type='image/webp' srcset='korvel-views-800-webp/a%20b.jpg.webp 800w, "
                  "korvel-views-webp/a%20b.jpg.webp 1600w' sizes='(max-width:800px) 100vw, 800px'><img "
                  "src='korvel-views-800/a b.jpg' srcset='korvel-views-800/a%20b.jpg 800w, korvel-views/"
                  "a%20b.jpg 1600w' sizes='(max-width:800px) 100vw, 800px' alt='a b' border='1' align='top "
                  "absmiddle' width='800' height='600' style='max-width:100%;height:auto'></picture></a>"},
    };
    PageOptions options;
    options.full_size_thumbnails = options.full_size_sections = false;
    for (const Case& c : cases) {
        ImageList images;
        add_image(images, "a b.jpg", 7, kJan2);
        images.files[0].pieces = c.pieces;
        images.files[0].shown_width = c.width;
        images.files[0].shown_height = c.width / 4 * 3;
        if (c.cell) {
            EXPECT_NE(table(images, options).find(c.cell), std::string::npos) << int{c.pieces};
        }
        if (c.section) {
            EXPECT_NE(entries(images, options).find(c.section), std::string::npos) << int{c.pieces};
        }
    }
    // A long name breaks on a phone rather than widen the page.
    EXPECT_NE(entries(pictures(1), options).find("<a name='1'><br><span style='overflow-wrap:anywhere'>p1.jpg</span>"
                                                 "&nbsp;&nbsp;"),
              std::string::npos);

    // The cells flow in one row; under LAZY the first screen's thumbnails
    // and the first section's picture, in a table that short, come at once.
    ImageList many = pictures(49), fewer = pictures(48);
    options.eager_pictures = false;
    const std::string flowing = table(many, options);
    const std::string start = "<a name='TOP'><table border='0' cellspan='10' cols='12' width='100%' "
                              "style='display:block'><tbody style='display:block'>\n<tr align='center' "
                              "valign='center' style='display:flex;flex-wrap:wrap;justify-content:center'>\n";
    EXPECT_EQ(flowing.substr(0, start.size()), start);
    EXPECT_EQ(flowing.find("</tr>"), flowing.rfind("</tr>"));
    PageOptions lazy;  // LAZY alone: the plain page, every picture lazy
    lazy.eager_pictures = false;
    const std::pair<std::string, const char*> eagerness[] = {
        {flowing, "href='#48'><img src='p48.jpg' alt='p48' border='0' width='60'></a>"},
        {flowing, "href='#49'><img src='p49.jpg' alt='p49' border='0' width='60' loading='lazy'></a>"},
        {entries(many, options), "<img src='p1.jpg' alt='p1' border='1' align='top absmiddle' loading"},
        {entries(fewer, options), "<img src='p1.jpg' alt='p1' border='1' align='top absmiddle'></a>"},
        {entries(fewer, options), "<img src='p2.jpg' alt='p2' border='1' align='top absmiddle' loading"},
        {table(fewer, lazy), "href='#1'><img src='p1.jpg' alt='p1' border='0' width='60' loading='lazy'>"}};
    for (const auto& [page, expected] : eagerness)
        EXPECT_NE(page.find(expected), std::string::npos) << expected;
}

// Albums come in name order; under BYDATE by their first picture's time,
// those without one last, those of one time by name.
TEST(AlbumTable, TheOrderOfAlbums)
{
    std::vector<AlbumCell> albums(5);
    const std::pair<const char*, WallKey> cells[] = {{"b", 20230714180559}, {"A", 0}, {"c", 20230714180559},
                                                     {"a2", 20220101000000}, {"B1", 0}};
    for (std::size_t i = 0; i < albums.size(); ++i) {
        albums[i].name = cells[i].first;
        albums[i].first = cells[i].second;
    }
    PageOptions options;
    const auto names = [&albums] {
        std::string joined;
        for (const AlbumCell& album : albums)
            joined += album.name + " ";
        return joined;
    };
    put_in_album_order(albums, options);
    EXPECT_EQ(names(), "A a2 b B1 c ");
    options.order_by_date = true;
    put_in_album_order(albums, options);
    EXPECT_EQ(names(), "a2 b c A B1 ");
    EXPECT_EQ(day_text_of(20230714180559), "14.Jul.2023");
    EXPECT_EQ(day_text_of(0), "");
}
