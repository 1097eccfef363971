#include "platform/posix/link_chain.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

bool follow_own_links(std::string& path)
{
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            return errno == ENOENT;
        if (!S_ISLNK(st.st_mode))
            return true;
        if (st.st_uid != geteuid() && st.st_uid != 0)
            return false;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        ssize_t n = readlink(path.c_str(), &link[0], link.size());
        if (n < 0 || static_cast<std::size_t>(n) == link.size())  // unreadable, or grew since lstat
            return false;
        link.resize(static_cast<std::size_t>(n));
        std::size_t slash = path.rfind('/');
        path = link[0] == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    }
    return false;  // a loop, or a chain too long to be meant
}
