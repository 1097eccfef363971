// The names time is the folder's change time (st_ctim), and the note an
// extended attribute of the record: setting it changes the record's own
// change time, not the folder's. FUSE's file systems show what their
// servers say and are not trusted to tell.
#include "platform/names_witness.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

constexpr const char* kNoteName = "user.korvel.names";
constexpr char kNoteTag[4] = {'k', 'n', 't', '1'};
constexpr std::size_t kNoteBytes = sizeof kNoteTag + 8 + 4;
// The coarsest tick of a file system's times: FAT keeps two seconds.
constexpr double kCoarsestTick = 2;

int folder_of(const WebPictureFolder& folder)
{
    return static_cast<int>(folder.folder.handle);
}

// The record, open, when it is a plain file of the running user's own; -1
// otherwise.
int open_record(const WebPictureFolder& folder, std::string_view record, struct stat& st)
{
    int fd = openat(folder_of(folder), std::string(record).c_str(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

NamesTime names_time(const WebPictureFolder& folder)
{
    constexpr unsigned long kFuse = 0x65735546;
    NamesTime time;
    struct statfs sf;
    struct stat st;
    if (fstatfs(folder_of(folder), &sf) != 0 || static_cast<unsigned long>(sf.f_type) == kFuse ||
        fstat(folder_of(folder), &st) != 0)
        return time;
    time.seconds = static_cast<std::int64_t>(st.st_ctim.tv_sec);
    time.nanoseconds = static_cast<std::uint32_t>(st.st_ctim.tv_nsec);
    time.known = true;
    return time;
}

NamesTime noted_names_time(const WebPictureFolder& folder, std::string_view record)
{
    NamesTime time;
    struct stat st;
    int fd = open_record(folder, record, st);
    if (fd < 0)
        return time;
    unsigned char note[kNoteBytes + 1];
    const ssize_t n = fgetxattr(fd, kNoteName, note, sizeof note);
    close(fd);
    if (n != static_cast<ssize_t>(kNoteBytes) || std::memcmp(note, kNoteTag, sizeof kNoteTag) != 0)
        return time;
    std::uint64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    for (int i = 7; i >= 0; --i)
        seconds = seconds << 8 | note[sizeof kNoteTag + i];
    for (int i = 3; i >= 0; --i)
        nanoseconds = nanoseconds << 8 | note[sizeof kNoteTag + 8 + i];
    time.seconds = static_cast<std::int64_t>(seconds);
    time.nanoseconds = nanoseconds;
    time.known = nanoseconds < 1000000000u;
    return time;
}

bool note_names_time(const WebPictureFolder& folder, std::string_view record, const NamesTime& time,
                     double listed_seconds)
{
    if (!time.known)
        return false;
    struct stat st;
    int fd = open_record(folder, record, st);
    if (fd < 0)
        return false;
    unsigned char note[kNoteBytes];
    std::memcpy(note, kNoteTag, sizeof kNoteTag);
    for (int i = 0; i < 8; ++i)
        note[sizeof kNoteTag + i] =
            static_cast<unsigned char>(static_cast<std::uint64_t>(time.seconds) >> (8 * i));
    for (int i = 0; i < 4; ++i)
        note[sizeof kNoteTag + 8 + i] = static_cast<unsigned char>(time.nanoseconds >> (8 * i));
    // The record's change time, just set, is the file system's clock now.
    bool noted = fsetxattr(fd, kNoteName, note, sizeof note, 0) == 0 && fstat(fd, &st) == 0;
    const double since = static_cast<double>(st.st_ctim.tv_sec - time.seconds) +
                         (static_cast<double>(st.st_ctim.tv_nsec) - static_cast<double>(time.nanoseconds)) / 1e9;
    if (noted && since <= kCoarsestTick + listed_seconds) {
        fremovexattr(fd, kNoteName);
        noted = false;
    }
    close(fd);
    return noted;
}

bool holds_name(const WebPictureFolder& folder, std::string_view name)
{
    struct stat st;
    return fstatat(folder_of(folder), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}
