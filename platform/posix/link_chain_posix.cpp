// The walk of a path a part at a time: every part is opened with O_PATH and
// O_NOFOLLOW relative to the folder before it, so a link is read, checked
// and followed by its own descriptor, and nothing can be swapped in between.
#include "platform/posix/link_chain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace {

constexpr int kMostLinks = 40;  // as the kernel's limit: a loop, or a chain too long to be meant

int open_path(int folder, const char* name)
{
    return openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
}

// Replaces folder by next, closing the one it was.
void move_to(int& folder, int next)
{
    close(folder);
    folder = next;
}

// The next part of rest, taken off its front; empty parts and "." are
// passed over. Empty when rest holds no more parts.
std::string take_part(std::string& rest)
{
    for (;;) {
        std::size_t start = rest.find_first_not_of('/');
        if (start == std::string::npos) {
            rest.clear();
            return std::string();
        }
        std::size_t end = rest.find('/', start);
        std::string part = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        rest.erase(0, end == std::string::npos ? rest.size() : end);
        if (part != ".")
            return part;
    }
}

bool only_separators_and_dots(const std::string& rest)
{
    std::string copy = rest;
    return take_part(copy).empty();
}

bool is_ours(const struct stat& st)
{
    return st.st_uid == geteuid() || st.st_uid == 0;
}

// The target of the link open as fd, or false when it cannot be read.
bool read_link(int fd, const struct stat& st, std::string& target)
{
    target.assign(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    ssize_t n = readlinkat(fd, "", &target[0], target.size());
    if (n <= 0 || static_cast<std::size_t>(n) == target.size())  // unreadable, or grew since it was looked at
        return false;
    target.resize(static_cast<std::size_t>(n));
    return true;
}

}  // namespace

int folder_fd_of(const WorkFolder& at)
{
    return at.folder.handle < 0 ? AT_FDCWD : static_cast<int>(at.folder.handle);
}

Walk walk_own_links(const WorkFolder& at, const char* path, WalkedPath& walked)
{
    walked = WalkedPath();
    std::string rest = path;
    int folder = openat(rest[0] == '/' ? AT_FDCWD : folder_fd_of(at), rest[0] == '/' ? "/" : ".",
                        O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return Walk::refused;
    int links = 0;
    for (;;) {
        std::string part = take_part(rest);
        if (part.empty())
            break;  // a path of no parts, or one that ends in a folder: no name to walk to
        const bool last = only_separators_and_dots(rest);
        int fd = open_path(folder, part.c_str());
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0) {
            bool absent = fd < 0 && errno == ENOENT && last && part != "..";
            if (fd >= 0)
                close(fd);
            if (!absent)
                break;
            walked.folder = folder;
            walked.name = part;
            return Walk::absent;
        }
        if (S_ISLNK(st.st_mode)) {
            std::string target;
            bool followed = is_ours(st) && ++links <= kMostLinks && read_link(fd, st, target);
            close(fd);
            if (!followed)
                break;
            walked.through_links = true;
            if (target[0] == '/') {
                fd = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0)
                    break;
                move_to(folder, fd);
            }
            rest = target + "/" + rest;
            continue;
        }
        if (last && part != "..") {
            close(fd);
            walked.folder = folder;
            walked.name = part;
            return Walk::found;
        }
        if (!S_ISDIR(st.st_mode)) {
            close(fd);
            break;
        }
        move_to(folder, fd);
    }
    close(folder);
    return Walk::refused;
}

bool searchable_by_others(int folder, FolderWays* ways)
{
    bool open = false;
    std::vector<std::pair<dev_t, ino_t>> passed;  // the folders walked, for ways
    int at = fcntl(folder, F_DUPFD_CLOEXEC, 0);
    for (int depth = 0; at >= 0 && depth < 4096; ++depth) {
        struct stat here, up;
        if (fstat(at, &here) != 0)
            break;
        const std::pair<dev_t, ino_t> key(here.st_dev, here.st_ino);
        if (ways) {
            std::lock_guard<std::mutex> hold(ways->lock);
            auto known = ways->open_to_others.find(key);
            if (known != ways->open_to_others.end()) {
                open = known->second;
                break;
            }
        }
        try {
            passed.push_back(key);
        } catch (...) {
            ways = nullptr;  // no memory to learn with: the walk goes on alone
        }
        int parent = openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        const bool passable = (here.st_mode & S_IXOTH) != 0;
        const bool root =
            parent >= 0 && fstat(parent, &up) == 0 && up.st_dev == here.st_dev && up.st_ino == here.st_ino;
        close(at);
        at = parent;
        if (!passable || root) {
            open = passable && root;
            break;
        }
    }
    if (at >= 0)
        close(at);
    if (ways) {
        // Each folder walked is open as far as the walk's end is.
        std::lock_guard<std::mutex> hold(ways->lock);
        try {
            for (const auto& key : passed)
                ways->open_to_others.emplace(key, open);
        } catch (...) {
            // Not learnt: looked at again next time.
        }
    }
    return open;
}
