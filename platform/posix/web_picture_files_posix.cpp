// The thumbnails' files on POSIX: the folder walked to by one's own links
// and kept open; every call on a thumbnail is relative to it, without
// following a link.
#include "platform/web_picture_files.h"

#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform_shared.h"
#include "platform/posix/file_reads.h"
#include "platform/posix/folder_entries.h"
#include "platform/posix/link_chain.h"
#include "platform/posix/own_files.h"
#include "platform/posix/temporary_files.h"
#include "platform/signal_cleanup.h"

namespace {

int folder_of(const WebPictureFolder& folder)
{
    return static_cast<int>(folder.folder.handle);
}

bool write_all(int fd, const std::string& bytes)
{
    PlatformFile file;
    file.handle = fd;
    return write_output_file(file, bytes.data(), bytes.size());
}

void drop_file_size_signal()
{
    sigset_t pending, file_size;
    sigemptyset(&file_size);
    sigaddset(&file_size, SIGXFSZ);
    struct timespec now = {0, 0};
    if (sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1)
        sigtimedwait(&file_size, nullptr, &now);
}

// The mode bits a piece may keep, of a file in group group_id: those for
// group and others only where they may read its picture (and write it,
// which would let them change what the page shows, never more than that).
mode_t readable_mode(const PictureReaders& readers, gid_t group_id)
{
    mode_t mode = S_IRWXU | S_ISUID | S_ISGID | S_ISVTX;
    if (readers.others)
        mode |= S_IRWXG | S_IRWXO;
    else if (readers.group && readers.group_id == static_cast<unsigned>(group_id))
        mode |= S_IRWXG;
    return mode;
}

// Takes from the open file fd, whose status is st, what its readers may
// not have. An access list it took from its folder's default follows the
// mode's group bits (its mask) and others' bits.
bool limit_readers(int fd, const struct stat& st, const PictureReaders& readers)
{
    const mode_t mode = st.st_mode & 07777, allowed = mode & readable_mode(readers, st.st_gid);
    return allowed == mode || fchmod(fd, allowed) == 0;
}

// The same for a new file, before a byte is in it.
bool limit_new_readers(int fd, const PictureReaders& readers)
{
    struct stat st;
    return fstat(fd, &st) == 0 && limit_readers(fd, st, readers);
}

// Waits, a few milliseconds at a time, until no other run holds the
// folder, and holds it. False when another run keeps it past any run's
// length. A file system that keeps no locks has no other runs told apart:
// the folder goes on unlocked.
bool hold_folder(int fd)
{
    for (long waited_ms = 0; waited_ms < kMostWaitForFolderMs; waited_ms += 20) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return true;
        usleep(20000);
    }
    return false;
}

}  // namespace

bool open_web_picture_folder(WebPictureFolder& folder, const WorkFolder& at, const char* name)
{
    guard_held_page();
    WalkedPath walked;
    Walk walk = walk_own_links(at, name, walked);
    if (walk == Walk::refused)
        return false;
    // Made as the shell makes a folder: 0777 less the umask, or what the
    // folder's default access list gives.
    if (walk == Walk::absent && mkdirat(walked.folder, walked.name.c_str(), 0777) != 0 && errno != EEXIST) {
        close(walked.folder);
        return false;
    }
    struct stat st;
    int fd = open_own_folder(walked.folder, walked.name.c_str(), st);
    close(walked.folder);
    if (fd < 0)
        return false;
    if (!hold_folder(fd)) {
        close(fd);
        return false;
    }
    folder.folder.handle = fd;
    // Group or others may write, or an access list may let them.
    folder.shared = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return true;
}

void close_web_picture_folder(WebPictureFolder& folder)
{
    if (folder.folder.handle >= 0 && folder.changed)
        fsync(folder_of(folder));  // the renames on the disk
    close_file(folder.folder);
}

bool is_own_web_picture(const WebPictureFolder& folder, std::string_view name)
{
    struct stat st;
    return fstatat(folder_of(folder), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && is_own(st);
}

std::uint64_t room_left(const WebPictureFolder& folder)
{
    struct statvfs sv;
    if (fstatvfs(folder_of(folder), &sv) != 0)
        return UINT64_MAX;
    return static_cast<std::uint64_t>(sv.f_bavail) * sv.f_frsize;
}

bool keeps_change_times(const WebPictureFolder& folder)
{
    // FUSE's file systems show what their servers say; sshfs, whose SFTP
    // has no change time, shows the time of last writing for it.
    constexpr unsigned long kFuse = 0x65735546;
    struct statfs sf;
    return fstatfs(folder_of(folder), &sf) != 0 || static_cast<unsigned long>(sf.f_type) != kFuse;
}

bool write_web_picture(WebPictureFolder& folder, std::string_view name, const std::string& bytes,
                       std::int64_t modified, const PictureReaders& readers)
{
    const std::string target(name);
    std::string temporary = temporary_pattern_of(target);
    std::uint64_t seed = random_seed();
    fill_random_letters(temporary, seed);
    const int dir = folder_of(folder);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = modified == kTimeOfWriting ? 0 : static_cast<time_t>(modified);
    times[1].tv_nsec = modified == kTimeOfWriting ? UTIME_OMIT : 0;
    // The whole life of the temporary file falls in one held change: a stop
    // waits for it, and finds no temporary file.
    begin_held_change();
    int fd = openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    bool written = fd >= 0 && hold_new_file(fd, dir, temporary.c_str()) && limit_new_readers(fd, readers) &&
                   write_all(fd, bytes) && futimens(fd, times) == 0 && fsync(fd) == 0 &&
                   renameat(dir, temporary.c_str(), dir, target.c_str()) == 0;
    if (fd >= 0) {
        if (!written)
            unlinkat(dir, temporary.c_str(), 0);
        close(fd);
    }
    // A piece larger than the file-size limit fails as on a full disk: the
    // signal its write raised, held while the change was, goes with it.
    if (!written)
        drop_file_size_signal();
    end_held_change();
    folder.changed = folder.changed || written;
    return written;
}

bool list_web_picture_folder(const WebPictureFolder& folder, FolderListing& names)
{
    return read_entries(fdopendir(openat(folder_of(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)), names);
}

namespace {

int open_own(const WebPictureFolder& folder, std::string_view name, struct stat& st)
{
    return open_own_file(folder_of(folder), name, st);
}

}  // namespace

bool limit_web_picture_readers(WebPictureFolder& folder, std::string_view name, const PictureReaders& readers)
{
    struct stat st;
    int fd = open_own(folder, name, st);
    if (fd < 0)
        return false;
    const bool limited = limit_readers(fd, st, readers);
    close(fd);
    return limited;
}

bool read_web_picture_start(const WebPictureFolder& folder, std::string_view name, std::size_t most,
                            std::string& bytes)
{
    struct stat st;
    int fd = open_own(folder, name, st);
    if (fd < 0)
        return false;
    bytes.resize(most);
    ssize_t n = read(fd, &bytes[0], most);
    close(fd);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return n >= 0;
}

bool read_web_picture_whole(const WebPictureFolder& folder, std::string_view name, std::size_t most,
                            std::string& bytes, std::int64_t& modified)
{
    struct stat st;
    int fd = open_own(folder, name, st);
    if (fd < 0)
        return false;
    bool read = read_all(fd, most, bytes);
    modified = static_cast<std::int64_t>(st.st_mtime);
    close(fd);
    return read;
}

bool same_web_picture(const WebPictureFolder& folder, std::string_view a, std::string_view b)
{
    struct stat first, second;
    return fstatat(folder_of(folder), std::string(a).c_str(), &first, AT_SYMLINK_NOFOLLOW) == 0 &&
           fstatat(folder_of(folder), std::string(b).c_str(), &second, AT_SYMLINK_NOFOLLOW) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void remove_web_picture(WebPictureFolder& folder, std::string_view name)
{
    if (unlinkat(folder_of(folder), std::string(name).c_str(), 0) == 0)
        folder.changed = true;
}

void remove_abandoned_web_pictures(WebPictureFolder& folder, const std::vector<std::string_view>& names)
{
    for (std::string_view name : names)
        if (is_any_temporary_name(name)) {
            remove_if_abandoned(folder_of(folder), name.data());  // followed by a zero byte
            folder.changed = true;
        }
}
