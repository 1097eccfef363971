// Which folders of a tree are albums (ALBUMS): every folder below the
// top, whatever its name, but dot-folders, korvel's own folders, and
// folders holding a file ".nomedia" (the mark that phones and other
// gallery makers follow), with everything below them.
#ifndef KORVEL_ALBUMS_ALBUM_FOLDERS_H
#define KORVEL_ALBUMS_ALBUM_FOLDERS_H

#include <string_view>

#include "platform/folder_listing.h"

// True for a name a sub-folder may have and be an album: not a dot-name,
// nor the name of a folder korvel keeps beside a page.
bool may_be_album(std::string_view name);

// True when a folder's listing holds ".nomedia": no album there.
bool holds_nomedia(const FolderListing& listing);

#endif
