// The old page against the new one, to leave it as it is when they agree.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/page_file.h"

bool same_as_old_page(const PageFile& page)
{
    int old_fd = openat(static_cast<int>(page.folder.handle), page.target.c_str(),
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (old_fd < 0)
        return false;
    const int new_fd = static_cast<int>(page.file.handle);
    struct stat old_st, new_st;
    bool same = fstat(old_fd, &old_st) == 0 && fstat(new_fd, &new_st) == 0 && S_ISREG(old_st.st_mode) &&
                old_st.st_size == new_st.st_size;
    char old_bytes[8192], new_bytes[sizeof old_bytes];  // on the stack: nothing to take from the heap and clear
    for (off_t at = 0; same && at < new_st.st_size;) {
        const ssize_t got = pread(new_fd, new_bytes, sizeof new_bytes, at);
        same = got > 0 && pread(old_fd, old_bytes, static_cast<std::size_t>(got), at) == got &&
               std::memcmp(old_bytes, new_bytes, static_cast<std::size_t>(got)) == 0;
        at += got > 0 ? got : 0;
    }
    close(old_fd);
    return same;
}
