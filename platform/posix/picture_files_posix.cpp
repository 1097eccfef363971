// The pictures on POSIX: each walked to by one's own links, opened without
// following a link at its end, and who may read it told by its mode, its
// access list and, through a link, the folders on the way.
#include "platform/picture_files.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_reads.h"
#include "platform/posix/link_chain.h"

bool read_start(int fd, std::size_t most, std::string& bytes)
{
    bytes.resize(most);
    std::size_t got = 0;
    while (got < most) {
        ssize_t n = read(fd, &bytes[got], most - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
}

bool read_all(int fd, std::size_t most, std::string& bytes)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > most)
        return false;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(fd, &bytes[got], bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;  // an error, or the file shrank
        got += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

// Reads the picture name of the current folder, whole (and who may read
// it) or its first most bytes only.
bool read_picture_as(const WorkFolder& at, std::string_view name, std::size_t most, bool whole,
                     bool look_up_readers, std::string& bytes, PictureReaders& readers)
{
    readers = PictureReaders();
    WalkedPath walked;
    if (walk_own_links(at, std::string(name).c_str(), walked) != Walk::found) {
        if (walked.folder >= 0)
            close(walked.folder);
        return false;
    }
    int fd = openat(walked.folder, walked.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    // Through a link the picture may stand in a folder others cannot
    // enter, which the gallery's folder does not show.
    const bool reached = !look_up_readers || !walked.through_links || searchable_by_others(walked.folder);
    close(walked.folder);
    if (fd < 0)
        return false;
    bool read = whole ? read_all(fd, most, bytes) : read_start(fd, most, bytes);
    struct stat st;
    if (read && look_up_readers && fstat(fd, &st) == 0 && acl_extended_fd(fd) == 0) {
        readers.known = true;
        readers.others = reached && (st.st_mode & S_IROTH);
        readers.group = readers.others || (!walked.through_links && (st.st_mode & S_IRGRP));
        readers.group_id = static_cast<unsigned>(st.st_gid);
    }
    close(fd);
    return read;
}

}  // namespace

bool read_picture(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes,
                  PictureReaders& readers)
{
    return read_picture_as(at, name, most, true, true, bytes, readers);
}

bool read_picture_start(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes)
{
    PictureReaders readers;  // not looked up: a call fewer on a slow share
    return read_picture_as(at, name, most, false, false, bytes, readers);
}

bool read_picture_head(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes,
                       PictureReaders& readers)
{
    return read_picture_as(at, name, most, false, true, bytes, readers);
}
