#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/link_chain.h"

OpenResult open_input_file(PlatformFile& file, const char* name)
{
    // The file that the links of the user's own (or root's) lead to, opened
    // by that name, so that a link changed since it was read is not followed.
    std::string path = name;
    if (!follow_own_links(path))
        return OpenResult::failed;
    // Without blocking: a FIFO would wait for a writer. O_NONBLOCK does not
    // change how a plain file reads.
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (fd < 0) {
        if (errno == ENOENT)
            return OpenResult::missing;
        // A socket cannot be opened at all; it still is no template.
        if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            return OpenResult::not_a_file;
        return OpenResult::failed;
    }
    bool known = fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        close(fd);
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
