// The built korvel over a tree of albums (ALBUMS in the top's template):
// which folders get pages, what each shows, that every link leads to a
// file, and that an unchanged tree is left as it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/expected_page.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kJan2 = 1704190830;   // Tue Jan 02 11:20:30 2024 in the test zone
constexpr std::int64_t kJan5 = kJan2 + 3 * 86400;
constexpr std::int64_t kJul14 = 1689368709;  // Fri Jul 14 23:05:09 2023
const std::string kOwnPage = "<html><body>my own page</body></html>\n";

fs::path native(const std::string& path)
{
    return fs::u8path(path);
}

// The folder rel ("a/b") below root, made with the folders on the way.
std::string folder_in(const std::string& root, const std::string& rel)
{
    fs::create_directories(native(root) / fs::u8path(rel));
    return (native(root) / fs::u8path(rel)).make_preferred().u8string();
}

std::string page_of(const std::string& root, const std::string& rel)
{
    return (native(root) / fs::u8path(rel) / "index.html").make_preferred().u8string();
}

// A tree of every kind of folder, under a top folder "Pictures" whose
// template asks for albums.
struct Tree {
    TempFolder top{"Pictures"};
    explicit Tree(const std::string& marker = "<KORVEL ALBUMS>\n")
    {
        write_file(join_path(top.path, "korvel0.htm"), marker);
        make_picture(top.path, "top.jpg", 100, kJan2);
        make_picture(folder_in(top.path, "2024/Summer/Beach"), "a.jpg", 200, kJul14);
        make_picture(folder_in(top.path, "2024/Summer"), "b.jpg", 300, kJan2);
        make_picture(folder_in(top.path, "2024/Winter"), "snow.jpg", 400, kJan5);
        make_picture(folder_in(top.path, ".hidden"), "x.jpg", 1, kJan2);
        make_picture(folder_in(top.path, "Skip"), "x.jpg", 1, kJan2);
        write_file(join_path(folder_in(top.path, "Skip"), ".nomedia"), "");
        write_file(join_path(folder_in(top.path, "Empty/Deeper"), "notes.txt"), "no picture");
        make_picture(folder_in(top.path, "korvel-thumbs"), "x.jpg", 1, kJan2);
        make_picture(folder_in(top.path, "Trip.jpg"), "inside.jpg", 10, kJan2);
        make_picture(folder_in(top.path, "Mine"), "m.jpg", 10, kJan2);
        write_file(join_path(folder_in(top.path, "Mine"), "index.html"), kOwnPage);
        make_picture(folder_in(top.path, u8"A #1%'\u00e9 & b"), "p.jpg", 10, kJan2);
    }
};

// Every page of the tree, by its folder below the top ("" for the top).
std::map<std::string, std::string> pages_of(const std::string& root)
{
    std::map<std::string, std::string> pages;
    for (const auto& entry : fs::recursive_directory_iterator(native(root)))
        if (entry.path().filename() == "index.html")
            pages[fs::relative(entry.path().parent_path(), native(root)).generic_u8string()] =
                read_file(entry.path().u8string());
    if (pages.count("."))
        pages[""] = pages["."], pages.erase(".");
    return pages;
}

// The file a link of a page leads a browser to: the attribute's entities,
// then its percent escapes, give back the bytes of the path.
std::string file_of_url(const std::string& url)
{
    static const char* const entities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#39;", "'"}, {"&quot;", "\""}};
    std::string unescaped;
    for (std::size_t i = 0; i < url.size();) {
        bool entity = false;
        for (const auto& e : entities)
            if (url.compare(i, std::string(e[0]).size(), e[0]) == 0) {
                unescaped += e[1];
                i += std::string(e[0]).size();
                entity = true;
            }
        if (!entity)
            unescaped += url[i++];
    }
    std::string out;
    for (std::size_t i = 0; i < unescaped.size(); ++i)
        if (unescaped[i] == '%' && i + 2 < unescaped.size()) {
            out += static_cast<char>(std::stoi(unescaped.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += unescaped[i];
        }
    return out;
}

// The links (href) and pictures (src, srcset) of a page that lead to
// files, each as it stands.
std::vector<std::string> file_links_of(const std::string& page)
{
    std::vector<std::string> links;
    for (const char* attribute : {"href='", "src='", "srcset='"})
        for (std::size_t at = page.find(attribute); at != std::string::npos;
             at = page.find(attribute, at + 1)) {
            const std::size_t from = at + std::string(attribute).size();
            const std::string value = page.substr(from, page.find('\'', from) - from);
            for (std::size_t start = 0; start < value.size();) {
                std::size_t end = value.find(", ", start);
                std::string url = value.substr(start, end == std::string::npos ? std::string::npos : end - start);
                if (std::string(attribute) == "srcset='")
                    url = url.substr(0, url.find(' '));  // a srcset's " 1x": a blank of its URL is escaped
                if (!url.empty() && url[0] != '#' && url.find("http") != 0)
                    links.push_back(url);
                start = end == std::string::npos ? value.size() : end + 2;
            }
        }
    return links;
}

int run_status(const std::string& folder)
{
    RunResult run = run_korvel(folder);
    EXPECT_EQ(run.output, "");
    return run.status;
}

}  // namespace

TEST(Albums, WhichFoldersAreAlbums)
{
    Tree tree;
    // A folder's own template frames its page and those below it.
    write_file(join_path(folder_in(tree.top.path, "2024/Summer"), "korvel0.htm"), "<!-- summer -->\n<KORVEL>\n");
    ASSERT_EQ(run_status(tree.top.path), 0);
    std::map<std::string, std::string> pages = pages_of(tree.top.path);
    std::vector<std::string> folders;
    for (const auto& page : pages)
        folders.push_back(page.first);
    // Dot-folders, .nomedia, a folder without pictures below it and
    // korvel's own folders get no page; a folder named as a picture does.
    EXPECT_EQ(folders, (std::vector<std::string>{"", "2024", "2024/Summer", "2024/Summer/Beach", "2024/Winter",
                                                 u8"A #1%'\u00e9 & b", "Mine", "Trip.jpg"}));
    EXPECT_EQ(pages["Mine"], kOwnPage);  // the user's own, never written
    for (const auto& page : pages) {
        EXPECT_TRUE(page.first == "Mine" || page.second.find("Korvel") != std::string::npos) << page.first;
        for (const std::string& link : file_links_of(page.second))
            EXPECT_TRUE(file_exists((native(tree.top.path) / fs::u8path(page.first) / fs::u8path(file_of_url(link)))
                                        .lexically_normal()
                                        .u8string()))
                << page.first << ": " << link;
    }
    for (const auto& page : pages)
        EXPECT_EQ(page.second.find("<!-- summer -->") != std::string::npos, page.first.rfind("2024/Summer", 0) == 0)
            << page.first;
    // Trip.jpg is an album, not a picture of the top's.
    EXPECT_EQ(pages[""].find("<img src='Trip.jpg'"), std::string::npos);
}

TEST(Albums, TheWayBackAndTheCells)
{
    Tree tree;
    ASSERT_EQ(run_status(tree.top.path), 0);
    const auto cell = [](const std::string& link, const std::string& cover, const std::string& name,
                         const std::string& count, const std::string& span) {
        return "<td><a href='" + link + "/index.html'><img src='" + link + "/" + cover +
               "' alt='' border='0' width='60'><br>" + name + "</a><br>" + count + "<br>" + span + "</td>\n";
    };
    const std::string table = "<table border='0' width='100%'>\n<tr align='center' valign='top'>\n";
    // An album without pictures of its own shows its first album's cover.
    EXPECT_PAGE(read_file(page_of(tree.top.path, "")),
                expected_header("Pictures") + table +
                    cell("2024", "Summer/b.jpg", "2024", "3 pictures", "14.Jul.2023 &ndash; 05.Jan.2024") +
                    cell("A %231%25&#39;%C3%A9 &amp; b", "p.jpg", "A #1%&#39;&#233; &amp; b", "1 picture",
                         "02.Jan.2024") +
                    cell("Mine", "m.jpg", "Mine", "1 picture", "02.Jan.2024") +
                    cell("Trip.jpg", "inside.jpg", "Trip.jpg", "1 picture", "02.Jan.2024") + "</tr></table>\n" +
                    expected_gallery({ShownPicture{"top.jpg", "top.jpg", "top", "100&nbsp;&nbsp;02.Jan.2024 11:20:30"}}) +
                    "\n" + expected_footer());
    // A page without pictures of its own shows its albums alone, after
    // the way back; the folder's name heads it.
    EXPECT_PAGE(read_file(page_of(tree.top.path, "2024")),
                expected_header("2024") + "<p><a href='../index.html'>Pictures</a> / 2024</p>\n" + table +
                    cell("Summer", "b.jpg", "Summer", "2 pictures", "14.Jul.2023 &ndash; 02.Jan.2024") +
                    cell("Winter", "snow.jpg", "Winter", "1 picture", "05.Jan.2024") + "</tr></table>\n\n" +
                    expected_footer());
    EXPECT_PAGE(read_file(page_of(tree.top.path, "2024/Summer/Beach")),
                expected_header("Beach") +
                    "<p><a href='../../../index.html'>Pictures</a> / <a href='../../index.html'>2024</a> / "
                    "<a href='../index.html'>Summer</a> / Beach</p>\n" +
                    expected_gallery({ShownPicture{"a.jpg", "a.jpg", "a", "200&nbsp;&nbsp;14.Jul.2023 23:05:09"}}) +
                    "\n" + expected_footer());
}

// An unchanged tree writes no page; a changed picture writes its album's
// page, and its ancestors' only where their cells changed.
TEST(Albums, MadeOnce)
{
    Tree tree;
    ASSERT_EQ(run_status(tree.top.path), 0);
    const std::vector<std::string> albums = {"", "2024", "2024/Summer", "2024/Summer/Beach", "2024/Winter", "Mine"};
    const auto two_days_ago = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (const std::string& album : albums)
        fs::last_write_time(native(page_of(tree.top.path, album)), two_days_ago);
    const auto old = fs::last_write_time(native(page_of(tree.top.path, "")));  // as the file system keeps it
    ASSERT_EQ(run_status(tree.top.path), 0);
    for (const std::string& album : albums)
        EXPECT_EQ(fs::last_write_time(native(page_of(tree.top.path, album))), old) << album;

    make_picture(folder_in(tree.top.path, "2024/Winter"), "snow.jpg", 400, kJan5 + 86400);
    ASSERT_EQ(run_status(tree.top.path), 0);
    for (const std::string& album : albums) {
        const bool written = album == "" || album == "2024" || album == "2024/Winter";
        EXPECT_EQ(fs::last_write_time(native(page_of(tree.top.path, album))) != old, written) << album;
    }
    EXPECT_NE(read_file(page_of(tree.top.path, "")).find("14.Jul.2023 &ndash; 06.Jan.2024"), std::string::npos);
}

// A page that cannot be written fails the run, every other page is
// written, and no album leads to it.
TEST(Albums, APageThatCannotBeWritten)
{
    Tree tree;
    make_picture(folder_in(tree.top.path, "Broken"), "c.jpg", 10, kJan2);
    fs::create_directories(native(page_of(tree.top.path, "Broken")));  // a folder where its page would be
    EXPECT_EQ(run_status(tree.top.path), kFailureStatus);
    const std::string top = read_file(page_of(tree.top.path, ""));
    EXPECT_EQ(top.find("Broken"), std::string::npos);
    EXPECT_NE(top.find("Trip.jpg/index.html"), std::string::npos);
    EXPECT_TRUE(file_exists(page_of(tree.top.path, "2024/Summer/Beach")));
}

// Runs at once over one tree all succeed and leave no file behind.
TEST(Albums, RunsAtOnce)
{
    Tree tree("<KORVEL ALBUMS THUMBS>\n");
    ASSERT_EQ(run_status(tree.top.path), 0);
    std::vector<std::string> after;
    for (const auto& entry : fs::recursive_directory_iterator(native(tree.top.path)))
        after.push_back(entry.path().u8string());
    for (const char* album : {"", "2024/Summer", "Trip.jpg"})
        fs::last_write_time(native(page_of(tree.top.path, album)), fs::file_time_type::clock::now() - std::chrono::hours(1));
    make_picture(folder_in(tree.top.path, "2024/Summer"), "b.jpg", 301, kJan2);
    for (int round = 0; round < 3; ++round) {
        StartedRun runs[4];
        for (StartedRun& run : runs)
            run = start_korvel(tree.top.path);
        for (StartedRun& run : runs)
            EXPECT_EQ(wait_for(run).status, 0) << round;
        std::vector<std::string> now;
        for (const auto& entry : fs::recursive_directory_iterator(native(tree.top.path)))
            now.push_back(entry.path().u8string());
        EXPECT_EQ(now, after) << round;
    }
}

// An album whose pictures are all gone is no album: the page korvel made
// there goes with its thumbnails and facts; a page of the user's own, and
// the user's files, stay.
TEST(Albums, AnAlbumWhosePicturesAreGoneGoes)
{
    Tree tree("<KORVEL ALBUMS THUMBS CAPTIONS>\n");
    const std::string beach = folder_in(tree.top.path, "2024/Summer/Beach");
    make_jpeg(beach, "real.jpg", 300, 200, kJan2);
    write_file(join_path(beach, "notes.txt"), "mine");
    ASSERT_EQ(run_status(tree.top.path), 0);
    ASSERT_TRUE(file_exists(join_path(join_path(beach, "korvel-thumbs"), "real.jpg")));
    for (const char* name : {"a.jpg", "real.jpg"})
        fs::remove(native(join_path(beach, name)));
    fs::remove(native(join_path(folder_in(tree.top.path, "Mine"), "m.jpg")));
    ASSERT_EQ(run_status(tree.top.path), 0);
    EXPECT_EQ(folder_entries(beach), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(read_file(page_of(tree.top.path, "Mine")), kOwnPage);
    EXPECT_EQ(read_file(page_of(tree.top.path, "2024/Summer")).find("Beach"), std::string::npos);
    EXPECT_EQ(read_file(page_of(tree.top.path, "")).find("Mine/index.html"), std::string::npos);
}

// The cover is the picture its photographer rated highest, the first of
// those in page order; else the first picture.
TEST(Albums, TheCoverIsThePictureRatedHighest)
{
    TempFolder top("Pictures");
    write_file(join_path(top.path, "korvel0.htm"), "<KORVEL ALBUMS CAPTIONS>\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"", "", ""}, "a.jpg"}, {{"3", "5", "5"}, "b.jpg"}, {{"2", "-1", "4.0"}, "c.jpg"}, {{"0", "1", ""}, "b.jpg"}};
    const std::string jpeg = quarters_jpeg(64, 48);
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const std::string album = folder_in(top.path, "Case" + std::to_string(k));
        for (std::size_t i = 0; i < 3; ++i) {
            const std::string& stars = cases[k].first[i];
            make_file(album, std::string(1, static_cast<char>('a' + i)) + ".jpg",
                      stars.empty() ? jpeg : with_metadata(jpeg, {{"Xmp.xmp.Rating", stars}}), kJan2);
        }
    }
    ASSERT_EQ(run_status(top.path), 0);
    const std::string page = read_file(page_of(top.path, ""));
    for (std::size_t k = 0; k < cases.size(); ++k)
        EXPECT_NE(page.find("<img src='Case" + std::to_string(k) + "/" + cases[k].second + "'"), std::string::npos)
            << k;
}
