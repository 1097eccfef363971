#include "support/test_support.h"

#include <dirent.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "pagewriter/image_listing.h"

const char* const kTestTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";
const int kFailureStatus = 255;

void set_time_zone(const char* tz)
{
    setenv("TZ", tz, 1);
    tzset();
}

TempFolder::TempFolder(const std::string& leaf)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvel-test-XXXXXX").string();
    if (!mkdtemp(&pattern[0]))
        throw std::runtime_error("mkdtemp failed");
    root = pattern;
    path = join_path(root, leaf);
    std::filesystem::create_directories(path);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string join_path(const std::string& folder, const std::string& name)
{
    return folder + "/" + name;
}

bool file_exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void make_picture(const std::string& folder, const std::string& name, std::uint64_t size, std::int64_t modified)
{
    std::string path = join_path(folder, name);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)
        throw std::runtime_error("cannot make " + path);
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(modified);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    if (futimens(fd, times) != 0)
        throw std::runtime_error("cannot set the time of " + path);
    close(fd);
}

std::vector<std::string> listed_pictures(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        throw std::runtime_error("cannot list " + folder);
    while (struct dirent* entry = readdir(dir))
        if (is_picture_name(entry->d_name))
            names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

namespace {

RunResult run(const char* program, const std::string& folder, const std::vector<std::string>& args,
              const Restrictions& restrictions)
{
    std::string output_path = folder + "/../korvel-output.txt";
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || chdir(folder.c_str()) != 0)
            _exit(127);
        dup2(out, 1);
        dup2(out, 2);
        setenv("TZ", kTestTimeZone, 1);
        if (restrictions.file_size_limit) {
            // Writes past the limit then fail with EFBIG instead of a signal.
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = restrictions.file_size_limit;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(127);
        }
        if (restrictions.unprivileged && geteuid() == 0) {
            const uid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
                _exit(127);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = read_file(output_path);
    std::remove(output_path.c_str());
    return result;
}

}  // namespace

RunResult run_korvel(const std::string& folder, const std::vector<std::string>& args)
{
    return run(KORVEL_EXE, folder, args, Restrictions());
}

RunResult run_korvel_restricted(const std::string& folder, const Restrictions& restrictions)
{
    // The copy lives in the test's own temporary folder, opened up so that
    // "nobody" can reach it wherever the build tree is.
    std::string root = folder + "/..";
    std::string copy = root + "/korvel";
    std::filesystem::copy_file(KORVEL_EXE, copy, std::filesystem::copy_options::overwrite_existing);
    chmod(copy.c_str(), 0755);
    chmod(root.c_str(), 0755);
    return run(copy.c_str(), folder, {}, restrictions);
}

std::string native_line_ends(const std::string& text)
{
    return text;
}
