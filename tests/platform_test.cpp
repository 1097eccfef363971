// The platform layer against real folders and files.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "pagewriter/image_listing.h"
#include "pagewriter/page_sink.h"
#include "platform/platform.h"
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
    std::string back = std::filesystem::current_path().string();
    std::filesystem::current_path(folder);
    Listed listed;
    listed.ok = list_images(images);
    std::filesystem::current_path(back);
    for (const ImageFile& image : images.files) {
        listed.order.emplace_back(image.name);
        listed.by_name[std::string(image.name)] = image;
    }
    return listed;
}

}  // namespace

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
    EXPECT_EQ(listed.order, listed_pictures(folder.path));  // the system's order, unsorted
    EXPECT_EQ(listed.by_name.size(), 6u);
    EXPECT_EQ(listed.by_name.count("d.jpeg"), 0u);
    EXPECT_EQ(listed.by_name.count("album.jpg"), 1u);
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

    // Enough names to fill several name blocks; every name must survive.
    for (int i = 0; i < 3000; ++i)
        make_picture(folder.path, "IMG_" + std::string(40, 'x') + std::to_string(i) + ".jpg", 0, 0);
    ImageList images;
    Listed listed = list_in(folder.path, images);
    EXPECT_EQ(listed.order, listed_pictures(folder.path));
}

TEST(PageFile, FailedWritesAreReported)
{
#ifndef _WIN32
    PlatformFile full;
    ASSERT_TRUE(create_output_file(full, "/dev/full"));
    PageSink page;
    page.file = &full;
    put_text(page, "<html>");
    EXPECT_FALSE(flush_sink(page));
    put_text(page, "more");
    EXPECT_FALSE(flush_sink(page));  // the failure stays
    close_output_file(full);
#endif

    TempFolder folder;
    PlatformFile dir;
    EXPECT_FALSE(create_output_file(dir, folder.path.c_str()));
}

TEST(PageFile, WritesEveryByte)
{
    TempFolder folder;
    std::string path = join_path(folder.path, "index.html");
    PlatformFile file;
    ASSERT_TRUE(create_output_file(file, path.c_str()));
    PageSink page;
    page.file = &file;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        std::string piece = "line " + std::to_string(i) + "\n";
        put_text(page, piece);
        expected += piece;
    }
    EXPECT_TRUE(flush_sink(page));
    EXPECT_TRUE(close_output_file(file));
    EXPECT_EQ(read_file(path), native_line_ends(expected));
}

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
