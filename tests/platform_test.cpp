// The platform layer against real folders and files.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <acl/libacl.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"
#include "platform/current_folder.h"
#include "platform/folder_listing.h"
#include "platform/page_file.h"
#include "platform/platform_shared.h"
#include "platform/time_zone_rule.h"
#ifdef _WIN32
#include "platform/windows/windows_files.h"
#endif
#include "support/test_support.h"

namespace {

// Runs the listing inside folder and gives the pictures by name.
struct Listed {
    bool ok = false;
    std::vector<std::string> order;
    std::map<std::string, ImageFile> by_name;
};

Listed list_in(const std::string& folder, ImageList& images)
{
    std::filesystem::path back = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::u8path(folder));
    Listed listed;
    listed.ok = read_folder(current_work_folder(), images) && list_images(current_work_folder(), images);
    std::filesystem::current_path(back);
    for (const ImageFile& image : images.files) {
        listed.order.emplace_back(image.name);
        listed.by_name[std::string(image.name)] = image;
    }
    return listed;
}

// What a folder holds after the page is replaced, or left alone: the page,
// and no temporary file.
const std::vector<std::string> kPageOnly = {"index.html"};

}  // namespace

// How Windows names, in UTF-16, become the UTF-8 the rest of the tool sees.
TEST(WindowsNames, Utf16BecomesUtf8AndLoneSurrogatesBecomeReplacements)
{
    struct Case {
        const char* what;
        std::u16string name;
        std::string utf8;
    };
    const Case cases[] = {
        {"ASCII", u"a.jpg", "a.jpg"},
        {"two and three bytes", u"\u00e9\u5199", "\xc3\xa9\xe5\x86\x99"},
        {"a pair", u"\U0001F4F7.jpg", "\xf0\x9f\x93\xb7.jpg"},
        {"highest", u"\U0010FFFF", "\xf4\x8f\xbf\xbf"},
        {"lone high", {u'a', char16_t(0xD83D), u'b'}, "a\xef\xbf\xbd" "b"},
        {"lone low", {char16_t(0xDCF7), u'b'}, "\xef\xbf\xbd" "b"},
        {"high at the end", {u'a', char16_t(0xD83D)}, "a\xef\xbf\xbd"},
        {"two highs, then a pair", {char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDCF7)},
         "\xef\xbf\xbd\xf0\x9f\x93\xb7"},
    };
    for (const Case& c : cases) {
        std::string out = "kept:";
        append_utf8_of_utf16(out, c.name.data(), c.name.size());
        EXPECT_EQ(out, "kept:" + c.utf8) << c.what;
    }
}

TEST(Listing, KeepsNamesEndingInJpgInAnyCase)
{
    TempFolder folder;
    make_picture(folder.path, "a.jpg", 1, 1000);
    make_picture(folder.path, "B.JPG", 2, 2000);
    make_picture(folder.path, "c.JpG", 3, 3000);
    make_picture(folder.path, ".hidden.jpg", 4, 4000);
    make_picture(folder.path, ".jpg", 5, 5000);
    make_picture(folder.path, "d.jpeg", 6, 6000);
    make_picture(folder.path, "e.jpg.txt", 7, 7000);
    make_picture(folder.path, "jpg", 8, 8000);
    std::filesystem::create_directory(folder.path + "/album.jpg");

    ImageList images;
    Listed listed = list_in(folder.path, images);
    ASSERT_TRUE(listed.ok);
    EXPECT_EQ(listed.order, in_name_order(listed_pictures(folder.path)));
    EXPECT_EQ(listed.by_name.size(), 6u);
    EXPECT_EQ(listed.by_name.count("d.jpeg"), 0u);
    EXPECT_EQ(listed.by_name.count("album.jpg"), 1u);
    EXPECT_EQ(listed.by_name["album.jpg"].size, 0u);  // a folder, on every system
    EXPECT_EQ(listed.by_name["B.JPG"].size, 2u);
    EXPECT_EQ(listed.by_name["B.JPG"].modified, 2000);
    EXPECT_EQ(listed.by_name[".jpg"].size, 5u);
}

#ifndef _WIN32
TEST(Listing, FollowsLinksAndKeepsDanglingOnes)
{
    TempFolder folder;
    make_picture(folder.path, "real.jpg", 1234, 1000);
    std::filesystem::create_symlink("real.jpg", folder.path + "/link.jpg");
    std::filesystem::create_symlink("nowhere-at-all", folder.path + "/dangling.jpg");

    ImageList images;
    Listed listed = list_in(folder.path, images);
    ASSERT_TRUE(listed.ok);
    EXPECT_EQ(listed.by_name["link.jpg"].size, 1234u);
    EXPECT_EQ(listed.by_name["link.jpg"].modified, 1000);
    ASSERT_EQ(listed.by_name.count("dangling.jpg"), 1u);
    EXPECT_EQ(listed.by_name["dangling.jpg"].size, std::string("nowhere-at-all").size());
}
#endif

TEST(Listing, EmptyFolderAndManyNames)
{
    TempFolder folder;
    ImageList empty;
    EXPECT_TRUE(list_in(folder.path, empty).ok);
    EXPECT_TRUE(empty.files.empty());

    // Enough names to fill several name blocks and to be looked up by
    // several threads, among files that are no pictures: every name must
    // survive, in order, with its own size and time.
    for (int i = 0; i < 3000; ++i) {
        std::string name = "IMG_" + std::string(40, 'x') + std::to_string(i);
        make_picture(folder.path, name + ".jpg", static_cast<std::uint64_t>(i), 1000000 + i);
        if (i % 3 == 0)
            make_picture(folder.path, name + ".raw", 1, 1);
    }
    ImageList images;
    Listed listed = list_in(folder.path, images);
    ASSERT_TRUE(listed.ok);
    EXPECT_EQ(listed.order, in_name_order(listed_pictures(folder.path)));
    for (const auto& [name, image] : listed.by_name) {
        int i = std::stoi(name.substr(44));
        EXPECT_EQ(image.size, static_cast<std::uint64_t>(i)) << name;
        EXPECT_EQ(image.modified, 1000000 + i) << name;
    }
}

#ifndef _WIN32
TEST(PageFile, FailedWritesAreReported)
{
    PlatformFile full;
    full.handle = open("/dev/full", O_WRONLY);
    ASSERT_GE(full.handle, 0);
    PageSink page;
    page.file = &full;
    put_text(page, "<html>");
    EXPECT_FALSE(flush_sink(page));
    put_text(page, "more");
    EXPECT_FALSE(flush_sink(page));  // the failure stays
    close(static_cast<int>(full.handle));
}
#endif

TEST(PageFile, ReplacesThePageWhole)
{
    TempFolder folder;
    std::string path = join_path(folder.path, "index.html");
    write_file(path, "old page");
    PageFile file;
    ASSERT_TRUE(begin_page(file, current_work_folder(), path.c_str()));
    PageSink page;
    page.file = &file.file;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string piece = "line " + std::to_string(i) + "\n";
        put_text(page, piece);
        expected += piece;
    }
    EXPECT_TRUE(flush_sink(page));
    EXPECT_EQ(read_file(path), "old page");  // nobody sees half a page
    EXPECT_TRUE(commit_page(file));
    EXPECT_EQ(read_file(path), native_line_ends(expected));
    EXPECT_EQ(folder_entries(folder.path), kPageOnly);
}

TEST(PageFile, AbandonedPageLeavesTheOldOne)
{
    TempFolder folder;
    std::string path = join_path(folder.path, "index.html");
    write_file(path, "old page");
    PageFile file;
    ASSERT_TRUE(begin_page(file, current_work_folder(), path.c_str()));
    ASSERT_TRUE(write_output_file(file.file, "new", 3));
    std::vector<std::string> during = folder_entries(folder.path);
    ASSERT_EQ(during.size(), 2u);
    const std::string& temporary = during[0] == "index.html" ? during[1] : during[0];
    EXPECT_EQ(temporary[0], '.');
    EXPECT_FALSE(is_picture_name(temporary));
    abandon_page(file);
    EXPECT_EQ(read_file(path), "old page");
    EXPECT_EQ(folder_entries(folder.path), kPageOnly);
}

TEST(PageFile, AFolderInTheWayIsLeftAlone)
{
    TempFolder folder;
    std::string path = join_path(folder.path, "index.html");
    std::filesystem::create_directory(path);
    PageFile file;
    EXPECT_FALSE(begin_page(file, current_work_folder(), path.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(folder_entries(folder.path), kPageOnly);
}

#ifdef _WIN32
TEST(PageFile, AReadOnlyPageIsLeftAlone)
{
    TempFolder folder;
    std::string path = join_path(folder.path, "index.html");
    write_file(path, "old page");
    _chmod(path.c_str(), _S_IREAD);
    PageFile file;
    EXPECT_FALSE(begin_page(file, current_work_folder(), path.c_str()));
    _chmod(path.c_str(), _S_IREAD | _S_IWRITE);
    EXPECT_EQ(read_file(path), "old page");
    EXPECT_EQ(folder_entries(folder.path), kPageOnly);
}

// Under wine an access list cannot say a mode, so the host's is kept:
// every one, or the run is refused.
TEST(PageFile, KeepsTheModeUnderWine)
{
    if (!on_wine_host())
        GTEST_SKIP() << "not under wine";
    TempFolder folder;
    std::string path = join_path(folder.path, "index.html");
    for (std::uint32_t mode : {0600, 0640, 0604, 0606, 0664, 0666, 0644, 0755}) {
        write_file(path, "old page");
        HostFile wanted;
        ASSERT_TRUE(host_file_of(wide(path), wanted));
        wanted.mode = mode;
        ASSERT_TRUE(give_host_protection(wide(path), wanted));
        PageFile file;
        ASSERT_TRUE(begin_page(file, current_work_folder(), path.c_str())) << std::oct << mode;
        ASSERT_TRUE(commit_page(file));
        HostFile kept;
        ASSERT_TRUE(host_file_of(wide(path), kept));
        EXPECT_EQ(kept.mode & 07777, mode) << std::oct << mode;
    }
}

TEST(PageFile, KeepsTheHiddenAttribute)
{
    TempFolder folder;
    std::string path = join_path(folder.path, "index.html");
    write_file(path, "old page");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    PageFile file;
    ASSERT_TRUE(begin_page(file, current_work_folder(), path.c_str()));
    ASSERT_TRUE(commit_page(file));
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}
#else
// The access list of path as text, or "" where it has none beyond its mode.
std::string access_list_of(const std::string& path)
{
    acl_t list = acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
    if (!list)
        return "";
    char* text = acl_to_any_text(list, nullptr, ',', 0);
    std::string out = text ? text : "";
    acl_free(text);
    acl_free(list);
    return out;
}

TEST(PageFile, KeepsPermissionsAndLinks)
{
    TempFolder folder;
    // A name as long as names go: the temporary page's is shortened to fit.
    std::string target = join_path(folder.path, std::string(251, 'r') + ".htm");
    write_file(target, "old");
    chmod(target.c_str(), 0640);
    // Another user may read it, the group may not.
    acl_t list = acl_from_text("u::rw-,u:4321:r--,g::---,m::r--,o::---");
    const bool lists = acl_set_file(target.c_str(), ACL_TYPE_ACCESS, list) == 0;
    acl_free(list);
    const std::string before = access_list_of(target);
    std::string link = join_path(folder.path, "index.html");
    std::filesystem::create_symlink(target, link);

    PageFile file;
    ASSERT_TRUE(begin_page(file, current_work_folder(), link.c_str()));
    ASSERT_TRUE(write_output_file(file.file, "new", 3));
    ASSERT_TRUE(commit_page(file));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(read_file(target), "new");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(access_list_of(target), before);

    // A new page gets what the shell gives a new file: the umask's bits,
    // or what the folder's default access list gives.
    for (const char* defaults : {"", "u::rwx,u:4321:rwx,g::r-x,m::rwx,o::r-x"}) {
        if (*defaults) {
            list = acl_from_text(defaults);
            bool set = lists && acl_set_file(folder.path.c_str(), ACL_TYPE_DEFAULT, list) == 0;
            acl_free(list);
            if (!set)
                GTEST_SKIP() << "no access lists here";
        }
        std::string fresh = join_path(folder.path, *defaults ? "listed.html" : "fresh.html");
        mode_t mask = umask(022);
        ASSERT_TRUE(begin_page(file, current_work_folder(), fresh.c_str()));
        ASSERT_TRUE(commit_page(file));
        close(open((fresh + ".shell").c_str(), O_WRONLY | O_CREAT, 0666));
        umask(mask);
        ASSERT_EQ(stat(fresh.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, *defaults ? 0664u : 0644u);
        EXPECT_EQ(access_list_of(fresh), access_list_of(fresh + ".shell"));
    }
}

TEST(PageFile, ADeviceInTheWayIsLeftAlone)
{
    TempFolder folder;
    std::string link = join_path(folder.path, "index.html");
    std::filesystem::create_symlink("/dev/null", link);
    PageFile file;
    EXPECT_FALSE(begin_page(file, current_work_folder(), link.c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}
#endif

#ifndef _WIN32
TEST(CurrentDirectory, LongerThanPathMax)
{
    TempFolder folder;
    std::string deep = folder.path;
    std::string back = std::filesystem::current_path().string();
    std::filesystem::current_path(deep);
    for (int i = 0; i < 30; ++i) {
        std::string step(200, static_cast<char>('a' + i % 26));
        std::filesystem::create_directory(step);
        std::filesystem::current_path(step);  // relative: the path grows past PATH_MAX
    }
    std::string cwd;
    bool ok = get_current_directory(cwd);
    // Climb back out removing each step by its short relative name: the
    // whole path is too long for the usual removal.
    for (int i = 29; i >= 0; --i) {
        std::filesystem::current_path("..");
        std::filesystem::remove(std::string(200, static_cast<char>('a' + i % 26)));
    }
    std::filesystem::current_path(back);
    ASSERT_TRUE(ok);
    EXPECT_GT(cwd.size(), 6000u);
    EXPECT_EQ(cwd.substr(cwd.size() - 201), "/" + std::string(200, 'd'));
}
#endif

// TZ's POSIX forms give the same times on both systems: the table holds
// glibc's answers, which the Linux build checks them against too. (Without
// a rule, glibc follows New York's zone file, whose own offsets it shows
// after 2037: no case here goes there.)
TEST(LocalTime, PosixTimeZonesAsGlibcReadsThem)
{
    struct Case {
        const char* tz;
        std::int64_t seconds;
        const char* shown;  // year-month-day hour:minute:second, weekday
    };
    const Case cases[] = {
        {"AEST-10AEDT", 1705320000, "2024-01-15 22:00:00 1"},  // no rule: the United States' dates
        {"AEST-10AEDT", 1721044800, "2024-07-15 23:00:00 1"},
        {"NZST-12NZDT", 1910779200, "2030-07-21 01:00:00 0"},
        {"CET-1CEST", 1900238400, "2030-03-20 14:00:00 3"},  // summer from 10 March
        {"<-03>3", 1721044800, "2024-07-15 09:00:00 1"},
        {"<+0530>-5:30", 1705320000, "2024-01-15 17:30:00 1"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1711846799, "2024-03-31 01:59:59 0"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1711846800, "2024-03-31 03:00:00 0"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1729990800, "2024-10-27 02:00:00 0"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", -2208988800, "1900-01-01 01:00:00 1"},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", 1705320000, "2024-01-15 23:00:00 1"},
        {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 1711846800, "2024-03-31 00:00:00 0"},
        {"EST5EDT4,J60/1:30,300", 1709274600, "2024-03-01 02:30:00 5"},
        {"Europe/Nowhere", 1705320000, "2024-01-15 12:00:00 1"},
    };
    for (const Case& c : cases) {
        LocalTime by_rule = local_time_by_rule(c.seconds, read_time_zone_rule(c.tz));
        LocalTime shown;
#ifdef _WIN32
        _putenv_s("TZ", c.tz);
        ASSERT_TRUE(to_local_time(c.seconds, shown));
#else
        set_time_zone(c.tz);
        time_t t = static_cast<time_t>(c.seconds);
        struct tm tm;
        ASSERT_TRUE(localtime_r(&t, &tm));
        shown = local_time_of(tm);
#endif
        for (const LocalTime& time : {by_rule, shown}) {
            char text[64];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %d", time.year, time.month, time.day,
                          time.hour, time.minute, time.second, time.weekday);
            EXPECT_STREQ(text, c.shown) << c.tz << " " << c.seconds;
        }
    }
    set_time_zone(kTestTimeZone);
}
