// Files and folders of the running user's own, opened without following a
// link.
#include "platform/posix/own_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

bool is_own(const struct stat& st)
{
    return S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

int open_own_folder(int folder, const char* name, struct stat& st)
{
    int fd = openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && (fstat(fd, &st) != 0 || (st.st_uid != geteuid() && st.st_uid != 0))) {
        close(fd);
        return -1;
    }
    return fd;
}

int open_own_file(int folder, std::string_view name, struct stat& st)
{
    int fd = openat(folder, std::string(name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 && (fstat(fd, &st) != 0 || !is_own(st))) {
        close(fd);
        return -1;
    }
    return fd;
}
