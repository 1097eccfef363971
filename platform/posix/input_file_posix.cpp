#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/file_reads.h"
#include "platform/posix/link_chain.h"

OpenResult open_input_file(PlatformFile& file, const WorkFolder& at, const char* name)
{
    // The file that the links of the user's own (or root's) lead to, opened
    // in the folder the walk ended in, so that nothing changed since is
    // followed.
    WalkedPath walked;
    Walk walk = walk_own_links(at, name, walked);
    if (walk != Walk::found) {
        if (walk == Walk::absent)
            close(walked.folder);
        // Only a name that is not there at all is no template; a link that
        // leads nowhere is one that cannot be read.
        return walk == Walk::absent && !walked.through_links ? OpenResult::missing : OpenResult::failed;
    }
    // Without blocking: a FIFO would wait for a writer. O_NONBLOCK does not
    // change how a plain file reads.
    int fd = openat(walked.folder, walked.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (fd < 0) {
        // A socket cannot be opened at all; it still is no template.
        bool not_a_file = fstatat(walked.folder, walked.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode);
        close(walked.folder);
        return not_a_file ? OpenResult::not_a_file : OpenResult::failed;
    }
    close(walked.folder);
    bool known = fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        close(fd);
        return known ? OpenResult::not_a_file : OpenResult::failed;
    }
    file.handle = fd;
    return OpenResult::opened;
}

bool read_input_end(PlatformFile& file, std::size_t most, std::string& bytes)
{
    struct stat st;
    const int fd = static_cast<int>(file.handle);
    if (fstat(fd, &st) != 0 || st.st_size < 0)
        return false;
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    const std::size_t from = size > most ? size - most : 0;
    return lseek(fd, static_cast<off_t>(from), SEEK_SET) >= 0 && read_start(fd, size - from, bytes);
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
