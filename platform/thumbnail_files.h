// The files of the thumbnails: the folder "korvel-thumbs" beside the page,
// the thumbnails in it, and the pictures read to make them. Calling
// sequence: open_thumbnail_folder once (after begin_page, whose cleanup on
// a stop it shares); then any of the calls below, from the thread that
// opened it (read_picture from any thread); close_thumbnail_folder.
//
// A thumbnail is written whole to a temporary file beside it, flushed, and
// renamed over its name, all while a stop of the run waits: a stop or a
// failure leaves no temporary file, a kill may, and
// remove_abandoned_thumbnails removes what no live run holds. No link is
// followed inside the folder; the folder, and a picture, are reached
// through the links of the running user's own (or root's) only.
#ifndef KORVEL_PLATFORM_THUMBNAIL_FILES_H
#define KORVEL_PLATFORM_THUMBNAIL_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_listing.h"
#include "platform/platform_file.h"

struct ThumbnailFolder {
    PlatformFile folder;   // POSIX: the folder, open; Windows: unused
    std::string path;      // Windows: the folder's path, with a separator at its end
    bool changed = false;  // a thumbnail was written or removed: the folder is flushed at its close
};

// Opens the folder name of the current folder, making it as the shell makes
// a folder when it is not there. Fails when it is no folder, is reached
// through another user's link, or cannot be made or opened.
bool open_thumbnail_folder(ThumbnailFolder& folder, const char* name);
void close_thumbnail_folder(ThumbnailFolder& folder);

// True when name in the folder is a plain file (no link) last written at
// modified (seconds since the epoch): a stat, nothing opened.
bool is_thumbnail_current(const ThumbnailFolder& folder, std::string_view name, std::int64_t modified);

// Reads the picture name of the current folder whole into bytes. Fails when
// it is reached through another user's link, is no plain file, is larger
// than most bytes, or cannot be read.
bool read_picture(std::string_view name, std::size_t most, std::string& bytes);

// Puts bytes in place as the thumbnail name, last written at modified, with
// what the system gives a new file there. Fails, leaving the name as it
// was and no temporary file, when any step fails (no space left, say).
bool write_thumbnail(ThumbnailFolder& folder, std::string_view name, const std::string& bytes,
                     std::int64_t modified);

// The names in the folder (sizes and times not looked up); fails when it
// cannot be read to its end.
bool list_thumbnail_folder(const ThumbnailFolder& folder, FolderListing& names);

// The first most bytes of name in the folder, a plain file opened without
// following a link; fails otherwise.
bool read_thumbnail_start(const ThumbnailFolder& folder, std::string_view name, std::size_t most,
                          std::string& bytes);

// Removes name from the folder; nothing is reported.
void remove_thumbnail(ThumbnailFolder& folder, std::string_view name);

// Removes the names among names that are temporary thumbnails of this
// system's form and that no live run holds.
void remove_abandoned_thumbnails(ThumbnailFolder& folder, const FolderListing& names);

#endif
