// The files of the thumbnails: the folder "korvel-thumbs" beside the page
// and the thumbnails in it (the pictures they are made from are read as
// picture_files.h says). Calling sequence: open_web_picture_folder once
// (after begin_page, whose cleanup on a stop it shares); then any of the
// calls below, from the thread that opened it; close_web_picture_folder.
//
// A thumbnail is written whole to a temporary file beside it, flushed, and
// renamed over its name, all while a stop of the run waits: a stop or a
// failure leaves no temporary file, a kill may, and
// remove_abandoned_web_pictures removes what no live run holds. No link is
// followed inside the folder; the folder, and a picture, are reached
// through the links of the running user's own (or root's) only; the folder
// is the running user's own (or root's), and a file in it that is not the
// user's own is never read or taken for korvel's.
#ifndef KORVEL_PLATFORM_WEB_PICTURE_FILES_H
#define KORVEL_PLATFORM_WEB_PICTURE_FILES_H

#include <cstddef>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_listing.h"
#include "platform/picture_files.h"
#include "platform/platform_file.h"

// How long a run waits for another that holds the folder (a run over a
// very large gallery on a slow share) before it goes on without it.
constexpr long kMostWaitForFolderMs = 10L * 60 * 1000;

struct WebPictureFolder {
    PlatformFile folder;   // POSIX: the folder, open and locked; Windows: its lock file, open
    std::string path;      // Windows: the folder's path, with a separator at its end
    bool changed = false;  // a thumbnail was written or removed: the folder is flushed at its close
    bool shared = false;   // others than its owner may write in it, so a file there may be theirs
};

// Opens the folder name of the folder at, making it as the shell makes
// a folder when it is not there, and holds it until it is closed: one run
// at a time reads and writes its record and pieces, so that no run writes
// over a newer run's (another run waits for it, as git's wait for
// index.lock). Fails when it is no folder, is reached through another
// user's link, belongs to another user than the running one or root
// (someone else's folder is never used: in a folder that anyone may write,
// another user could make it first), cannot be made or opened, or another
// run holds it for longer than kMostWaitForFolderMs. A hold that no run
// has and none can take (a file system that keeps no locks; on Windows, a
// folder one may not write in, where the lock file cannot be made) is no
// hold to wait for: the folder is used without it.
bool open_web_picture_folder(WebPictureFolder& folder, const WorkFolder& at, const char* name);
void close_web_picture_folder(WebPictureFolder& folder);

// True when name in the folder is a plain file (no link) of the running
// user's own: a stat, nothing opened. (On Windows: of the user's, the
// administrators' or the system's, and no reparse point.)
bool is_own_web_picture(const WebPictureFolder& folder, std::string_view name);

// The bytes the running user may still write on the folder's file system;
// the largest number when the system cannot say.
std::uint64_t room_left(const WebPictureFolder& folder);

// False where the folder's file system shows no time of a file's last
// change of its own (sshfs: the time of its last writing, so a file copied
// over another with its time kept looks the same); true elsewhere, and
// when it cannot be told.
bool keeps_change_times(const WebPictureFolder& folder);

// The coarsest tick of a file system's times, in seconds: FAT keeps two.
constexpr std::int64_t kCoarsestTickSeconds = 2;

// For write_web_picture: the file keeps the time it was written at.
constexpr std::int64_t kTimeOfWriting = INT64_MIN;

// Puts bytes in place as the file name in the folder, last written at
// modified (or kTimeOfWriting), with what the system gives a new file
// there, less what would let anyone read it who is not among readers.
// Fails, leaving the name as it was and no temporary file, when any step
// fails (no space left, say, or the file-size limit passed: the signal
// that raises is dropped).
bool write_web_picture(WebPictureFolder& folder, std::string_view name, const std::string& bytes,
                       std::int64_t modified, const PictureReaders& readers);

// Takes from the file name in the folder, the running user's own, what
// would let anyone read it who is not among readers (its picture was made
// private since). Fails when that cannot be done.
bool limit_web_picture_readers(WebPictureFolder& folder, std::string_view name, const PictureReaders& readers);

// The names in the folder (sizes and times not looked up); fails when it
// cannot be read to its end.
bool list_web_picture_folder(const WebPictureFolder& folder, FolderListing& names);

// The first most bytes of name in the folder, a plain file of the running
// user's own (as is_own_web_picture says) opened without following a link;
// fails otherwise.
bool read_web_picture_start(const WebPictureFolder& folder, std::string_view name, std::size_t most,
                            std::string& bytes);

// The same file whole, with modified set to its time of last writing, in
// seconds; fails too when it holds more than most bytes.
bool read_web_picture_whole(const WebPictureFolder& folder, std::string_view name, std::size_t most,
                            std::string& bytes, std::int64_t& modified);

// True when names a and b in the folder are one file, as on a file system
// that ignores case ("IMG_1.JPG" and "img_1.jpg"); false when either is
// not there. Links are not followed.
bool same_web_picture(const WebPictureFolder& folder, std::string_view a, std::string_view b);

// Removes name from the folder; nothing is reported.
void remove_web_picture(WebPictureFolder& folder, std::string_view name);

// Removes the names among names that are temporary thumbnails of this
// system's form, the running user's own, that no live run holds.
void remove_abandoned_web_pictures(WebPictureFolder& folder, const std::vector<std::string_view>& names);

#endif
