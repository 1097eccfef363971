// The built korvel in real folders, without a template: the whole page is
// compared byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/expected_page.h"
#include "support/test_support.h"

namespace {

constexpr std::int64_t kJan2 = 1704190830;   // Tue Jan 02 11:20:30 2024 in the test zone
constexpr std::int64_t kJul14 = 1689368709;  // Fri Jul 14 23:05:09 2023, summer time
const std::string kIndex = "index.html";

// Runs korvel in folder, checks that it succeeded in silence, and gives the page.
std::string make_page(const std::string& folder, const std::vector<std::string>& args = {})
{
    RunResult run = run_korvel(folder, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    return read_file(join_path(folder, kIndex));
}

ShownPicture plain(const std::string& name, const std::string& details)
{
    return ShownPicture{name, name, name.substr(0, name.size() - 4), details};
}

}  // namespace

TEST(GalleryPage, NoPictures)
{
    TempFolder folder("Empty");
    EXPECT_PAGE(make_page(folder.path),
              "<html><head><title>Empty</title></head>\n"
              "<body><center><h1>Empty</h1>\n"
              "<a name='TOP'><table border='0' cellspan='10' cols='12' width='100%'>\n"
              "<tr align='center' valign='center'>\n"
              "</tr></table>\n" +
                  expected_footer());
}

TEST(GalleryPage, OnePictureWrittenOnTheSecondOfJanuary)
{
    TempFolder folder("Holiday 2024");
    make_picture(folder.path, "Beach.jpg", 48213, kJan2);
    EXPECT_PAGE(make_page(folder.path),
              "<html><head><title>Holiday 2024</title></head>\n"
              "<body><center><h1>Holiday 2024</h1>\n"
              "<a name='TOP'><table border='0' cellspan='10' cols='12' width='100%'>\n"
              "<tr align='center' valign='center'>\n"
              "<td width='60' height='60'><a href='#1'><img src='Beach.jpg' alt='Beach' border='0' "
              "width='60'></a></td>\n"
              "</tr></table>\n"
              "<a name='1'><br>Beach.jpg&nbsp;&nbsp;48213&nbsp;&nbsp;02.Jan.2024 11:20:30"
              "<a href='#TOP' style='text-decoration: none;'> [Top] </a>\n"
              "<p><a href='#1'><img src='Beach.jpg' border='1' align='top absmiddle'></a>\n"
              "<hr>\n" +
                  expected_footer());
}

TEST(GalleryPage, RowsOfTwelve)
{
    for (int count : {12, 13, 25}) {
        TempFolder folder("Rows");
        std::map<std::string, ShownPicture> shown;
        for (int i = 1; i <= count; ++i) {
            std::string name = "IMG_" + std::to_string(1000 + i) + ".jpg";
            make_picture(folder.path, name, static_cast<std::uint64_t>(i) * 100, kJul14 + i);
            std::string seconds = std::to_string(9 + i);
            shown[name] = plain(name, std::to_string(i * 100) + "&nbsp;&nbsp;14.Jul.2023 23:05:" +
                                          (seconds.size() < 2 ? "0" : "") + seconds);
        }
        std::string page = make_page(folder.path);
        std::vector<ShownPicture> order = in_listing_order(listed_pictures(folder.path), shown);
        EXPECT_PAGE(page, expected_header("Rows") + expected_gallery(order) + expected_footer()) << count;
    }
}

TEST(GalleryPage, WhichFilesArePictures)
{
    TempFolder folder("Mixed");
    make_picture(folder.path, "UPPER.JPG", 10, kJan2);
    make_picture(folder.path, "skipped.jpeg", 11, kJan2);
    make_picture(folder.path, "notes.txt", 12, kJan2);
    make_picture(folder.path, ".jpg", 13, kJan2);
    make_picture(folder.path, ".dotfile.jpg", 14, kJan2);
    make_picture(folder.path, "empty.jpg", 0, kJan2);
    const std::string when = "&nbsp;&nbsp;02.Jan.2024 11:20:30";
    std::map<std::string, ShownPicture> shown = {
        {"UPPER.JPG", plain("UPPER.JPG", "10" + when)},
        {".jpg", plain(".jpg", "13" + when)},
        {".dotfile.jpg", plain(".dotfile.jpg", "14" + when)},
        {"empty.jpg", plain("empty.jpg", "0" + when)},
    };
    std::string page = make_page(folder.path);
    EXPECT_PAGE(page, expected_header("Mixed") +
                        expected_gallery(in_listing_order(listed_pictures(folder.path), shown)) +
                        expected_footer());
}

TEST(GalleryPage, ThreeGibibytePicture)
{
    TempFolder folder("Big");
    make_picture(folder.path, "panorama.jpg", 3221225472u, kJan2);
    std::string page = make_page(folder.path);
    EXPECT_PAGE(page, expected_header("Big") +
                        expected_gallery({plain("panorama.jpg", "3221225472&nbsp;&nbsp;02.Jan.2024 11:20:30")}) +
                        expected_footer());
}

TEST(GalleryPage, FolderNameIsEscaped)
{
    TempFolder folder("Tom & Jerry's");
    EXPECT_PAGE(make_page(folder.path),
              "<html><head><title>Tom &amp; Jerry&#39;s</title></head>\n"
              "<body><center><h1>Tom &amp; Jerry&#39;s</h1>\n" +
                  expected_gallery({}) + expected_footer());
}

TEST(GalleryPage, HostileNamesAreSafe)
{
    TempFolder folder("Hostile");
    const std::string when = "1&nbsp;&nbsp;02.Jan.2024 11:20:30";
    struct Case {
        std::string name, text, src, alt;
    };
    const std::vector<Case> cases = {
        {"it's.jpg", "it&#39;s.jpg", "it&#39;s.jpg", "it&#39;s"},
        {"a&b.jpg", "a&amp;b.jpg", "a&amp;b.jpg", "a&amp;b"},
        {"#1.jpg", "#1.jpg", "%231.jpg", "#1"},
        {"100%.jpg", "100%.jpg", "100%25.jpg", "100%"},
        {"x' onerror='alert(1).jpg", "x&#39; onerror=&#39;alert(1).jpg", "x&#39; onerror=&#39;alert(1).jpg",
         "x&#39; onerror=&#39;alert(1)"},
#ifdef _WIN32
        // Names arrive in the code page; their high bytes stay raw in URLs.
        {"caf\xe9.jpg", "caf\xe9.jpg", "caf\xe9.jpg", "caf\xe9"},
#else
        // Windows does not allow these characters in names.
        {"say \"hi\".jpg", "say &quot;hi&quot;.jpg", "say &quot;hi&quot;.jpg", "say &quot;hi&quot;"},
        {"<b>.jpg", "&lt;b&gt;.jpg", "&lt;b&gt;.jpg", "&lt;b&gt;"},
        {"why?.jpg", "why?.jpg", "why%3F.jpg", "why?"},
        {"c:d.jpg", "c:d.jpg", "c%3Ad.jpg", "c:d"},
        {"back\\slash.jpg", "back\\slash.jpg", "back%5Cslash.jpg", "back\\slash"},
        {"caf\xc3\xa9.jpg", "caf\xc3\xa9.jpg", "caf%C3%A9.jpg", "caf\xc3\xa9"},
        {"<script>alert(1)<\\script>.jpg", "&lt;script&gt;alert(1)&lt;\\script&gt;.jpg",
         "&lt;script&gt;alert(1)&lt;%5Cscript&gt;.jpg", "&lt;script&gt;alert(1)&lt;\\script&gt;"},
#endif
    };
    std::map<std::string, ShownPicture> shown;
    for (const Case& c : cases) {
        make_picture(folder.path, c.name, 1, kJan2);
        shown[c.name] = ShownPicture{c.text, c.src, c.alt, when};
    }
    std::string page = make_page(folder.path);
    EXPECT_PAGE(page, expected_header("Hostile") +
                        expected_gallery(in_listing_order(listed_pictures(folder.path), shown)) +
                        expected_footer());
}

TEST(GalleryPage, ReplacesTheOldPageAndIgnoresArguments)
{
    TempFolder folder("Again");
    make_picture(folder.path, "one.jpg", 5, kJan2);
    write_file(join_path(folder.path, kIndex), std::string(100000, '#'));
    std::string first = make_page(folder.path);
    EXPECT_PAGE(first, expected_header("Again") +
                         expected_gallery({plain("one.jpg", "5&nbsp;&nbsp;02.Jan.2024 11:20:30")}) +
                         expected_footer());
    EXPECT_EQ(make_page(folder.path, {"--help", "-v", "NODATE", "*.png"}), first);
}

TEST(GalleryPage, APageThatCannotBeCreatedFails)
{
    TempFolder folder("Blocked");
    make_picture(folder.path, "one.jpg", 5, kJan2);
    std::filesystem::create_directory(join_path(folder.path, kIndex));
    RunResult run = run_korvel(folder.path);
    EXPECT_EQ(run.status, kFailureStatus);
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(std::filesystem::is_directory(join_path(folder.path, kIndex)));
}

