// Reading a folder's entries on POSIX, for the listing and for the
// thumbnails' folder. Private to the POSIX files of platform/.
#ifndef KORVEL_PLATFORM_POSIX_FOLDER_ENTRIES_H
#define KORVEL_PLATFORM_POSIX_FOLDER_ENTRIES_H

#include <dirent.h>

#include "platform/folder_listing.h"

// Adds the entries of dir but "." and ".." to listing, and closes dir.
// Fails when dir is null or cannot be read to its end.
bool read_entries(DIR* dir, FolderListing& listing);

#endif
