// The names time is the folder's change time (st_ctim), and the note an
// extended attribute of the record: setting it changes the record's own
// change time, not the folder's. A file system that keeps no change
// times of its own (keeps_change_times: FUSE's show what their servers
// say) is not trusted to tell.
#include "platform/names_witness.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/own_files.h"

namespace {

constexpr const char* kNoteName = "user.korvel.names";
constexpr char kNoteTag[4] = {'k', 'n', 't', '1'};
constexpr std::size_t kNoteBytes = sizeof kNoteTag + 8 + 4;

int folder_of(const WebPictureFolder& folder)
{
    return static_cast<int>(folder.folder.handle);
}

}  // namespace

NamesTime names_time(const WebPictureFolder& folder)
{
    NamesTime time;
    struct stat st;
    if (!keeps_change_times(folder) || fstat(folder_of(folder), &st) != 0)
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
    int fd = open_own_file(folder_of(folder), record, st);
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
    int fd = open_own_file(folder_of(folder), record, st);
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
    if (noted && since <= static_cast<double>(kCoarsestTickSeconds) + listed_seconds) {
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
