// Runs of korvel that must fail: each must exit with -1, print nothing,
// leave the old page byte for byte as it was and leave no temporary file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

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
};

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

TEST_F(Failing, ATemplateThatCannotBeRead)
{
    // A folder opens like a file here, but cannot be read: the page would
    // lose the rest of the template.
    std::filesystem::create_directory(join_path(folder.path, "korvel0.htm"));
    std::vector<std::string> before = folder_entries(folder.path);
    expect_failure_without_a_trace(run_korvel(folder.path), before);
    EXPECT_EQ(read_file(page), kOldPage);
}
