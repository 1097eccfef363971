// Runs of korvel that must fail, or are stopped: each must print nothing,
// leave the old page byte for byte as it was and leave no temporary file,
// and exit with -1 or by the signal that stopped it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "platform/platform_shared.h"
#include "pagewriter/web_pieces.h"
#include "support/test_support.h"

namespace {

const std::string kOldPage = "<html><body>the page from last time</body></html>\n";

struct Failing : public ::testing::Test {
    TempFolder folder{"Album"};
    std::string page = join_path(folder.path, "index.html");

    void SetUp() override
    {
        for (int i = 0; i < 1000; ++i)
            make_picture(folder.path, "IMG_" + std::to_string(10000 + i) + ".jpg", 1000, 1704190830);
        write_file(page, kOldPage);
    }

    void expect_failure_without_a_trace(const RunResult& run, const std::vector<std::string>& before)
    {
        EXPECT_EQ(run.status, kFailureStatus);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(folder_entries(folder.path), before);
    }

    // A template whose copy keeps a run writing for a while: 64 MB behind
    // the marker.
    void make_long_template()
    {
        write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL >\n" + std::string(64 << 20, 'x'));
    }

    std::vector<std::string> temporary_pages()
    {
        std::vector<std::string> found;
        for (const std::string& name : folder_entries(folder.path))
            if (name.compare(0, 20, std::string(".index.html") + kOwnTemporaryMark) == 0)
                found.push_back(name);
        return found;
    }

    // Waits until a run has made its temporary page, and is writing it.
    bool wait_for_temporary_page()
    {
        for (int waited_ms = 0; waited_ms < 10000; ++waited_ms) {
            if (!temporary_pages().empty())
                return true;
            usleep(1000);
        }
        return false;
    }
};

using Stopped = Failing;

}  // namespace

TEST_F(Failing, AWriteFailingInTheMiddleOfThePageKeepsTheOldPage)
{
    // The page for 1000 pictures is about 350 KB; the limit cuts it after
    // the first few writes.
    std::vector<std::string> before = folder_entries(folder.path);
    Restrictions restrictions;
    restrictions.file_size_limit = 100 * 1000;
    expect_failure_without_a_trace(run_korvel_restricted(folder.path, restrictions), before);
    EXPECT_EQ(read_file(page), kOldPage);

    // Without the limit the same folder gives a whole page.
    RunResult run = run_korvel(folder.path);
    EXPECT_EQ(run.status, 0);
    EXPECT_GT(read_file(page).size(), 300 * 1000u);
}

TEST_F(Failing, AFolderNamedIndexHtmlIsLeftAlone)
{
    std::filesystem::remove(page);
    std::filesystem::create_directory(page);
    write_file(join_path(page, "inside.txt"), "kept");
    std::vector<std::string> before = folder_entries(folder.path);
    expect_failure_without_a_trace(run_korvel(folder.path), before);
    EXPECT_EQ(read_file(join_path(page, "inside.txt")), "kept");
}

TEST_F(Failing, AFolderTheUserCannotWrite)
{
    // As root, the run drops to "nobody", for whom the folder is read-only;
    // as anyone else, the folder is made read-only.
    chmod(folder.path.c_str(), 0555);
    std::vector<std::string> before = folder_entries(folder.path);
    Restrictions restrictions;
    restrictions.unprivileged = true;
    RunResult run = run_korvel_restricted(folder.path, restrictions);
    chmod(folder.path.c_str(), 0755);
    expect_failure_without_a_trace(run, before);
    EXPECT_EQ(read_file(page), kOldPage);
}

TEST_F(Failing, APageTheUserCannotWrite)
{
    // The folder is open to all, but the page is not the user's to change.
    chmod(folder.path.c_str(), 0777);
    chmod(page.c_str(), 0444);
    std::vector<std::string> before = folder_entries(folder.path);
    Restrictions restrictions;
    restrictions.unprivileged = true;
    expect_failure_without_a_trace(run_korvel_restricted(folder.path, restrictions), before);
    EXPECT_EQ(read_file(page), kOldPage);
}

TEST_F(Failing, ADeviceNamedIndexHtmlIsLeftAlone)
{
    std::filesystem::remove(page);
    std::filesystem::create_symlink("/dev/full", page);
    std::vector<std::string> before = folder_entries(folder.path);
    expect_failure_without_a_trace(run_korvel(folder.path), before);
    EXPECT_TRUE(std::filesystem::is_symlink(page));
}

TEST_F(Failing, AFolderThatCannotBeListed)
{
    // Writable but not readable, with a page the user may write: an empty
    // gallery must not replace it.
    chmod(page.c_str(), 0666);
    chmod(folder.path.c_str(), 0333);
    Restrictions restrictions;
    restrictions.unprivileged = true;
    RunResult run = run_korvel_restricted(folder.path, restrictions);
    chmod(folder.path.c_str(), 0755);
    EXPECT_EQ(run.status, kFailureStatus);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(read_file(page), kOldPage);
}

// A FIFO would block the run, a device never end, a socket cannot be read.
TEST_F(Failing, TemplatesThatAreNotFiles)
{
    const std::string path = join_path(folder.path, "korvel0.htm");
    for (const char* kind : {"FIFO", "link to /dev/zero", "socket"}) {
        int socket_fd = -1;
        if (std::strcmp(kind, "FIFO") == 0) {
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        } else if (std::strcmp(kind, "socket") == 0) {
            socket_fd = socket(AF_UNIX, SOCK_STREAM, 0);
            struct sockaddr_un address = {};
            address.sun_family = AF_UNIX;
            ASSERT_LT(path.size(), sizeof address.sun_path);
            std::strcpy(address.sun_path, path.c_str());
            ASSERT_EQ(bind(socket_fd, reinterpret_cast<struct sockaddr*>(&address), sizeof address), 0);
        } else {
            std::filesystem::create_symlink("/dev/zero", path);
        }
        std::vector<std::string> before = folder_entries(folder.path);
        Restrictions restrictions;
        restrictions.time_limit_seconds = 1;
        expect_failure_without_a_trace(run_korvel_restricted(folder.path, restrictions), before);
        EXPECT_EQ(read_file(page), kOldPage) << kind;
        if (socket_fd >= 0)
            close(socket_fd);
        std::filesystem::remove(path);
    }
}

// A template that is there but cannot be opened must not cost the page its
// frame: a loop of links, links that lead nowhere, and one the user may not
// read.
TEST_F(Failing, TemplatesThatCannotBeOpened)
{
    const std::string path = join_path(folder.path, "korvel0.htm");
    chmod(folder.path.c_str(), 0777);  // so that "nobody" could replace the page
    chmod(page.c_str(), 0666);
    for (const char* kind : {"korvel0.htm", "moved.htm", "gone/korvel0.htm", "unreadable"}) {
        const bool unreadable = std::strcmp(kind, "unreadable") == 0;
        if (unreadable) {
            write_file(path, "<KORVEL>\n");
            chmod(path.c_str(), 0);
        } else {
            std::filesystem::create_symlink(kind, path);
        }
        std::vector<std::string> before = folder_entries(folder.path);
        Restrictions restrictions;
        restrictions.unprivileged = unreadable;
        expect_failure_without_a_trace(run_korvel_restricted(folder.path, restrictions), before);
        EXPECT_EQ(read_file(page), kOldPage) << kind;
        std::filesystem::remove(path);
    }
    chmod(folder.path.c_str(), 0755);
}

// Another user's link is never followed: not to a file the page would
// replace, nor to one the template would copy into the page, nor as a later
// link of a chain that starts with one's own, nor as a folder on the way.
// A picture that is another user's link shows as the link itself.
TEST_F(Failing, AnotherUsersLinksAreNotFollowed)
{
    const std::string secret = join_path(folder.root, "authorized_keys");
    const std::string mine = join_path(folder.root, "private");
    const std::string hop = join_path(folder.path, "hop");
    write_file(secret, "ssh-ed25519 AAAA mine\n");
    std::filesystem::create_directory(mine);
    write_file(join_path(mine, "index.html"), "my own page\n");
    write_file(join_path(mine, "diary.htm"), "<KORVEL>my diary\n");
    struct Case {
        std::string name, target;  // a link of one's own, or another user's where there is no hop
        std::string hop_target;    // where hop, another user's link, leads
    };
    for (const Case& c : {Case{"index.html", secret, ""}, Case{"korvel0.htm", secret, ""},
                          Case{"index.html", hop, secret}, Case{"index.html", "hop/index.html", mine},
                          Case{"korvel0.htm", "hop/diary.htm", mine}, Case{"spy.jpg", secret, ""}}) {
        const std::string link = join_path(folder.path, c.name);
        std::filesystem::remove(link);
        std::filesystem::create_symlink(c.target, link);
        if (!c.hop_target.empty())
            std::filesystem::create_symlink(c.hop_target, hop);
        if (lchown(c.hop_target.empty() ? link.c_str() : hop.c_str(), 4321, 4321) != 0)
            GTEST_SKIP() << "cannot give a link to another user here: " << std::strerror(errno);
        std::vector<std::string> before = folder_entries(folder.path);
        if (c.name == "spy.jpg") {
            EXPECT_EQ(run_korvel(folder.path).status, 0);
            const std::string shown = "spy.jpg&nbsp;&nbsp;" + std::to_string(secret.size()) + "&nbsp;";
            EXPECT_NE(read_file(page).find(shown), std::string::npos);
        } else {
            expect_failure_without_a_trace(run_korvel(folder.path), before);
        }
        EXPECT_EQ(read_file(secret), "ssh-ed25519 AAAA mine\n") << c.target;
        EXPECT_EQ(read_file(join_path(mine, "index.html")), "my own page\n") << c.target;
        std::filesystem::remove(link);
        std::filesystem::remove(hop);
        write_file(page, kOldPage);
    }
}

// THUMBS follows no link of another user: not at korvel-thumbs, where the
// run would write, nor at a picture, which it would read; the cells keep
// their pictures and the page is made.
TEST_F(Failing, ThumbnailsFollowNoLinkOfAnotherUser)
{
    const std::string mine = join_path(folder.root, "private");
    const std::string thumbs = join_path(folder.path, "korvel-thumbs");
    std::filesystem::create_directory(mine);
    make_jpeg(folder.root, "secret.jpg", 400, 300, 1704190830);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS>\n");
    std::filesystem::create_symlink(join_path(folder.root, "secret.jpg"), join_path(folder.path, "spy.jpg"));
    std::filesystem::create_symlink(mine, thumbs);
    if (lchown(thumbs.c_str(), 4321, 4321) != 0 || lchown(join_path(folder.path, "spy.jpg").c_str(), 4321, 4321) != 0)
        GTEST_SKIP() << "cannot give a link to another user here: " << std::strerror(errno);
    EXPECT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_TRUE(folder_entries(mine).empty());
    EXPECT_NE(read_file(page).find("<img src='spy.jpg'"), std::string::npos);
    std::filesystem::remove(thumbs);
    EXPECT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(thumbs));
    EXPECT_FALSE(file_exists(join_path(thumbs, "spy.jpg")));
    EXPECT_NE(read_file(page).find("<img src='spy.jpg'"), std::string::npos);
}

// Whichever allocation of a whole run fails first, the run ends as every
// failure does, or succeeds: never a crash, a word printed or a file left.
// A run that ends 0 has put its page in place, and one that fails has not:
// also when memory runs out after the page, while the records of
// thumbnails and views are written.
TEST_F(Failing, EveryAllocationThatFails)
{
    if (!kFaultsCanBeInjected)
        GTEST_SKIP() << "korvel_faulty is not built under the sanitizers";
    TempFolder small("Pair");
    make_file(small.path, "a.jpg", quarters_jpeg(160, 120), 1704190830);
    make_file(small.path, "b.jpg", quarters_jpeg(1700, 1200), 1704190830);
    for (const auto& [where, marker] : {std::pair{folder.path, "<KORVEL NODATE>"}, {small.path, "<KORVEL THUMBS VIEWS>"}}) {
        const std::string in = where, at = join_path(in, "index.html");
        write_file(join_path(in, "korvel0.htm"), std::string("<p>\n") + marker + "\n</p>\n");
        Restrictions restrictions;
        restrictions.fault = "count-allocations=" + join_path(folder.root, "count");
        ASSERT_EQ(run_korvel_restricted(in, restrictions).status, 0);
        const std::string whole = read_file(at);
        const std::vector<std::string> before = folder_entries(in);
        const unsigned long count = std::stoul(read_file(join_path(folder.root, "count")));
        for (unsigned long k = 1; k <= count; ++k) {
            write_file(at, kOldPage);
            for (const char* made : {"korvel-thumbs", "korvel-views"})  // so that each is written again
                std::filesystem::remove(std::filesystem::u8path(join_path(join_path(in, made), ".korvel-record")));
            restrictions.fault = "new-fails-from=" + std::to_string(k);
            RunResult run = run_korvel_restricted(in, restrictions);
            EXPECT_TRUE(run.status == 0 || run.status == kFailureStatus) << marker << k << ": " << run.status;
            EXPECT_EQ(run.output, "") << k;
            // With thumbnails, a page that lost one to memory shows the picture.
            if (in == folder.path)
                EXPECT_TRUE(read_file(at) == (run.status == 0 ? whole : kOldPage)) << k;
            else
                EXPECT_EQ(read_file(at) != kOldPage, run.status == 0) << marker << k;
            EXPECT_EQ(folder_entries(in), before) << marker << k;
        }
    }
}

// On a share that keeps no locks a run goes on with its one temporary file
// unlocked and leaves nothing; a leftover it cannot lock may be a live run's.
TEST_F(Failing, AShareThatRefusesLocks)
{
    if (!kFaultsCanBeInjected)
        GTEST_SKIP() << "korvel_faulty is not built under the sanitizers";
    write_file(join_path(folder.path, std::string(".index.html") + kOwnTemporaryMark + "Left00Left00"),
               "left by a killed run");
    std::vector<std::string> before = folder_entries(folder.path);
    Restrictions restrictions;
    restrictions.fault = "refuse-locks";
    RunResult run = run_korvel_restricted(folder.path, restrictions);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(folder_entries(folder.path), before);
    EXPECT_GT(read_file(page).size(), 300 * 1000u);
}

TEST_F(Stopped, BySignalsWhileWriting)
{
    make_long_template();
    std::vector<std::string> before = folder_entries(folder.path);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGALRM, SIGUSR1}) {
        StartedRun run = start_korvel(folder.path);
        ASSERT_TRUE(wait_for_temporary_page());
        kill(run.pid, signal_number);
        RunResult result = wait_for(run);
        EXPECT_EQ(result.status, 128 + signal_number);  // the status still tells which signal
        EXPECT_EQ(read_file(page), kOldPage) << signal_number;
        EXPECT_EQ(folder_entries(folder.path), before) << signal_number;
    }
}

TEST_F(Stopped, KilledOutrightThenRunAgain)
{
    make_long_template();
    std::vector<std::string> before = folder_entries(folder.path);
    StartedRun run = start_korvel(folder.path);
    ASSERT_TRUE(wait_for_temporary_page());
    kill(run.pid, SIGKILL);
    EXPECT_EQ(wait_for(run).status, 128 + SIGKILL);
    EXPECT_EQ(read_file(page), kOldPage);
    EXPECT_EQ(temporary_pages().size(), 1u);  // nothing could remove it then

    EXPECT_EQ(run_korvel(folder.path).status, 0);
    EXPECT_EQ(folder_entries(folder.path), before);
    EXPECT_GT(read_file(page).size(), 64u << 20);
}

// Once the new page is in place the run has succeeded, whatever stops it
// while the folder is flushed.
TEST_F(Stopped, AfterThePageIsInPlace)
{
    if (!kFaultsCanBeInjected)
        GTEST_SKIP() << "korvel_faulty is not built under the sanitizers";
    Restrictions restrictions;
    restrictions.fault = "slow-folder-flush";
    StartedRun run = start_korvel_restricted(folder.path, restrictions);
    for (int waited_ms = 0; waited_ms < 10000 && read_file(page) == kOldPage; ++waited_ms)
        usleep(1000);
    kill(run.pid, SIGTERM);
    RunResult result = wait_for(run);
    EXPECT_EQ(result.status, 0);
    EXPECT_GT(read_file(page).size(), 300 * 1000u);
}

// A member of the page's group keeps the group for the next member's run,
// as chgrp would; only root may keep the owner.
TEST_F(Failing, AMembersRunKeepsThePagesGroup)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving the page to a group of others takes root";
    const gid_t team = 4242;
    chmod(folder.path.c_str(), 0777);
    ASSERT_EQ(chown(page.c_str(), 0, team), 0);
    chmod(page.c_str(), 0664);
    Restrictions restrictions;
    restrictions.unprivileged = true;
    restrictions.member_of = team;
    RunResult run = run_korvel_restricted(folder.path, restrictions);
    chmod(folder.path.c_str(), 0755);
    EXPECT_EQ(run.status, 0);
    struct stat st;
    ASSERT_EQ(stat(page.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, team);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
}

namespace {

// A small tmpfs mounted on a fresh folder, unmounted when it goes.
struct SmallDisk {
    TempFolder folder{"Small disk"};
    bool mounted = false;
    explicit SmallDisk(const char* size)
    {
        mounted = mount("tmpfs", folder.path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            umount2(folder.path.c_str(), MNT_DETACH);
    }
};

}  // namespace

// Under the shell's file-size limit (ulimit -f), a view larger than the
// limit fails as on a full disk, and its section shows the picture; the
// signal its write raised never costs the page.
TEST(FullDisk, AFileSizeLimitCostsAPieceNeverThePage)
{
    TempFolder folder("Limited");
    make_jpeg(folder.path, "large.jpg", 3000, 2000, 1704190830);
    make_jpeg(folder.path, "small.jpg", 400, 300, 1704190830);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS>\n");
    Restrictions restrictions;
    restrictions.file_size_limit = 12 << 10;
    restrictions.file_size_signal = true;
    for (int run = 0; run < 2; ++run) {
        RunResult ran = run_korvel_restricted(folder.path, restrictions);
        EXPECT_EQ(ran.status, 0) << run;
        const std::string text = read_file(join_path(folder.path, "index.html"));
        EXPECT_NE(text.find("korvel-thumbs/large.jpg 2x'"), std::string::npos) << run;
        EXPECT_EQ(text.find("korvel-views/large.jpg"), std::string::npos) << run;
        EXPECT_EQ(folder_entries(join_path(folder.path, "korvel-views")), std::vector<std::string>{".korvel-record"});
    }
    ASSERT_GT(read_file(join_path(folder.path, "large.jpg")).size(), restrictions.file_size_limit);
}

TEST(FullDisk, APageThatDoesNotFitKeepsTheOldOne)
{
    SmallDisk disk("256k");
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const TempFolder& folder = disk.folder;

    // The page for 1000 pictures is about 350 KB.
    for (int i = 0; i < 1000; ++i)
        make_picture(folder.path, "IMG_" + std::to_string(10000 + i) + ".jpg", 0, 1704190830);
    const std::string page = join_path(folder.path, "index.html");
    write_file(page, kOldPage);
    std::vector<std::string> before = folder_entries(folder.path);
    RunResult run = run_korvel(folder.path);
    EXPECT_EQ(run.status, kFailureStatus);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(read_file(page), kOldPage);
    EXPECT_EQ(folder_entries(folder.path), before);
}

// THUMBS VIEWS on a filling disk: a run succeeds wherever the same run
// without them would. With little room beyond the page's, no thumbnail or
// view takes it; with a template so large that the page does not fit
// beside this run's new ones, they are given up and the page written in
// their room. Either way nothing half-written stays, and every thumbnail
// and view the page shows is there.
TEST(FullDisk, ThumbnailsAndViewsNeverCostThePage)
{
    struct Case {
        const char* what;
        std::size_t template_bytes;
        std::uint64_t room_beyond_page;
    };
    for (const Case& c : {Case{"room for the page alone", 0, 300 << 10}, Case{"a large template", 6 << 20, 200 << 10}}) {
        SmallDisk disk("32m");
        if (!disk.mounted)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        const TempFolder& folder = disk.folder;
        for (int i = 0; i < 300; ++i)
            make_jpeg(folder.path, "IMG_" + std::to_string(10000 + i) + ".jpg", i % 60 == 50 ? 1800 : 400,
                      i % 60 == 50 ? 1350 : 300, 1704190830);
        const std::string filler(c.template_bytes, 'x');
        // The same template, but for the one option, makes the plain page.
        write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL XHUMBS XIEWS>\n" + filler);
        ASSERT_EQ(run_korvel(folder.path).status, 0) << c.what;
        const std::string page = join_path(folder.path, "index.html");
        const std::uint64_t page_size = read_file(page).size();
        write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS>\n" + filler);
        struct statvfs sv;
        ASSERT_EQ(statvfs(folder.path.c_str(), &sv), 0);
        const std::uint64_t free_now = std::uint64_t{sv.f_bavail} * sv.f_frsize;
        ASSERT_GT(free_now, page_size + c.room_beyond_page);
        const int fd = open(join_path(folder.path, "filler").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(posix_fallocate(fd, 0, static_cast<off_t>(free_now - page_size - c.room_beyond_page)), 0);
        close(fd);
        const std::vector<std::string> before = folder_entries(folder.path);

        RunResult run = run_korvel(folder.path);
        EXPECT_EQ(run.status, 0) << c.what;
        EXPECT_EQ(run.output, "");
        std::vector<std::string> after = folder_entries(folder.path);
        for (const PieceKind& kind : kPieceKinds)
            after.erase(std::remove(after.begin(), after.end(), kind.folder), after.end());
        EXPECT_EQ(after, before) << c.what;
        const std::string text = read_file(page);
        EXPECT_NE(text.find("<img src='IMG_10299.jpg' alt='IMG_10299' border='1'"), std::string::npos) << c.what;
        for (const PieceKind& kind : kPieceKinds) {
            const std::string made = kind.folder;
            for (const std::string& name : folder_entries(join_path(folder.path, made))) {
                EXPECT_EQ(name.find(kOwnTemporaryMark), std::string::npos) << c.what;
                EXPECT_TRUE(name == ".korvel-record" || text.find(made + "/" + name) != std::string::npos) << name;
            }
            for (std::size_t at = text.find(made + "/"); at != std::string::npos; at = text.find(made + "/", at + 1))
                EXPECT_TRUE(file_exists(join_path(folder.path, text.substr(at, text.find_first_of("' ", at) - at))))
                    << c.what;
        }
        // A picture without its view is shown whole.
        EXPECT_TRUE(text.find("korvel-views/IMG_10290.jpg 1600w") != std::string::npos ||
                    text.find("IMG_10290.jpg 1800w") != std::string::npos ||
                    text.find("<img src='IMG_10290.jpg' alt='IMG_10290' border='1' align='top absmiddle' width='900'") !=
                        std::string::npos)
            << c.what;
    }
}

// Another user's korvel-thumbs or korvel-views, made first in a folder
// anyone may write, is never used: the cells and sections keep their
// pictures, and nothing in it is read as a thumbnail or view, written or
// removed. In a folder of one's own that others may write, a file of
// theirs is never taken for one, nor removed, even where its name has the
// form of a run's leftover, or where the record says the runner's own
// piece stood.
TEST_F(Failing, AnotherUsersThumbnailAndViewFoldersAreNotUsed)
{
    make_jpeg(folder.path, "IMG_10000.jpg", 2000, 1500, 1704190830);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS>\n");
    std::map<std::string, std::vector<std::string>> theirs;
    std::string leftover = temporary_pattern_of("IMG_10000.jpg");
    std::uint64_t seed = 1;
    fill_random_letters(leftover, seed);
    for (const std::string made : {"korvel-thumbs", "korvel-views"}) {
        const std::string where = join_path(folder.path, made);
        std::filesystem::create_directory(where);
        make_file(where, "IMG_10000.jpg", quarters_jpeg(120, 90), 1704190830);
        write_file(join_path(where, "gone.jpg"), read_file(join_path(where, "IMG_10000.jpg")));
        write_file(join_path(where, leftover), "theirs");
        for (const std::string& name : {std::string(), std::string("IMG_10000.jpg"), std::string("gone.jpg"), leftover})
            if (lchown(join_path(where, name).c_str(), 4321, 4321) != 0)
                GTEST_SKIP() << "cannot give a file to another user here: " << std::strerror(errno);
        ASSERT_EQ(chmod(where.c_str(), 01777), 0);
        theirs[made] = folder_entries(where);
    }
    EXPECT_EQ(run_korvel(folder.path).status, 0);
    for (const auto& [made, entries] : theirs) {
        EXPECT_EQ(folder_entries(join_path(folder.path, made)), entries) << made;
        EXPECT_EQ(read_file(page).find(made + "/"), std::string::npos) << made;
        // Now the folder is the runner's own, but others may still write in it.
        ASSERT_EQ(lchown(join_path(folder.path, made).c_str(), 0, 0), 0);
    }
    auto expect_theirs_kept = [&](const char* step) {
        EXPECT_EQ(run_korvel(folder.path).status, 0);
        for (const auto& [made, entries] : theirs) {
            // Not the runner's to remove.
            EXPECT_TRUE(file_exists(join_path(folder.path, made + "/gone.jpg"))) << step << made;
            EXPECT_TRUE(file_exists(join_path(join_path(folder.path, made), leftover))) << step << made;
            struct stat st;
            const bool taken = read_file(page).find(made + "/IMG_10000.jpg") != std::string::npos;
            ASSERT_EQ(lstat(join_path(folder.path, made + "/IMG_10000.jpg").c_str(), &st), 0);
            EXPECT_TRUE(!taken || st.st_uid == 0) << step << ": another user's file is shown from " << made;
        }
    };
    expect_theirs_kept("in a folder of one's own");
    // The record names the runner's piece; another user puts a file of
    // theirs at its name.
    for (const auto& [made, entries] : theirs) {
        const std::string piece = join_path(folder.path, made + "/IMG_10000.jpg");
        ASSERT_EQ(chmod(join_path(folder.path, made).c_str(), 0777), 0);
        std::filesystem::remove(piece);
    }
    EXPECT_EQ(run_korvel(folder.path).status, 0);
    for (const auto& [made, entries] : theirs) {
        const std::string piece = join_path(folder.path, made + "/IMG_10000.jpg");
        const std::string mine = read_file(piece);
        std::filesystem::remove(piece);
        write_file(piece, mine);
        ASSERT_EQ(lchown(piece.c_str(), 4321, 4321), 0);
    }
    expect_theirs_kept("at the name the record gives");
}

// A piece is never readable by anyone who cannot read its picture: a
// picture kept private, one of a group not the piece's, one reached
// through a link of one's own into a folder only its owner may enter, and
// one made private after its pieces were made, by its own mode or by the
// folder its link leads into (whose caption leaves the page and the
// record too); a public one's pieces get what the shell gives a new file.
TEST(OtherUsers, PrivatePicturesStayPrivate)
{
    TempFolder folder("Album");
    const std::string hidden = join_path(folder.root, "hidden"), open = join_path(folder.root, "open");
    std::filesystem::create_directory(hidden);
    std::filesystem::create_directory(open);
    ASSERT_EQ(chmod(folder.root.c_str(), 0755), 0);
    ASSERT_EQ(chmod(hidden.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0755), 0);
    make_jpeg(hidden, "target.jpg", 2400, 1800, 1704190830);
    ASSERT_EQ(chmod(join_path(hidden, "target.jpg").c_str(), 0644), 0);
    ASSERT_EQ(symlink(join_path(hidden, "target.jpg").c_str(), join_path(folder.path, "linked.jpg").c_str()), 0);
    make_file(open, "away.jpg", with_metadata(recipe_jpeg(2400, 1800, JpegRecipe()),
                                              {{"Exif.Image.ImageDescription", "Behind the shed"}}),
              1704190830);
    ASSERT_EQ(chmod(join_path(open, "away.jpg").c_str(), 0644), 0);
    ASSERT_EQ(symlink(join_path(open, "away.jpg").c_str(), join_path(folder.path, "away.jpg").c_str()), 0);
    for (const char* name : {"private.jpg", "public.jpg", "later.jpg", "grouped.jpg"})
        make_jpeg(folder.path, name, 2400, 1800, 1704190830);
    ASSERT_EQ(chmod(join_path(folder.path, "private.jpg").c_str(), 0600), 0);
    ASSERT_EQ(chown(join_path(folder.path, "grouped.jpg").c_str(), getuid(), getgid() + 4321), 0);
    ASSERT_EQ(chmod(join_path(folder.path, "grouped.jpg").c_str(), 0640), 0);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS CAPTIONS>\n");
    const mode_t mask = umask(022);
    umask(mask);
    const mode_t shell = 0666 & ~mask;
    auto expect_modes = [&](const char* step, std::map<std::string, mode_t> modes) {
        ASSERT_EQ(run_korvel(folder.path).status, 0) << step;
        for (const std::string made : {"korvel-thumbs", "korvel-views"})
            for (const auto& [name, mode] : modes) {
                struct stat st;
                ASSERT_EQ(lstat(join_path(folder.path, made + "/" + name).c_str(), &st), 0) << step << name;
                EXPECT_EQ(st.st_mode & 0777, mode) << step << ": " << made << "/" << name;
            }
    };
    const std::string page = join_path(folder.path, "index.html");
    const std::string facts = join_path(folder.path, "korvel-facts/.korvel-record");
    expect_modes("first", {{"private.jpg", shell & 0700}, {"linked.jpg", shell & 0700}, {"grouped.jpg", shell & 0700},
                           {"public.jpg", shell}, {"later.jpg", shell}, {"away.jpg", shell}});
    EXPECT_NE(read_file(page).find("Behind the shed"), std::string::npos);
    ASSERT_EQ(chmod(join_path(folder.path, "later.jpg").c_str(), 0640), 0);
    ASSERT_EQ(chmod(open.c_str(), 0700), 0);
    expect_modes("made private since",
                 {{"later.jpg", shell & 0770}, {"away.jpg", shell & 0700}, {"public.jpg", shell}});
    EXPECT_EQ(read_file(page).find("Behind the shed"), std::string::npos);
    EXPECT_EQ(read_file(facts).find("Behind the shed"), std::string::npos);
    ASSERT_EQ(chmod(open.c_str(), 0755), 0);
}

// On a file system that keeps no change time (sshfs shows the time of last
// writing for it), a picture copied over another of the same size with
// the time kept gets its own thumbnail, view and caption: its first bytes
// tell; and a picture made private there loses its caption, and its
// pieces are narrowed.
TEST(OtherUsers, NoChangeTimesOnAShare)
{
    if (!kFaultsCanBeInjected)
        GTEST_SKIP() << "korvel_faulty is not built under the sanitizers";
    TempFolder folder("Share");
    JpegRecipe red, blue;
    red.pad_to = blue.pad_to = 65536;
    blue.r = 40, blue.b = 200;
    make_file(folder.path, "a.jpg", recipe_jpeg(1800, 1200, red), 1704190830);
    const std::string b = join_path(folder.path, "b.jpg");
    make_file(folder.path, "b.jpg", with_metadata(quarters_jpeg(64, 48), {{"Exif.Image.ImageDescription", "Day one"}}),
              1704190830);
    write_file(join_path(folder.path, "korvel0.htm"), "<KORVEL THUMBS VIEWS CAPTIONS>\n");
    Restrictions restrictions;
    restrictions.fault = "no-change-times";
    ASSERT_EQ(run_korvel_restricted(folder.path, restrictions).status, 0);
    const std::string first = read_file(join_path(folder.path, "korvel-thumbs/a.jpg"));
    ASSERT_FALSE(first.empty());
    struct stat before;
    ASSERT_EQ(stat(join_path(folder.path, "a.jpg").c_str(), &before), 0);
    make_file(folder.path, "a.jpg", recipe_jpeg(1800, 1200, blue), 1704190830);  // cp -p over it
    struct stat after;
    ASSERT_EQ(stat(join_path(folder.path, "a.jpg").c_str(), &after), 0);
    ASSERT_EQ(after.st_ino, before.st_ino);
    ASSERT_EQ(run_korvel_restricted(folder.path, restrictions).status, 0);
    EXPECT_NE(read_file(join_path(folder.path, "korvel-thumbs/a.jpg")), first);
    const std::string record = read_file(join_path(folder.path, "korvel-thumbs/.korvel-record"));
    ASSERT_EQ(run_korvel_restricted(folder.path, restrictions).status, 0);  // unchanged: the record stays
    EXPECT_EQ(read_file(join_path(folder.path, "korvel-thumbs/.korvel-record")), record);

    const std::string page = join_path(folder.path, "index.html");
    EXPECT_NE(read_file(page).find("Day one"), std::string::npos);
    make_file(folder.path, "b.jpg", with_metadata(quarters_jpeg(64, 48), {{"Exif.Image.ImageDescription", "Day two"}}),
              1704190830);
    ASSERT_EQ(run_korvel_restricted(folder.path, restrictions).status, 0);
    EXPECT_NE(read_file(page).find("Day two"), std::string::npos);
    ASSERT_EQ(chmod(b.c_str(), 0600), 0);
    ASSERT_EQ(chmod(join_path(folder.path, "a.jpg").c_str(), 0600), 0);
    ASSERT_EQ(run_korvel_restricted(folder.path, restrictions).status, 0);
    EXPECT_EQ(read_file(page).find("Day two"), std::string::npos);
    for (const char* piece : {"korvel-thumbs/a.jpg", "korvel-views/a.jpg"}) {
        struct stat st;
        ASSERT_EQ(stat(join_path(folder.path, piece).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << piece << ": its picture was made private";
    }
    EXPECT_EQ(read_file(join_path(folder.path, "korvel-facts/.korvel-record")).find("Day two"), std::string::npos);
}
