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
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.weekday = tm.tm_wday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
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

bool create_output_file(PlatformFile& file, const char* name)
{
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    file.handle = fd;
    return fd >= 0;
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

bool close_output_file(PlatformFile& file)
{
    int fd = static_cast<int>(file.handle);
    file.handle = -1;
    return fd >= 0 && close(fd) == 0;
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

void close_input_file(PlatformFile& file)
{
    if (file.handle >= 0)
        close(static_cast<int>(file.handle));
    file.handle = -1;
}
