// The listing on POSIX: readdir for the names, then fstatat from a few
// threads for the sizes and times of the entries kept.
#include "platform/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/helper_threads.h"
#include "platform/platform_shared.h"
#include "platform/posix/folder_entries.h"
#include "platform/posix/link_chain.h"

bool read_folder(const WorkFolder& at, FolderListing& listing)
{
    int fd = openat(folder_fd_of(at), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (fd >= 0 && !dir)
        close(fd);
    return read_entries(dir, listing);
}

bool read_entries(DIR* dir, FolderListing& listing)
{
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
        listing.files.back().is_folder = entry->d_type == DT_DIR;
        listing.files.back().may_be_folder =
            entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
    }
    bool read_to_end = errno == 0;  // readdir's end, not its error
    closedir(dir);
    return read_to_end;
}

namespace {

std::uint64_t stamp_of(const struct stat& st)
{
    std::uint64_t hash = mixed_into_stamp(0, static_cast<std::uint64_t>(st.st_dev));
    hash = mixed_into_stamp(hash, static_cast<std::uint64_t>(st.st_ino));
    hash = mixed_into_stamp(hash, static_cast<std::uint64_t>(st.st_ctim.tv_sec));
    return mixed_into_stamp(hash, static_cast<std::uint64_t>(st.st_ctim.tv_nsec));
}

// Below this many entries the lookups are done at once, without threads:
// starting them would cost more than it saves.
constexpr std::size_t kParallelFrom = 512;
// Threads that look up at once: the time goes waiting for the file system,
// above all for a network share, more than into the processors.
constexpr unsigned kLookupThreads = 8;
// Entries a thread takes at a time: a few slices for each thread, so that
// every thread has work in a folder of a thousand pictures on a slow share
// too, and at most 256, so that taking one costs nothing against its work.
std::size_t slice_size_for(std::size_t count)
{
    return std::min<std::size_t>(256, std::max<std::size_t>(8, count / (kLookupThreads * 4)));
}

struct Lookup {
    const WorkFolder* at = nullptr;
    int dir_fd = -1;
    FolderWays ways;
    std::vector<ListedFile>* files = nullptr;
    std::vector<unsigned char>* gone = nullptr;  // 1 for an entry that is no more
    std::size_t slice_size = 0;
    std::atomic<std::size_t> next_slice{0};
};

// What the link name leads to, when the walk there follows only links of
// the running user's own or root's: another user's link could otherwise
// publish the size and time of a file of ours that they may not even look
// at. A link that leads nowhere, or through another user's link, keeps
// its own size and time. Returns, for a link followed, whether others may
// reach the file through the folders on the way (1) or not (2), for its
// stamp, so that a folder made private there makes the picture's pieces
// and facts be looked at again; 0 otherwise.
unsigned look_through_link(Lookup& lookup, const char* name, struct stat& st)
{
    WalkedPath walked;
    Walk walk = Walk::refused;
    try {
        walk = walk_own_links(*lookup.at, name, walked);
    } catch (...) {
        // No memory for the walk, in a helper thread that must not throw:
        // the link shows as itself.
    }
    if (walk == Walk::refused)
        return 0;
    struct stat target;
    unsigned way = 0;
    if (walk == Walk::found && fstatat(walked.folder, walked.name.c_str(), &target, AT_SYMLINK_NOFOLLOW) == 0) {
        st = target;
        way = searchable_by_others(walked.folder, &lookup.ways) ? 1 : 2;
    }
    close(walked.folder);
    return way;
}

// Looks up slices of the entries until none is left. Each thread writes only
// the entries of the slices it took.
void look_up_slices(Lookup& lookup)
{
    std::vector<ListedFile>& files = *lookup.files;
    for (;;) {
        std::size_t from = lookup.next_slice.fetch_add(1, std::memory_order_relaxed) * lookup.slice_size;
        if (from >= files.size())
            return;
        std::size_t to = std::min(from + lookup.slice_size, files.size());
        for (std::size_t i = from; i < to; ++i) {
            // Relative to the open folder: no path to resolve for each entry.
            struct stat st;
            const char* name = files[i].name.data();  // followed by a zero byte
            if (fstatat(lookup.dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                (*lookup.gone)[i] = 1;
                continue;
            }
            const unsigned way = S_ISLNK(st.st_mode) ? look_through_link(lookup, name, st) : 0;
            // A folder's size is no picture's, and Windows lists it as 0.
            files[i].size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
            files[i].modified = static_cast<std::int64_t>(st.st_mtim.tv_sec);
            files[i].modified_nanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
            files[i].stamp = way != 0 ? mixed_into_stamp(stamp_of(st), way) : stamp_of(st);
            files[i].is_folder = S_ISDIR(st.st_mode);
            files[i].change_time_is_write_time =
                st.st_ctim.tv_sec == st.st_mtim.tv_sec && st.st_ctim.tv_nsec == st.st_mtim.tv_nsec;
        }
    }
}

}  // namespace

bool look_up_files(const WorkFolder& at, FolderListing& listing)
{
    Lookup lookup;
    lookup.at = &at;
    lookup.dir_fd = openat(folder_fd_of(at), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lookup.dir_fd < 0)
        return false;
    std::vector<unsigned char> gone(listing.files.size(), 0);
    lookup.files = &listing.files;
    lookup.slice_size = slice_size_for(listing.files.size());
    lookup.gone = &gone;

    std::vector<std::thread> helpers;
    helpers.reserve(kLookupThreads);
    if (listing.files.size() >= kParallelFrom) {
        // The ending signals are for the main thread, which alone holds
        // anything they must clean up.
        begin_helper_starts();
        for (unsigned i = 1; i < kLookupThreads; ++i) {
            try {
                helpers.emplace_back(look_up_slices, std::ref(lookup));
            } catch (...) {
                break;  // no thread or no memory: fewer threads, or none, do the same work
            }
        }
        end_helper_starts();
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
