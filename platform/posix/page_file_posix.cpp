// The page file on POSIX: a new file beside the page, made and renamed
// through the page's folder, open, as the walk of the page's links left it;
// held by flock; then fsync of the folder.
#include "platform/page_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/platform_shared.h"
#include "platform/posix/link_chain.h"
#include "platform/posix/page_protection.h"
#include "platform/posix/temporary_files.h"
#include "platform/signal_cleanup.h"

namespace {

int folder_of(const PageFile& page)
{
    return static_cast<int>(page.folder.handle);
}

// How a lock on a temporary page went.
enum class Lock {
    held,     // this run's
    taken,    // another run holds the file
    refused,  // the file system keeps no locks (NFS without a lock daemon, some FUSE and SMB mounts)
};

Lock lock_file(int fd)
{
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Lock::held;
    return errno == EWOULDBLOCK ? Lock::taken : Lock::refused;
}

// True when name in the folder dir_fd still names the plain file open as
// fd: a new run's file is locked by it from just after it is made, and a
// cleanup may take one for a leftover in between and remove it.
bool still_named(int fd, int dir_fd, const char* name)
{
    struct stat held, named;
    return fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
           fstatat(dir_fd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// Makes and locks the temporary file with the permission bits given (the
// system takes off the umask, or applies the folder's default access list,
// as for any new file), and holds it for the signal handler, all within one
// held change. -1 when it cannot be made.
int create_held_file(PageFile& page, const std::string& pattern, mode_t mode)
{
    std::uint64_t seed = random_seed();
    for (int attempt = 0; attempt < 100; ++attempt) {
        page.temporary = pattern;
        fill_random_letters(page.temporary, seed);
        begin_held_change();
        int fd = openat(folder_of(page), page.temporary.c_str(),
                        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (fd < 0) {
            end_held_change();
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // Where the system refuses locks the file goes on unlocked: no
        // cleanup can lock it either, so none removes it.
        if (hold_new_file(fd, folder_of(page), page.temporary.c_str())) {
            hold_page(page);
            end_held_change();
            return fd;
        }
        close(fd);  // the other run removes it
        end_held_change();
    }
    return -1;
}

}  // namespace

std::uint64_t random_seed()
{
    std::uint64_t seed = 0;
    if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof seed)) {
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        seed = static_cast<std::uint64_t>(now.tv_nsec) * 2654435761u ^ static_cast<std::uint64_t>(getpid());
    }
    return seed;
}

void remove_if_abandoned(int dir_fd, const char* name)
{
    int fd = openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Only the running user's own: another's file of the same form of name
    // may be anything of theirs.
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && lock_file(fd) == Lock::held &&
        still_named(fd, dir_fd, name))
        unlinkat(dir_fd, name, 0);
    close(fd);
}

bool hold_new_file(int fd, int dir_fd, const char* name)
{
    return lock_file(fd) != Lock::taken && still_named(fd, dir_fd, name);
}

bool begin_page(PageFile& page, const WorkFolder& at, const char* name)
{
    WalkedPath walked;
    Walk walk = walk_own_links(at, name, walked);
    if (walk == Walk::refused)
        return false;
    page.folder.handle = walked.folder;
    page.target = walked.name;

    // The old page, opened to read its protection from: rename() would
    // replace a page the user may not write, so the system is asked first,
    // access list and all. (Opened for writing, the page would tell anyone
    // watching it that it was written.)
    int old_fd = -1;
    if (walk == Walk::found) {
        struct stat old;
        const char* name = page.target.c_str();
        if (fstatat(folder_of(page), name, &old, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(old.st_mode) ||
            faccessat(folder_of(page), name, W_OK, AT_EACCESS) != 0 ||
            (old_fd = openat(folder_of(page), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) <
                0 ||
            fstat(old_fd, &old) != 0 || !S_ISREG(old.st_mode)) {
            if (old_fd >= 0)
                close(old_fd);
            close_file(page.folder);
            return false;
        }
    }

    guard_held_page();
    // A new page is made as the shell makes a file; one that replaces
    // another is private until it has the old one's protection.
    int fd = create_held_file(page, temporary_pattern_of(page.target), old_fd >= 0 ? 0600 : 0666);
    if (fd < 0) {
        page.temporary.clear();
        if (old_fd >= 0)
            close(old_fd);
        close_file(page.folder);
        return false;
    }
    page.file.handle = fd;
    bool kept = old_fd < 0 || keep_protection(fd, old_fd);
    if (old_fd >= 0)
        close(old_fd);
    if (!kept) {
        abandon_page(page);
        return false;
    }
    return true;
}

void remove_abandoned_pages(const PageFile& page, const WorkFolder& at, const std::vector<std::string>& seen)
{
    const std::string pattern = temporary_pattern_of(page.target);
    struct stat here, there;
    bool in_listed_folder = fstatat(folder_fd_of(at), ".", &here, 0) == 0 && fstat(folder_of(page), &there) == 0 &&
                            here.st_dev == there.st_dev && here.st_ino == there.st_ino;
    // The folder as it was walked to, open for reading.
    int dir_fd = openat(folder_of(page), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0)
        return;
    if (in_listed_folder) {
        for (const std::string& name : seen)
            if (is_temporary_name(name, pattern))
                remove_if_abandoned(dir_fd, name.c_str());
    } else if (DIR* dir = fdopendir(fcntl(dir_fd, F_DUPFD_CLOEXEC, 0))) {
        while (struct dirent* entry = readdir(dir))
            if (is_temporary_name(entry->d_name, pattern))
                remove_if_abandoned(dir_fd, entry->d_name);
        closedir(dir);
    }
    close(dir_fd);
}

bool flush_file(PlatformFile& file)
{
    if (fsync(static_cast<int>(file.handle)) == 0)
        return true;
    return errno == EINVAL || errno == ENOTSUP;  // a file system that cannot flush
}

bool rename_page(PageFile& page)
{
    begin_held_change();
    bool renamed = renameat(folder_of(page), page.temporary.c_str(), folder_of(page), page.target.c_str()) == 0;
    if (!renamed) {
        end_held_change();
        return false;
    }
    release_held_page();
    page.temporary.clear();
    // The new page is in place: when it is the run's last, the run has done
    // its work, and a stop from now on must not say otherwise.
    if (page.ends_run)
        end_held_change_for_good();
    else
        end_held_change();
    return true;
}

void remove_temporary(PageFile& page)
{
    begin_held_change();
    unlinkat(folder_of(page), page.temporary.c_str(), 0);
    release_held_page();
    page.temporary.clear();
    end_held_change();
}

void flush_folder(PageFile& page)
{
    int fd = openat(folder_of(page), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    close_file(page.folder);
}
