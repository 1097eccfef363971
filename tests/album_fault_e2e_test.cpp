// A tree of albums where others may write, and stopped runs over a tree:
// another user's folders and links are left out, a folder reached twice is
// made once, and a stop leaves no file behind anywhere in the tree.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kJan2 = 1704190830;

std::set<std::string> everything_in(const std::string& root)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        names.insert(fs::relative(entry.path(), root).string());
    return names;
}

bool leads_to(const std::string& page, const std::string& album)
{
    return page.find("<a href='" + album + "/index.html'>") != std::string::npos;
}

}  // namespace

TEST(AlbumsOfOthers, TheirFoldersAndLinksAreLeftOutAndAFolderIsMadeOnce)
{
    TempFolder tree("Pictures");
    TempFolder outside("Outside");
    write_file(join_path(tree.path, "korvel0.htm"), "<KORVEL ALBUMS>\n");
    make_picture(tree.path, "top.jpg", 10, kJan2);
    make_picture(outside.path, "o.jpg", 10, kJan2);
    fs::create_directories(join_path(tree.path, "Theirs"));
    make_picture(join_path(tree.path, "Theirs"), "t.jpg", 10, kJan2);
    fs::create_directories(join_path(tree.path, "Loop"));
    make_picture(join_path(tree.path, "Loop"), "l.jpg", 10, kJan2);
    fs::create_directory_symlink("..", join_path(join_path(tree.path, "Loop"), "Up"));
    fs::create_directory_symlink(outside.path, join_path(tree.path, "Again"));
    fs::create_directory_symlink(outside.path, join_path(tree.path, "Linked"));
    fs::create_directory_symlink(outside.path, join_path(tree.path, "TheirLink"));
    if (lchown(join_path(tree.path, "Theirs").c_str(), 4321, 4321) != 0 ||
        lchown(join_path(tree.path, "TheirLink").c_str(), 4321, 4321) != 0)
        GTEST_SKIP() << "cannot give a folder to another user here";

    RunResult run = run_korvel(tree.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    const std::string top = read_file(join_path(tree.path, "index.html"));
    // Another user's folder is never written in, and their link never
    // followed; the folder two links reach is made once, under the first
    // name; the link back up ends there.
    EXPECT_FALSE(file_exists(join_path(join_path(tree.path, "Theirs"), "index.html")));
    EXPECT_FALSE(leads_to(top, "Theirs"));
    EXPECT_FALSE(leads_to(top, "TheirLink"));
    EXPECT_TRUE(leads_to(top, "Again"));
    EXPECT_FALSE(leads_to(top, "Linked"));
    EXPECT_TRUE(leads_to(top, "Loop"));
    EXPECT_TRUE(file_exists(join_path(outside.path, "index.html")));
    EXPECT_FALSE(leads_to(read_file(join_path(join_path(tree.path, "Loop"), "index.html")), "Up"));
}

// Stopped at any moment, a run over a tree leaves no file that a whole run
// would not leave, in any folder, and its status tells that it was stopped
// (or that it had done its work).
TEST(AlbumsStopped, NoFileLeftAnywhere)
{
    for (int delay_ms : {2, 10, 30, 80, 200, 500}) {
        TempFolder tree("Pictures");
        write_file(join_path(tree.path, "korvel0.htm"), "<KORVEL ALBUMS THUMBS VIEWS>\n");
        for (int album = 0; album < 8; ++album) {
            const std::string folder = join_path(tree.path, "Album " + std::to_string(album));
            fs::create_directories(folder);
            for (int picture = 0; picture < 3; ++picture)
                make_jpeg(folder, "p" + std::to_string(picture) + ".jpg", 900, 600, kJan2);
        }
        StartedRun started = start_korvel(tree.path);
        usleep(static_cast<useconds_t>(delay_ms) * 1000);
        kill(started.pid, SIGTERM);
        const int status = wait_for(started).status;
        EXPECT_TRUE(status == 128 + SIGTERM || status == 0) << delay_ms << ": " << status;
        const std::set<std::string> stopped = everything_in(tree.path);
        ASSERT_EQ(run_korvel(tree.path).status, 0);
        const std::set<std::string> whole = everything_in(tree.path);
        for (const std::string& name : stopped)
            EXPECT_TRUE(whole.count(name)) << delay_ms << ": " << name << " left behind";
    }
}

// Memory running out at any allocation of a run over a tree: the run ends,
// with 0 or 255, prints nothing and leaves no file a whole run would not.
TEST(AlbumsStopped, EveryAllocationThatFails)
{
    if (!kFaultsCanBeInjected)
        GTEST_SKIP() << "korvel_faulty is not built under the sanitizers";
    TempFolder tree("Pictures");
    write_file(join_path(tree.path, "korvel0.htm"), "<KORVEL ALBUMS>\n");
    for (const char* album : {"A", "A/B", "C", "D"}) {
        fs::create_directories(join_path(tree.path, album));
        make_picture(join_path(tree.path, album), "p.jpg", 10, kJan2);
    }
    Restrictions restrictions;
    restrictions.fault = "count-allocations=" + join_path(tree.root, "count");
    ASSERT_EQ(run_korvel_restricted(tree.path, restrictions).status, 0);
    const std::set<std::string> whole = everything_in(tree.path);
    const unsigned long count = std::stoul(read_file(join_path(tree.root, "count")));
    restrictions.time_limit_seconds = 60;  // a run that waits for a folder that never comes would hang
    for (unsigned long k = 1; k <= count; ++k) {
        restrictions.fault = "new-fails-from=" + std::to_string(k);
        RunResult run = run_korvel_restricted(tree.path, restrictions);
        EXPECT_TRUE(run.status == 0 || run.status == kFailureStatus) << k << ": " << run.status;
        EXPECT_EQ(run.output, "") << k;
        for (const std::string& name : everything_in(tree.path))
            EXPECT_TRUE(whole.count(name)) << k << ": " << name << " left behind";
    }
}
