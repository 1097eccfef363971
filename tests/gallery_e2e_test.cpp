// The built korvel in real folders, without a template: the whole page is
// compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstring>
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

// The file an img src leads a browser to: the attribute's entities, then
// its percent escapes, give back the bytes of the name.
std::string file_name_of_src(const std::string& src)
{
    static const char* const entities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#39;", "'"}, {"&quot;", "\""}};
    std::string out;
    for (std::size_t i = 0; i < src.size();) {
        if (src[i] == '%' && i + 2 < src.size()) {
            out.push_back(static_cast<char>(std::stoi(src.substr(i + 1, 2), nullptr, 16)));
            i += 3;
            continue;
        }
        std::size_t before = i;
        for (const auto& entity : entities)
            if (src.compare(i, std::strlen(entity[0]), entity[0]) == 0) {
                out += entity[1];
                i += std::strlen(entity[0]);
                break;
            }
        if (i == before)
            out.push_back(src[i++]);
    }
    return out;
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
        std::vector<ShownPicture> order = in_name_order(shown);
        EXPECT_PAGE(page, expected_header("Rows") + expected_gallery(order) + expected_footer()) << count;
    }
}

// Times far from now show the same on every system: the earliest ext4 holds,
// before 1970, and the first half hour of 1970 in local time.
TEST(GalleryPage, TimesFarFromNow)
{
    TempFolder folder("Times");
    const std::pair<std::string, std::int64_t> times[] = {
        {"14.Dec.1901 13:00:00", -2147428800}, {"15.Jan.1965 11:00:00", -156520800}, {"01.Jan.1970 00:30:00", -1800}};
    std::vector<ShownPicture> shown;
    for (const auto& [when, seconds] : times) {
        std::string name = "t" + std::to_string(shown.size()) + ".jpg";
        make_picture(folder.path, name, 1, seconds);
        shown.push_back(plain(name, "1&nbsp;&nbsp;" + when));
    }
    EXPECT_PAGE(make_page(folder.path), expected_header("Times") + expected_gallery(shown) + expected_footer());
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
                        expected_gallery(in_name_order(shown)) +
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
#ifndef _WIN32
        // Windows does not allow these characters in names.
        {"say \"hi\".jpg", "say &quot;hi&quot;.jpg", "say &quot;hi&quot;.jpg", "say &quot;hi&quot;"},
        {"<b>.jpg", "&lt;b&gt;.jpg", "&lt;b&gt;.jpg", "&lt;b&gt;"},
        {"why?.jpg", "why?.jpg", "why%3F.jpg", "why?"},
        {"c:d.jpg", "c:d.jpg", "c%3Ad.jpg", "c:d"},
        {"back\\slash.jpg", "back\\slash.jpg", "back%5Cslash.jpg", "back\\slash"},
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
                        expected_gallery(in_name_order(shown)) +
                        expected_footer());
}

// The page is pure ASCII and the same bytes on every system, whatever script
// the names are in, and each src leads a browser to the picture's file. The
// cases stand in name order, made in the reverse: the expected page is one
// text for Linux and Windows.
TEST(GalleryPage, NamesInEveryScript)
{
    TempFolder folder("\xe5\x86\x99\xe7\x9c\x9f \xf0\x9f\x93\xb7");  // "photos" in Japanese, a camera
    struct Case {
        std::string name, text, src;
    };
    const std::vector<Case> cases = {
#ifndef _WIN32
        // Windows names are always text; POSIX ones may be any bytes.
        {"bad\xff\xc3.jpg", "bad&#65533;&#65533;.jpg", "bad%FF%C3.jpg"},
#endif
        {"Caf\xc3\xa9 cr\xc3\xa8me.jpg", "Caf&#233; cr&#232;me.jpg", "Caf%C3%A9 cr%C3%A8me.jpg"},
        {"\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe.jpg", "&#1060;&#1086;&#1090;&#1086;.jpg", "%D0%A4%D0%BE%D1%82%D0%BE.jpg"},
        {"\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d.jpg", "&#1513;&#1500;&#1493;&#1501;.jpg", "%D7%A9%D7%9C%D7%95%D7%9D.jpg"},
        {"\xe5\xaf\x8c\xe5\xa3\xab\xe5\xb1\xb1.JPG", "&#23500;&#22763;&#23665;.JPG", "%E5%AF%8C%E5%A3%AB%E5%B1%B1.JPG"},
        {"\xf0\x9f\x8c\x85 & sea.jpg", "&#127749; &amp; sea.jpg", "%F0%9F%8C%85 &amp; sea.jpg"},
    };
    std::vector<ShownPicture> shown;
    for (auto c = cases.rbegin(); c != cases.rend(); ++c) {
        make_picture(folder.path, c->name, 7, kJan2);
        shown.insert(shown.begin(), ShownPicture{c->text, c->src, c->text.substr(0, c->text.size() - 4),
                                                 "7&nbsp;&nbsp;02.Jan.2024 11:20:30"});
        EXPECT_TRUE(file_exists(join_path(folder.path, file_name_of_src(c->src)))) << c->src;
    }
    std::string page = make_page(folder.path);
    EXPECT_PAGE(page, expected_header("&#20889;&#30495; &#128247;") + expected_gallery(shown) + expected_footer());
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

TEST(GalleryPage, AFolderInThePlaceOfThePageOrTheTemplateFails)
{
    for (const char* name : {"index.html", "korvel0.htm"}) {
        TempFolder folder("Blocked");
        make_picture(folder.path, "one.jpg", 5, kJan2);
        std::filesystem::create_directory(join_path(folder.path, name));
        std::vector<std::string> before = folder_entries(folder.path);
        RunResult run = run_korvel(folder.path);
        EXPECT_EQ(run.status, kFailureStatus) << name;
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(folder_entries(folder.path), before) << name;
        EXPECT_TRUE(std::filesystem::is_directory(join_path(folder.path, name)));
    }
}

#ifdef _WIN32
// A template that is there but cannot be opened, here because another
// program holds it without sharing, fails the run and keeps the old page.
TEST(GalleryPage, ATemplateThatCannotBeOpenedFails)
{
    TempFolder folder("Held");
    make_picture(folder.path, "one.jpg", 5, kJan2);
    write_file(join_path(folder.path, kIndex), "old page");
    std::string path = join_path(folder.path, "korvel0.htm");
    write_file(path, "<KORVEL>\n");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RunResult run = run_korvel(folder.path);
    CloseHandle(held);
    EXPECT_EQ(run.status, kFailureStatus);
    EXPECT_EQ(read_file(join_path(folder.path, kIndex)), "old page");
}
#endif

// Temporary pages that no run holds are what runs killed outright leave:
// the next run removes them. A held one belongs to a run still writing; one
// of the other system's form may belong to a run on the other side of a
// share, whose hold this one cannot see; and copies made by hand stay.
TEST(GalleryPage, LeftoversOfKilledRunsGoAndHeldOnesStay)
{
    TempFolder folder("Leftovers");
    make_picture(folder.path, "one.jpg", 5, kJan2);
    const std::string own = std::string(".index.html") + kOwnTemporaryMark;
    const std::string other = std::string(".index.html") + kOtherTemporaryMark;
    write_file(join_path(folder.path, own + "Ab12cd34Ef56"), "left by a killed run");
    std::vector<std::string> kept = {own + "Held00Held00", own + "abc12", other + "Ab12cd34Ef56",
                                     ".index.html.korvel-backup", ".index.html.korvel-before",
                                     ".index.html.korvel-old", ".korvel-backup"};
    for (std::size_t i = 1; i < kept.size(); ++i)
        write_file(join_path(folder.path, kept[i]), "not a leftover of this system's runs");
    HeldFile held(join_path(folder.path, kept[0]));
    make_page(folder.path);
    kept.insert(kept.end(), {"index.html", "one.jpg"});
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(folder_entries(folder.path), kept);
}

// Every run succeeds, readers only ever see a whole page, and no run removes
// another's temporary file.
TEST(Together, FourRunsAtOnceTwentyTimes)
{
    TempFolder folder("Together");
    for (int i = 0; i < 1000; ++i)
        make_picture(folder.path, "IMG_" + std::to_string(10000 + i) + ".jpg", 1000, kJan2);
    const std::string page = join_path(folder.path, kIndex);
    const std::string whole = make_page(folder.path);
    const std::vector<std::string> after = folder_entries(folder.path);
    for (int round = 0; round < 20; ++round) {
        StartedRun runs[4];
        for (StartedRun& run : runs)
            run = start_korvel(folder.path);
        for (int read = 0; read < 5; ++read) {
            std::string seen = read_file(page);
#ifdef _WIN32
            // Windows lets no reader that does not share deletion open the
            // page for the moment a run holds it just after the rename.
            if (seen.empty())
                continue;
#endif
            EXPECT_EQ(seen, whole) << round;
        }
        for (StartedRun& run : runs)
            EXPECT_EQ(wait_for(run).status, 0) << round;
        EXPECT_EQ(read_file(page), whole) << round;
        EXPECT_EQ(folder_entries(folder.path), after) << round;
    }
}
