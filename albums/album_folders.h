// Which folders of a tree are albums (ALBUMS): every folder below the
// top, whatever its name, but dot-folders, korvel's own folders, and
// folders holding a file ".nomedia" (the mark that phones and other
// gallery makers follow), with everything below them.
#ifndef KORVEL_ALBUMS_ALBUM_FOLDERS_H
#define KORVEL_ALBUMS_ALBUM_FOLDERS_H

#include <string>
#include <string_view>
#include <vector>

#include "pagewriter/image_listing.h"
#include "platform/folder_listing.h"

// True for a name a sub-folder may have and be an album: not a dot-name,
// nor the name of a folder korvel keeps beside a page.
bool may_be_album(std::string_view name);

// True when a folder's listing holds ".nomedia": no album there.
bool holds_nomedia(const FolderListing& listing);

// The names of the sub-folders that may be albums in listing, a listing
// of the folder at (read_folder), in name order, looked up there; the
// listing itself is thinned to the folder's pictures (list_images),
// without the folders named as pictures are. Fails when the folder cannot
// be opened for the lookups.
bool split_albums_and_pictures(const WorkFolder& at, FolderListing& listing, std::vector<std::string>& albums);

#endif
