#include "support/test_support.h"

#include <dirent.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "pagewriter/image_listing.h"

const char* const kTestTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const kOwnTemporaryMark = ".korvel~P";
const char* const kOtherTemporaryMark = ".korvel~W";
const int kFailureStatus = 255;
#ifdef KORVEL_FAULTY_EXE
const bool kFaultsCanBeInjected = true;
#else
const bool kFaultsCanBeInjected = false;
#endif

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

void make_file(const std::string& folder, const std::string& name, const std::string& content, std::int64_t modified,
               std::uint32_t nanoseconds)
{
    write_file(join_path(folder, name), content);
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(modified);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(nanoseconds);
    if (utimensat(AT_FDCWD, join_path(folder, name).c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the time of " + name);
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

std::string lock_of_folder(const std::string& folder)
{
    return folder;
}

HeldFile::HeldFile(const std::string& path)
{
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EISDIR)
        fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX) != 0)
        throw std::runtime_error("cannot hold " + path);
    handle = fd;
}

HeldFile::~HeldFile()
{
    close(static_cast<int>(handle));
}

namespace {

StartedRun start(const char* program, const std::string& folder, const std::vector<std::string>& args,
                 const Restrictions& restrictions)
{
    static int runs = 0;  // runs at once each have their own output
    StartedRun started;
    started.output_path = folder + "/../korvel-output-" + std::to_string(++runs) + ".txt";
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = open(started.output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || chdir(folder.c_str()) != 0)
            _exit(127);
        dup2(out, 1);
        dup2(out, 2);
        setenv("TZ", kTestTimeZone, 1);
        if (!restrictions.fault.empty())
            setenv("KORVEL_FAULT", restrictions.fault.c_str(), 1);
        // As from a terminal, whatever the test runner ignores.
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, SIGALRM, SIGUSR1})
            signal(signal_number, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (restrictions.file_size_limit) {
            // Writes past the limit then fail with EFBIG instead of a signal.
            if (!restrictions.file_size_signal)
                signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = restrictions.file_size_limit;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(127);
        }
        if (restrictions.unprivileged && geteuid() == 0) {
            const uid_t nobody = 65534;
            const gid_t group = restrictions.member_of;
            if (setgroups(group ? 1 : 0, &group) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
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
    started.pid = pid;
    return started;
}

RunResult finish(StartedRun& run, int time_limit_seconds)
{
    int status = 0;
    if (time_limit_seconds > 0) {
        // Poll, so that a run that hangs is killed rather than the test.
        for (int waited_ms = 0; waitpid(static_cast<pid_t>(run.pid), &status, WNOHANG) == 0; ++waited_ms) {
            if (waited_ms == time_limit_seconds * 1000) {
                kill(static_cast<pid_t>(run.pid), SIGKILL);
                waitpid(static_cast<pid_t>(run.pid), &status, 0);
                break;
            }
            usleep(1000);
        }
    } else {
        waitpid(static_cast<pid_t>(run.pid), &status, 0);
    }
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = read_file(run.output_path);
    std::remove(run.output_path.c_str());
    return result;
}

}  // namespace

RunResult run_korvel(const std::string& folder, const std::vector<std::string>& args)
{
    StartedRun started = start(KORVEL_EXE, folder, args, Restrictions());
    return finish(started, 0);
}

StartedRun start_korvel(const std::string& folder)
{
    return start(KORVEL_EXE, folder, {}, Restrictions());
}

RunResult wait_for(StartedRun& run)
{
    return finish(run, 0);
}

StartedRun start_korvel_restricted(const std::string& folder, const Restrictions& restrictions)
{
    // The copy lives in the test's own temporary folder, opened up so that
    // "nobody" can reach it wherever the build tree is.
    std::string root = folder + "/..";
    std::string copy = root + "/korvel";
#ifdef KORVEL_FAULTY_EXE
    const char* program = restrictions.fault.empty() ? KORVEL_EXE : KORVEL_FAULTY_EXE;
#else
    const char* program = KORVEL_EXE;
#endif
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
    chmod(copy.c_str(), 0755);
    chmod(root.c_str(), 0755);
    return start(copy.c_str(), folder, {}, restrictions);
}

RunResult run_korvel_restricted(const std::string& folder, const Restrictions& restrictions)
{
    StartedRun started = start_korvel_restricted(folder, restrictions);
    return finish(started, restrictions.time_limit_seconds);
}

std::string native_line_ends(const std::string& text)
{
    return text;
}

NamesNote names_note(const std::string& pieces)
{
    // Tried beside the folder: a file made in it would change its names.
    const std::string probe = pieces + " probe of notes";
    write_file(probe, "");
    const bool kept = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
    std::filesystem::remove(probe);
    if (!kept)
        return NamesNote::not_kept;
    char note[64];
    return getxattr(join_path(pieces, ".korvel-record").c_str(), "user.korvel.names", note, sizeof note) > 0
               ? NamesNote::noted
               : NamesNote::not_noted;
}
