// The built korvel with a template "korvel0.htm": the whole page is compared
// byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/expected_page.h"
#include "support/test_support.h"
#include "web_pictures/jpeg_codec.h"

namespace {

constexpr std::int64_t kJan2 = 1704190830;  // Tue Jan 02 11:20:30 2024 in the test zone

const std::string kHeader = expected_header("Trip");
const ShownPicture kBeach{"Beach.jpg", "Beach.jpg", "Beach", "48213&nbsp;&nbsp;02.Jan.2024 11:20:30"};
const std::string kGallery = expected_gallery({kBeach});

// The page made in a folder "Trip" holding Beach.jpg and the template.
std::string page_with_template(const std::string& template_text, bool with_picture = true)
{
    TempFolder folder("Trip");
    if (with_picture)
        make_picture(folder.path, "Beach.jpg", 48213, kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), template_text);
    RunResult run = run_korvel(folder.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    return read_file(join_path(folder.path, "index.html"));
}

}  // namespace

TEST(TemplatePage, TagAloneOnTheFirstLine)
{
    EXPECT_PAGE(page_with_template("<KORVEL>\n"),  // the bare tag is no marker
              "<KORVEL>\n" + kGallery + expected_footer());
    EXPECT_PAGE(page_with_template("<KORVEL >\n<p>Bye</p>\n"),
              kHeader + kGallery + "\n<p>Bye</p>\n" + expected_footer());
    // LAZY: the default page, each picture loading only as it nears the view.
    std::string lazy = kGallery;
    for (const char* end : {" width='60'>", " align='top absmiddle'>"})
        lazy.insert(lazy.find(end) + std::string(end).size() - 1, " loading='lazy'");
    EXPECT_PAGE(page_with_template("<KORVEL lazy>\n"), kHeader + lazy + "\n" + expected_footer());
}

TEST(TemplatePage, TagOnTheThirdLineWithOptions)
{
    std::string page = page_with_template(
        "<html><head><title>My trip</title></head>\n<body>\n<KORVEL nodate border='1'>\n</body></html>\n");
    ShownPicture no_date = kBeach;
    no_date.details = "48213&nbsp;&nbsp;11:20:30";
    EXPECT_PAGE(page, "<html><head><title>My trip</title></head>\n<body>\n" +
                        expected_gallery({no_date}, "BORDER='1'") + "\n</body></html>\n" + expected_footer());
}

TEST(TemplatePage, EveryDetailSwitchedOff)
{
    std::string page = page_with_template("<KORVEL NONAME NODET NOHR>\n");
    EXPECT_PAGE(page, kHeader +
                        "<a name='TOP'><table border='0' cellspan='10' cols='12' width='100%'>\n"
                        "<tr align='center' valign='center'>\n"
                        "<td width='60' height='60'><a href='#1'><img src='Beach.jpg' alt='Beach' border='0' "
                        "width='60'></a></td>\n"
                        "</tr></table>\n"
                        "<a name='1'><br>&nbsp;&nbsp;<a href='#TOP' style='text-decoration: none;'> [Top] </a>\n"
                        "<p><a href='#1'><img src='Beach.jpg' border='1' align='top absmiddle'></a>\n"
                        "<br>\n\n" +
                        expected_footer());
    page = page_with_template("<KORVEL NOEXT NOTIME NOFILESIZE>");
    EXPECT_NE(page.find("<a name='1'><br>Beach&nbsp;&nbsp;02.Jan.2024 <a href='#TOP'"), std::string::npos);
}

TEST(TemplatePage, WithoutAMarkerTheTemplateComesFirst)
{
    const std::string text = "<html><body>\n<korvel nodate>\n<KORVELX nodate>\n<p>no marker here</p>\n";
    EXPECT_PAGE(page_with_template(text), text + kGallery + expected_footer());
    EXPECT_PAGE(page_with_template(""), kGallery + expected_footer());
}

TEST(TemplatePage, BareTagThenRealMarker)
{
    EXPECT_PAGE(page_with_template("<!-- <KORVEL> goes below -->\n<KORVEL NOHR>\n"),
              "<!-- <KORVEL> goes below -->\n" + expected_gallery({kBeach}).replace(
                                                    expected_gallery({kBeach}).size() - 5, 5, "<br>\n") +
                  "\n" + expected_footer());
}

TEST(TemplatePage, TextBeforeAndAfterTheTag)
{
    EXPECT_PAGE(page_with_template("<table><tr>\n<td><KORVEL></td><td><KORVEL NOFILESIZE></td></tr>\n</table>\n"),
              "<table><tr>\n<td><KORVEL></td><td><KORVEL NOFILESIZE></td></tr>\n</table>\n" + kGallery +
                  expected_footer());
    ShownPicture no_size = kBeach;
    no_size.details = "02.Jan.2024 11:20:30";
    EXPECT_PAGE(page_with_template("<div class='g'><KORVEL NOFILESIZE></div>\n<p>end</p>\n"),
              "<div class='g'>" + kHeader + expected_gallery({no_size}) + "</div>\n<p>end</p>\n" + expected_footer());
}

TEST(TemplatePage, TagBehindTheFirst259Characters)
{
    const std::string filler(300, '-');
    EXPECT_PAGE(page_with_template(filler + "<KORVEL NOTIME>after\nlast\n"),
              filler + expected_gallery({ShownPicture{"Beach.jpg", "Beach.jpg", "Beach",
                                                      "48213&nbsp;&nbsp;02.Jan.2024 "}}) +
                  "after\nlast\n" + expected_footer());
}

TEST(TemplatePage, TagSpreadOverTwoLines)
{
    ShownPicture no_date = kBeach;
    no_date.details = "48213&nbsp;&nbsp;11:20:30";
    EXPECT_PAGE(page_with_template("<h2>Trip</h2>\n<KORVEL\n  NODATE>behind\n<p>end</p>\n"),
              "<h2>Trip</h2>\n" + expected_gallery({no_date}) + "behind\n<p>end</p>\n" + expected_footer());
}

TEST(TemplatePage, TagNeverClosed)
{
    ShownPicture no_date = kBeach;
    no_date.details = "48213&nbsp;&nbsp;11:20:30";
    EXPECT_PAGE(page_with_template("<KORVEL NODATE\nnothing closes this tag\n"), kHeader + expected_gallery({no_date}) + expected_footer());
}

TEST(TemplatePage, CrLfLineEndsAndNoFinalLineEnd)
{
    EXPECT_PAGE(page_with_template("<html>\r\n<body>\r\n<KORVEL>\r\n<KORVEL >\r\n</body>\r\n</html>"),
              "<html>\n<body>\n<KORVEL>\n" + kGallery + "\n</body>\n</html>" + expected_footer());
    EXPECT_PAGE(page_with_template("a\rb\n<KORVEL >tail"), "a\rb\n" + kGallery + "tail" + expected_footer());
}

TEST(TemplatePage, TemplateAndNoPictures)
{
    EXPECT_PAGE(page_with_template("<h1>Nothing yet</h1>\n<KORVEL>\n<KORVEL NODATE>\n<p>end</p>\n", false),
              "<h1>Nothing yet</h1>\n<KORVEL>\n" + expected_gallery({}) + "\n<p>end</p>\n" + expected_footer());
}

// THUMBS: the table shows thumbnails, made once and kept up to date; a
// picture that makes none keeps itself, and a user's own files stay, at a
// picture's name too. Each
// picture whose size is known is drawn at it, its section at half its
// pixels and no wider than the screen, its thumbnail 60 wide.
TEST(TemplatePage, ThumbnailsMadeOnce)
{
    TempFolder folder("Trip");
    const std::string thumbs = join_path(folder.path, "korvel-thumbs");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        make_jpeg(folder.path, name, 400, 300, kJan2);
    make_file(folder.path, "broken.jpg", "not a picture", kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS>\n");
    make_jpeg(folder.path, "d.jpg", 400, 300, kJan2);
    std::filesystem::create_directory(std::filesystem::u8path(thumbs));
    make_jpeg(thumbs, "d.jpg", 60, 45, kJan2);  // the user's own, at a picture's name
    const std::string users = read_file(join_path(thumbs, "d.jpg"));
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    const std::string page = read_file(join_path(folder.path, "index.html"));
    EXPECT_EQ(page.find("korvel-thumbs/d.jpg"), std::string::npos);
    const std::string a_cell = "<td width='60' height='60'><a href='#1'><picture><source type='image/webp' srcset='"
                               "korvel-thumbs-60-webp/a.jpg.webp 1x, korvel-thumbs-webp/a.jpg.webp 2x'><img "
                               "src='korvel-thumbs-60/a.jpg' srcset='korvel-thumbs-60/a.jpg 1x, korvel-thumbs/a.jpg "
                               "2x' alt='a' border='0' width='60' height='45'></picture></a></td>\n";
    EXPECT_NE(page.find(native_line_ends(a_cell)), std::string::npos);
    EXPECT_NE(page.find("<img src='broken.jpg' alt='broken' border='0' width='60'>"), std::string::npos);
    EXPECT_NE(page.find("<img src='a.jpg' alt='a' border='1' align='top absmiddle' width='200' height='150' "
                        "style='max-width:100%;height:auto'></a>"),
              std::string::npos);
    EXPECT_NE(page.find("<img src='broken.jpg' alt='broken' border='1' align='top absmiddle'></a>"), std::string::npos);
    EXPECT_EQ(folder_entries(thumbs), (std::vector<std::string>{".korvel-record", "a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    const std::string c = read_file(join_path(thumbs, "c.jpg"));

    make_file(thumbs, "a.jpg", "current, so never rewritten", kJan2);
    write_file(join_path(thumbs, std::string(".c.jpg") + kOwnTemporaryMark + "Left00Left00"), "a killed run's");
    make_jpeg(thumbs, "own.jpg", 200, 100, kJan2);
    write_file(join_path(thumbs, "notes.txt"), "the user's own");
    std::filesystem::remove(std::filesystem::u8path(join_path(folder.path, "b.jpg")));
    make_jpeg(folder.path, "c.jpg", 300, 400, kJan2 + 60);
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_EQ(folder_entries(thumbs),
              (std::vector<std::string>{".korvel-record", "a.jpg", "c.jpg", "d.jpg", "notes.txt", "own.jpg"}));
    EXPECT_EQ(read_file(join_path(thumbs, "a.jpg")), "current, so never rewritten");
    EXPECT_EQ(read_file(join_path(thumbs, "d.jpg")), users);
    EXPECT_NE(read_file(join_path(thumbs, "c.jpg")), c);
    const std::string again = read_file(join_path(folder.path, "index.html"));
    EXPECT_NE(again.find(native_line_ends(a_cell)), std::string::npos);
    EXPECT_NE(again.find("korvel-thumbs/c.jpg 2x' alt='c' border='0' width='60' height='80'>"), std::string::npos);
    EXPECT_NE(again.find("<img src='c.jpg' alt='c' border='1' align='top absmiddle' width='150' height='200' "),
              std::string::npos);
}

// VIEWS: each section shows its picture's web-size view, drawn at half
// its pixels, with the picture itself one click away; a picture no larger
// than a view shows itself, at its size, and one that makes none shows
// itself as it always did. Made once and kept up to date, as thumbnails
// are; the table stays as it is without THUMBS.
TEST(TemplatePage, ViewsMadeOnce)
{
    TempFolder folder("Trip");
    const std::string views = join_path(folder.path, "korvel-views");
    make_jpeg(folder.path, "Boats & bay.jpg", 2400, 1800, kJan2);
    make_jpeg(folder.path, "b.jpg", 2000, 3000, kJan2);
    make_jpeg(folder.path, "small.jpg", 800, 600, kJan2);
    make_file(folder.path, "z broken.jpg", "not a picture", kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL VIEWS LAZY>\n");
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    const std::string page = read_file(join_path(folder.path, "index.html"));
    const std::string top = "<a href='#TOP' style='text-decoration: none;'> [Top] </a>";
    const std::string fit = " style='max-width:100%;height:auto'";
    const std::string boats_webp = "korvel-views-800-webp/Boats%20&amp;%20bay.jpg.webp 800w, "
                                   "korvel-views-webp/Boats%20&amp;%20bay.jpg.webp 1600w";
    const std::string boats_jpeg = "korvel-views-800/Boats%20&amp;%20bay.jpg 800w, korvel-views/Boats%20&amp;%20bay.jpg 1600w";
    const std::string b_webp = "korvel-views-800-webp/b.jpg.webp 533w, korvel-views-webp/b.jpg.webp 1067w";
    const std::string b_jpeg = "korvel-views-800/b.jpg 533w, korvel-views/b.jpg 1067w";
    for (const std::string& section :
         {top + "<a href='Boats &amp; bay.jpg' style='text-decoration: none;'> [Full size] </a>\n<p><a href='#3'>"
                "<picture><source type='image/webp' srcset='" + boats_webp + "' sizes='(max-width:800px) 100vw, "
                "800px'><img src='korvel-views-800/Boats &amp; bay.jpg' srcset='" + boats_jpeg + "' sizes='(max-width:"
                "800px) 100vw, 800px' alt='Boats &amp; bay' border='1' align='top absmiddle' width='800' height='600'" +
                fit + " loading='lazy'></picture></a>",
          top + "<a href='b.jpg' style='text-decoration: none;'> [Full size] </a>\n<p><a href='#2'><picture><source "
                "type='image/webp' srcset='" + b_webp + "' sizes='(max-width:534px) 100vw, 534px'><img "
                "src='korvel-views-800/b.jpg' srcset='" + b_jpeg + "' sizes='(max-width:534px) 100vw, 534px' alt='b' "
                "border='1' align='top absmiddle' width='534' height='800'" + fit + "></picture></a>",
          "<img src='small.jpg' alt='small' border='1' align='top absmiddle' width='400' height='300'" + fit + " "
                "loading='lazy'></a>",
          top + "<a href='z broken.jpg' style='text-decoration: none;'> [Full size] </a>\n<p><a href='#1'><img "
                "src='z broken.jpg' alt='z broken' border='1' align='top absmiddle' loading='lazy'></a>",
          std::string("<img src='b.jpg' alt='b' border='0' width='60'></a>")})
        EXPECT_NE(page.find(native_line_ends(section)), std::string::npos) << section;
    EXPECT_EQ(folder_entries(views), (std::vector<std::string>{".korvel-record", "Boats & bay.jpg", "b.jpg"}));
    const std::string webp = views + "-800-webp";
    EXPECT_EQ(folder_entries(webp), (std::vector<std::string>{".korvel-record", "Boats & bay.jpg.webp", "b.jpg.webp"}));
    write_file(join_path(webp, "own.jpg.webp"), "the user's own");
    EXPECT_FALSE(file_exists(join_path(folder.path, "korvel-thumbs")));

    make_file(views, "b.jpg", "current, so never rewritten", kJan2);
    make_jpeg(views, "own.jpg", 2000, 1000, kJan2);
    std::filesystem::remove(std::filesystem::u8path(join_path(folder.path, "Boats & bay.jpg")));
    make_jpeg(folder.path, "small.jpg", 1800, 1000, kJan2 + 60);
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_EQ(folder_entries(views), (std::vector<std::string>{".korvel-record", "b.jpg", "own.jpg", "small.jpg"}));
    EXPECT_EQ(read_file(join_path(views, "b.jpg")), "current, so never rewritten");
    // The WebP pieces go with their pictures, and the user's own stay.
    EXPECT_EQ(folder_entries(webp),
              (std::vector<std::string>{".korvel-record", "b.jpg.webp", "own.jpg.webp", "small.jpg.webp"}));
    EXPECT_NE(read_file(join_path(folder.path, "index.html"))
                  .find("korvel-views/small.jpg 1600w' sizes='(max-width:800px) 100vw, 800px' alt='small' border='1' "
                        "align='top absmiddle' width='800' height='445'"),
              std::string::npos);
}

// A folder of pieces found unchanged is noted as such on its record, and
// the next run takes its names from the record instead of listing it: a
// user's own file at a new picture's piece name still stays, the pieces
// of a picture gone still go, and a piece removed by hand (the folder
// changed) is made again.
TEST(TemplatePage, AFolderOfPiecesNotListedAgain)
{
    TempFolder folder("Trip");
    const std::string thumbs = join_path(folder.path, "korvel-thumbs");
    for (const char* name : {"a.jpg", "b.jpg"})
        make_jpeg(folder.path, name, 400, 300, kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS>\n");
    std::filesystem::create_directory(std::filesystem::u8path(thumbs));
    make_jpeg(thumbs, "c.jpg", 60, 45, kJan2);  // the user's own, at a later picture's name
    const std::string users = read_file(join_path(thumbs, "c.jpg"));
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    const NamesNote kept = names_note(thumbs);
    EXPECT_NE(kept, NamesNote::noted);  // listed within a tick of its last change
    // Past the coarsest tick of a file system's times, the folder as the
    // first run left it is noted.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_TRUE(kept == NamesNote::not_kept || names_note(thumbs) == NamesNote::noted);

    make_jpeg(folder.path, "c.jpg", 400, 300, kJan2);
    std::filesystem::remove(std::filesystem::u8path(join_path(folder.path, "b.jpg")));
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_EQ(folder_entries(thumbs), (std::vector<std::string>{".korvel-record", "a.jpg", "c.jpg"}));
    EXPECT_TRUE(read_file(join_path(thumbs, "c.jpg")) == users);
    EXPECT_NE(read_file(join_path(folder.path, "index.html")).find("<img src='c.jpg' alt='c' border='0' width='60'"),
              std::string::npos);

    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_TRUE(kept == NamesNote::not_kept || names_note(thumbs) == NamesNote::noted);
    std::filesystem::remove(std::filesystem::u8path(join_path(thumbs, "a.jpg")));
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_TRUE(file_exists(join_path(thumbs, "a.jpg")));
    EXPECT_NE(read_file(join_path(folder.path, "index.html")).find("korvel-thumbs/a.jpg 2x"), std::string::npos);
}

namespace {

// The colour at the middle of a thumbnail that korvel made, or black when
// there is none.
struct Shade {
    int r = 0, g = 0, b = 0;
};
Shade middle_of(const std::string& path)
{
    const std::string jpeg = read_file(path);
    const unsigned char* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    JpegHeader header;
    Shade shade;
    unsigned width = 0, height = 0;
    if (!read_jpeg_header(data, jpeg.size(), header))
        return shade;
    std::free(header.icc);
    scaled_size(header, 1, width, height);
    std::vector<unsigned char> rgb(std::size_t{width} * height * 3);
    if (decode_jpeg(data, jpeg.size(), 1, 64 << 20, rgb.data())) {
        const unsigned char* p = &rgb[(std::size_t{height / 2} * width + width / 2) * 3];
        shade = {p[0], p[1], p[2]};
    }
    return shade;
}

bool near(Shade a, const JpegRecipe& b)
{
    return std::abs(a.r - b.r) < 24 && std::abs(a.g - b.g) < 24 && std::abs(a.b - b.b) < 24;
}

bool shows_thumbnail(const std::string& page, const std::string& name)
{
    return page.find("korvel-thumbs/" + name + " 2x'") != std::string::npos;
}

}  // namespace

// Progressive pictures of a camera's size, and baseline ones whose colours
// come in scans of their own, get thumbnails and views, as others do; a progressive picture whose scan repeats past any real
// picture's keeps itself in its cell and its section, and so does the page.
TEST(TemplatePage, ThumbnailsAndViewsOfProgressivePictures)
{
    struct Case {
        const char* name;
        unsigned width, height;
        JpegRecipe recipe;
        bool made;
    };
    JpegRecipe full, half, bomb, scans;
    full.progressive = half.progressive = bomb.progressive = true;
    full.subsampled = false;
    bomb.repeats = 200;
    scans.scans_per_colour = true;
    const Case cases[] = {{"full-colour.jpg", 4000, 3000, full, true},
                          {"camera.jpg", 6000, 4000, half, true},
                          {"scans.jpg", 6000, 4000, scans, true},
                          {"bomb.jpg", 2000, 1500, bomb, false}};
    TempFolder folder("Trip");
    for (const Case& c : cases)
        make_file(folder.path, c.name, recipe_jpeg(c.width, c.height, c.recipe), kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS>\n");
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    const std::string page = read_file(join_path(folder.path, "index.html"));
    for (const Case& c : cases) {
        EXPECT_EQ(shows_thumbnail(page, c.name), c.made) << c.name;
        EXPECT_EQ(page.find(std::string("korvel-views/") + c.name + " ") != std::string::npos, c.made)
            << c.name;
        if (c.made) {
            EXPECT_TRUE(near(middle_of(join_path(folder.path, std::string("korvel-thumbs/") + c.name)), c.recipe));
            EXPECT_TRUE(near(middle_of(join_path(folder.path, std::string("korvel-views/") + c.name)), c.recipe));
        } else {
            EXPECT_NE(page.find(std::string("<img src='") + c.name + "' alt="), std::string::npos) << c.name;
            EXPECT_NE(page.find(std::string("<img src='") + c.name + "' alt="), std::string::npos) << c.name;
        }
    }
}

// Each cell shows its own picture's thumbnail, and each section its view,
// whatever was done to the pictures between two runs with times that
// cannot tell: rewritten within the same second, swapped by name, copied
// over one another with the old time kept, renamed only in case; and a
// damaged record only costs making them again.
TEST(TemplatePage, ThumbnailsFollowTheirPictures)
{
    TempFolder folder("Trip");
    const std::string thumbs = join_path(folder.path, "korvel-thumbs");
    const std::string views = join_path(folder.path, "korvel-views");
    JpegRecipe red, blue, green;
    red.pad_to = blue.pad_to = green.pad_to = 65536;  // all of one size
    blue.r = 40, blue.b = 200;
    green.r = 40, green.g = 200;
    auto put = [&](const char* name, const JpegRecipe& recipe, std::uint32_t nanoseconds) {
        make_file(folder.path, name, recipe_jpeg(1800, 1200, recipe), kJan2, nanoseconds);
        EXPECT_EQ(read_file(join_path(folder.path, name)).size(), 65536u);
    };
    auto run_and_expect = [&](const char* step, std::vector<std::pair<const char*, JpegRecipe>> shown) {
        ASSERT_EQ(run_korvel(folder.path).status, 0) << step;
        const std::string page = read_file(join_path(folder.path, "index.html"));
        for (const auto& [name, recipe] : shown) {
            EXPECT_TRUE(shows_thumbnail(page, name)) << step << ": " << name;
            EXPECT_TRUE(near(middle_of(join_path(thumbs, name)), recipe)) << step << ": " << name;
            EXPECT_NE(page.find(std::string("korvel-views/") + name + " "), std::string::npos) << step;
            EXPECT_TRUE(near(middle_of(join_path(views, name)), recipe)) << step << ": " << name;
        }
    };
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS>\n");
    put("a.jpg", red, 250000000);
    put("b.jpg", blue, 0);
    put("c.jpg", green, 0);
    run_and_expect("first", {{"a.jpg", red}, {"b.jpg", blue}, {"c.jpg", green}});

    put("a.jpg", blue, 750000000);
    run_and_expect("rewritten within the second", {{"a.jpg", blue}});

    std::filesystem::rename(std::filesystem::u8path(join_path(folder.path, "b.jpg")),
                            std::filesystem::u8path(join_path(folder.path, "swap.tmp")));
    std::filesystem::rename(std::filesystem::u8path(join_path(folder.path, "c.jpg")),
                            std::filesystem::u8path(join_path(folder.path, "b.jpg")));
    std::filesystem::rename(std::filesystem::u8path(join_path(folder.path, "swap.tmp")),
                            std::filesystem::u8path(join_path(folder.path, "c.jpg")));
    run_and_expect("swapped by name", {{"b.jpg", green}, {"c.jpg", blue}});

    put("c.jpg", red, 0);  // copied over with the time it had
    run_and_expect("copied over", {{"b.jpg", green}, {"c.jpg", red}});

    write_file(join_path(thumbs, ".korvel-record"), "korvel thumbnail record 1\n+ 65536 0 0 0 0 1 1 5 a.jpg\n");
    make_file(thumbs, "a.jpg", read_file(join_path(thumbs, "b.jpg")), kJan2);  // and a.jpg's thumbnail b.jpg's
    run_and_expect("with a damaged record", {{"a.jpg", blue}, {"b.jpg", green}, {"c.jpg", red}});

    // Where the file system ignores case (NTFS, FAT, SMB), the old name is
    // the new one's file, and never removed as stale.
    // (Through another name: wine takes a rename to the same name in
    // another case for no change.)
    std::filesystem::rename(std::filesystem::u8path(join_path(folder.path, "b.jpg")),
                            std::filesystem::u8path(join_path(folder.path, "case.tmp")));
    std::filesystem::rename(std::filesystem::u8path(join_path(folder.path, "case.tmp")),
                            std::filesystem::u8path(join_path(folder.path, "B.JPG")));
    ASSERT_EQ(in_name_order(listed_pictures(folder.path)), (std::vector<std::string>{"a.jpg", "B.JPG", "c.jpg"}));
    run_and_expect("renamed only in case", {{"B.JPG", green}, {"c.jpg", red}});
}

// A lock that no run holds and none can take (something not a file at its
// name, a folder one may not write in) is no lock to wait for: the run
// uses the folder as it is.
TEST(TemplatePage, NoWaitForALockThatNoRunHolds)
{
    TempFolder folder("Trip");
    const std::string thumbs = join_path(folder.path, "korvel-thumbs");
    make_jpeg(folder.path, "a.jpg", 400, 300, kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS>\n");
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    std::filesystem::create_directory(std::filesystem::u8path(join_path(thumbs, ".korvel-lock")));
    make_jpeg(folder.path, "b.jpg", 400, 300, kJan2);
    ASSERT_EQ(run_korvel(folder.path).status, 0);
    const std::string page = read_file(join_path(folder.path, "index.html"));
    EXPECT_NE(page.find("korvel-thumbs/a.jpg 2x"), std::string::npos);
    EXPECT_NE(page.find("korvel-thumbs/b.jpg 2x"), std::string::npos);
}

// While another run holds the folder of views (from reading its record to
// writing it), a run writes nothing there: it waits, then makes what the
// record, as the other left it, does not hold, and succeeds.
TEST(TemplatePage, ARunWaitsForAnotherInTheFolderOfViews)
{
    TempFolder folder("Trip");
    const std::string views = join_path(folder.path, "korvel-views");
    make_jpeg(folder.path, "a.jpg", 2400, 1800, kJan2);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS>\n");
    std::filesystem::create_directory(std::filesystem::u8path(views));
    StartedRun run;
    {
        HeldFile held(lock_of_folder(views));
        run = start_korvel(folder.path);
        bool written = false;
        for (int waited_ms = 0; waited_ms < 3000 && !written; waited_ms += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const std::string& name : folder_entries(views))
                written = written || name != ".korvel-lock";
        }
        EXPECT_FALSE(written) << "a view written while another run holds the folder";
    }
    EXPECT_EQ(wait_for(run).status, 0);
    EXPECT_TRUE(file_exists(join_path(views, "a.jpg")));
    EXPECT_NE(read_file(join_path(folder.path, "index.html")).find("korvel-views/a.jpg "), std::string::npos);
}
