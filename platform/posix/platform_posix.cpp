// The platform layer on POSIX systems.
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/platform_shared.h"

bool get_current_directory(std::string& path)
{
    // Start at PATH_MAX and grow: a path may be longer than that.
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        if (getcwd(&buffer[0], buffer.size())) {
            buffer.resize(buffer.find('\0'));
            path = buffer;
            return true;
        }
        if (errno != ERANGE)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool to_local_time(std::int64_t seconds, LocalTime& out)
{
    time_t t = static_cast<time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds)
        return false;
    struct tm tm;
    if (!localtime_r(&t, &tm))
        return false;
    out = local_time_of(tm);
    return true;
}

bool read_folder(FolderListing& listing)
{
    DIR* dir = opendir(".");
    if (!dir)
        return false;
    for (;;) {
        errno = 0;
        struct dirent* entry = readdir(dir);
        if (!entry)
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        add_listed_file(listing, name, 0, 0);
    }
    int saved = errno;  // readdir's end (0) or its error
    closedir(dir);
    errno = saved;
    return saved == 0;
}

namespace {

// Below this many entries the lookups are done at once, without threads:
// starting them would cost more than it saves.
constexpr std::size_t kParallelFrom = 512;
// Threads that look up at once: the time goes waiting for the file system,
// above all for a network share, more than into the processors.
constexpr unsigned kLookupThreads = 8;
// Entries a thread takes at a time.
constexpr std::size_t kSliceSize = 256;

struct Lookup {
    int dir_fd = -1;
    std::vector<ListedFile>* files = nullptr;
    std::vector<unsigned char>* gone = nullptr;  // 1 for an entry that is no more
    std::atomic<std::size_t> next_slice{0};
};

// Looks up slices of the entries until none is left. Each thread writes only
// the entries of the slices it took.
void look_up_slices(Lookup& lookup)
{
    std::vector<ListedFile>& files = *lookup.files;
    for (;;) {
        std::size_t from = lookup.next_slice.fetch_add(1, std::memory_order_relaxed) * kSliceSize;
        if (from >= files.size())
            return;
        std::size_t to = std::min(from + kSliceSize, files.size());
        for (std::size_t i = from; i < to; ++i) {
            // Relative to the open folder: no path to resolve for each entry.
            struct stat st;
            const char* name = files[i].name.data();  // followed by a zero byte
            if (fstatat(lookup.dir_fd, name, &st, 0) != 0 &&
                fstatat(lookup.dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                (*lookup.gone)[i] = 1;
                continue;
            }
            files[i].size = static_cast<std::uint64_t>(st.st_size);
            files[i].modified = static_cast<std::int64_t>(st.st_mtime);
        }
    }
}

}  // namespace

bool look_up_files(FolderListing& listing)
{
    Lookup lookup;
    lookup.dir_fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lookup.dir_fd < 0)
        return false;
    std::vector<unsigned char> gone(listing.files.size(), 0);
    lookup.files = &listing.files;
    lookup.gone = &gone;

    std::vector<std::thread> helpers;
    if (listing.files.size() >= kParallelFrom) {
        // The ending signals are for the main thread, which alone holds
        // anything they must clean up.
        sigset_t all, old;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &old);
        for (unsigned i = 1; i < kLookupThreads; ++i) {
            try {
                helpers.emplace_back(look_up_slices, std::ref(lookup));
            } catch (const std::system_error&) {
                break;  // fewer threads, or none: the work is the same
            }
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    look_up_slices(lookup);
    for (std::thread& helper : helpers)
        helper.join();
    close(lookup.dir_fd);

    // Drop what went missing between the listing and its lookup.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < listing.files.size(); ++i)
        if (!gone[i])
            listing.files[kept++] = listing.files[i];
    listing.files.resize(kept);
    return true;
}

namespace {

// Follows symbolic links from path to the file they finally name, which
// need not exist yet: the page replaces that file and the links stay. Fails
// on a link that cannot be read or a loop of links (errno says which).
bool follow_links(std::string& path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            return errno == ENOENT;
        if (!S_ISLNK(st.st_mode))
            return true;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        ssize_t n = readlink(path.c_str(), &link[0], link.size());
        if (n < 0)
            return false;
        if (static_cast<std::size_t>(n) == link.size()) {  // grew since lstat
            errno = ENAMETOOLONG;
            return false;
        }
        link.resize(static_cast<std::size_t>(n));
        std::size_t slash = path.rfind('/');
        path = link[0] == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

mode_t current_umask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The signals that end a run, which must not leave its temporary file.
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};

// The path of the temporary file this run holds, for the signal handler.
// It is set and cleared only while those signals are blocked, so that the
// handler finds either no path or a whole one, and never a file that is not
// this run's.
std::string g_held_path;
const char* volatile g_held = nullptr;

extern "C" void remove_held_and_reraise(int signal_number)
{
    // Only async-signal-safe calls.
    const char* path = g_held;
    if (path)
        unlink(path);
    signal(signal_number, SIG_DFL);
    raise(signal_number);  // pending until the handler returns, then ends the run as it would have
}

void handle_ending_signals()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = remove_held_and_reraise;
    sigemptyset(&action.sa_mask);
    for (int signal_number : kEndingSignals)
        sigaddset(&action.sa_mask, signal_number);
    for (int signal_number : kEndingSignals) {
        // A signal ignored by whoever started the run (nohup, say) stays so.
        struct sigaction old;
        if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(signal_number, &action, nullptr);
    }
}

void block_ending_signals(sigset_t& old)
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : kEndingSignals)
        sigaddset(&set, signal_number);
    pthread_sigmask(SIG_BLOCK, &set, &old);
}

void restore_signals(const sigset_t& old)
{
    int saved = errno;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = saved;
}

// Locks the temporary page open as fd, which name in the folder dir_fd
// names. True when the lock is this run's and name still names that plain
// file: a new run's file is locked by it from just after it is made, and a
// cleanup may take one for a leftover in between and remove it.
bool lock_named_file(int fd, int dir_fd, const char* name)
{
    struct stat held, named;
    return flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
           fstatat(dir_fd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// Removes the temporary page name in the open folder if no run holds it.
void remove_if_abandoned(int dir_fd, const char* name)
{
    int fd = openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (lock_named_file(fd, dir_fd, name))
        unlinkat(dir_fd, name, 0);
    close(fd);
}

// Makes and locks the temporary file, and tells the signal handler about
// it, all with the ending signals blocked.
int create_held_file(std::string& temporary, const std::string& pattern)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = pattern;
        sigset_t old;
        block_ending_signals(old);
        int fd = mkostemp(&temporary[0], O_CLOEXEC);
        if (fd < 0) {
            restore_signals(old);
            return -1;
        }
        if (lock_named_file(fd, AT_FDCWD, temporary.c_str())) {
            g_held_path = temporary;
            g_held = g_held_path.c_str();
            restore_signals(old);
            return fd;
        }
        close(fd);  // the other run removes it
        restore_signals(old);
    }
    errno = EEXIST;
    return -1;
}

// Called with the ending signals blocked, once the file is renamed or removed.
void forget_held(PageFile& page)
{
    g_held = nullptr;
    g_held_path.clear();
    page.temporary.clear();
}

}  // namespace

bool begin_page(PageFile& page, const char* name)
{
    page.target = name;
    if (!follow_links(page.target))
        return false;

    mode_t mode = 0666 & ~current_umask();
    struct stat old;
    bool replacing = stat(page.target.c_str(), &old) == 0;
    if (replacing) {
        if (!S_ISREG(old.st_mode)) {
            errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
            return false;
        }
        // rename() would replace a page the user may not write: ask first.
        if (faccessat(AT_FDCWD, page.target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }

    handle_ending_signals();
    // A dot-name without an extension: never a picture, hidden from listings.
    int fd = create_held_file(page.temporary, folder_part(page.target, "/") + ".korvel-XXXXXX");
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

void remove_abandoned_pages(const PageFile& page, const FolderListing& current)
{
    std::string folder = folder_part(page.target, "/");
    int dir_fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0)
        return;
    if (folder.empty()) {
        for (std::string_view name : current.temporary_pages)
            remove_if_abandoned(dir_fd, name.data());  // followed by a zero byte
    } else if (DIR* dir = fdopendir(fcntl(dir_fd, F_DUPFD_CLOEXEC, 0))) {
        while (struct dirent* entry = readdir(dir))
            if (is_temporary_name(entry->d_name))
                remove_if_abandoned(dir_fd, entry->d_name);
        closedir(dir);
    }
    close(dir_fd);
}

bool write_output_file(PlatformFile& file, const char* data, std::size_t size)
{
    int fd = static_cast<int>(file.handle);
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool close_file(PlatformFile& file)
{
    int fd = static_cast<int>(file.handle);
    file.handle = -1;
    return fd < 0 || close(fd) == 0;
}

bool flush_file(PlatformFile& file)
{
    if (fsync(static_cast<int>(file.handle)) == 0)
        return true;
    return errno == EINVAL || errno == ENOTSUP;  // a file system that cannot flush
}

bool rename_page(PageFile& page)
{
    sigset_t old;
    block_ending_signals(old);
    bool renamed = rename(page.temporary.c_str(), page.target.c_str()) == 0;
    if (renamed)
        forget_held(page);
    restore_signals(old);
    return renamed;
}

void remove_temporary(PageFile& page)
{
    sigset_t old;
    block_ending_signals(old);
    unlink(page.temporary.c_str());
    forget_held(page);
    restore_signals(old);
}

void flush_folder_of(const std::string& path)
{
    std::string folder = folder_part(path, "/");
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

OpenResult open_input_file(PlatformFile& file, const char* name)
{
    // Without blocking: a FIFO would wait for a writer. O_NONBLOCK does not
    // change how a plain file reads.
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (fd < 0) {
        int saved = errno;
        // A socket cannot be opened at all; it still is no template.
        if (saved != ENOENT && stat(name, &st) == 0 && !S_ISREG(st.st_mode))
            return OpenResult::not_a_file;
        errno = saved;
        return saved == ENOENT ? OpenResult::missing : OpenResult::failed;
    }
    bool known = fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        int saved = errno;
        close(fd);
        errno = saved;
        return known ? OpenResult::not_a_file : OpenResult::failed;
    }
    file.handle = fd;
    return OpenResult::opened;
}

bool read_input_file(PlatformFile& file, char* buffer, std::size_t capacity, std::size_t& got)
{
    for (;;) {
        ssize_t n = read(static_cast<int>(file.handle), buffer, capacity);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return true;
        }
        if (errno != EINTR)
            return false;
    }
}
