// The page file on POSIX: mkostemp beside the page, held by flock; rename
// over the page, then fsync of the folder.
#include "platform/page_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform_shared.h"
#include "platform/posix/link_chain.h"
#include "platform/signal_cleanup.h"

namespace {

mode_t current_umask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
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

// Removes the temporary page name in the open folder if no run holds it.
// One that cannot be locked may belong to a live run, and stays.
void remove_if_abandoned(int dir_fd, const char* name)
{
    int fd = openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (lock_file(fd) == Lock::held && still_named(fd, dir_fd, name))
        unlinkat(dir_fd, name, 0);
    close(fd);
}

// Makes and locks the temporary file, and holds it for the signal handler,
// all within one held change. -1 when it cannot be made.
int create_held_file(PageFile& page, const std::string& pattern)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        page.temporary = pattern;
        begin_held_change();
        int fd = mkostemp(&page.temporary[0], O_CLOEXEC);
        if (fd < 0) {
            end_held_change();
            return -1;
        }
        // Where the system refuses locks the file goes on unlocked: no
        // cleanup can lock it either, so none removes it.
        if (lock_file(fd) != Lock::taken && still_named(fd, AT_FDCWD, page.temporary.c_str())) {
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

bool begin_page(PageFile& page, const char* name)
{
    page.target = name;
    if (!follow_own_links(page.target))
        return false;

    mode_t mode = 0666 & ~current_umask();
    struct stat old;
    bool replacing = stat(page.target.c_str(), &old) == 0;
    if (replacing) {
        if (!S_ISREG(old.st_mode))
            return false;
        // rename() would replace a page the user may not write: ask first.
        if (faccessat(AT_FDCWD, page.target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }

    guard_held_page();
    // A dot-name that does not end in ".jpg": never a picture, hidden from
    // listings.
    int fd = create_held_file(page, temporary_pattern_of(page.target));
    if (fd < 0) {
        page.temporary.clear();
        return false;
    }
    page.file.handle = fd;
    if (fchmod(fd, mode) != 0) {
        abandon_page(page);
        return false;
    }
    // Keep the old page's owner where the system allows it (it does for
    // root).
    if (replacing && (old.st_uid != geteuid() || old.st_gid != getegid()) &&
        fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not allowed: the page belongs to whoever ran the tool, which is fine.
    }
    return true;
}

void remove_abandoned_pages(const PageFile& page, const std::vector<std::string>& seen)
{
    const std::string folder = folder_part(page.target);
    const std::string pattern = temporary_pattern_of(page.target);
    int dir_fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0)
        return;
    if (folder.empty()) {
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
    bool renamed = rename(page.temporary.c_str(), page.target.c_str()) == 0;
    if (renamed) {
        release_held_page();
        page.temporary.clear();
    }
    end_held_change();
    return renamed;
}

void remove_temporary(PageFile& page)
{
    begin_held_change();
    unlink(page.temporary.c_str());
    release_held_page();
    page.temporary.clear();
    end_held_change();
}

void flush_folder(const std::string& folder)
{
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}
