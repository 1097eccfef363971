// The platform layer on POSIX systems.
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "pagewriter/image_listing.h"
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

bool list_images(ImageList& list)
{
    int dir_fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0)
        return false;
    DIR* dir = fdopendir(dir_fd);
    if (!dir) {
        int saved = errno;
        close(dir_fd);
        errno = saved;
        return false;
    }
    for (;;) {
        errno = 0;
        struct dirent* entry = readdir(dir);
        if (!entry)
            break;
        std::string_view name(entry->d_name);
        if (!is_picture_name(name))
            continue;
        // Relative to the open folder: no path to resolve for each picture.
        struct stat st;
        if (fstatat(dir_fd, entry->d_name, &st, 0) != 0 &&
            fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone since it was listed
        add_image(list, name, static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtime));
    }
    int saved = errno;  // readdir's end (0) or its error
    closedir(dir);
    errno = saved;
    return saved == 0;
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

    // A dot-name without an extension: never a picture, hidden from listings.
    std::size_t slash = page.target.rfind('/');
    page.temporary = (slash == std::string::npos ? std::string() : page.target.substr(0, slash + 1)) +
                     ".korvel-XXXXXX";
    int fd = mkostemp(&page.temporary[0], O_CLOEXEC);
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

void remove_file(const std::string& path)
{
    unlink(path.c_str());
}

bool replace_file(const std::string& from, const std::string& to)
{
    return rename(from.c_str(), to.c_str()) == 0;
}

OpenResult open_input_file(PlatformFile& file, const char* name)
{
    int fd = open(name, O_RDONLY | O_CLOEXEC);
    file.handle = fd;
    if (fd >= 0)
        return OpenResult::opened;
    return errno == ENOENT ? OpenResult::missing : OpenResult::failed;
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
