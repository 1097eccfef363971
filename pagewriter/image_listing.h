// The pictures of the gallery: every entry of the current directory whose
// name ends in ".jpg" in any letter case, in the order the system lists
// them, never sorted. The folder is listed once per run; the table and the
// sections both walk that one listing, so they always agree.
#ifndef KORVEL_PAGEWRITER_IMAGE_LISTING_H
#define KORVEL_PAGEWRITER_IMAGE_LISTING_H

#include <cstdint>
#include <string_view>

#include "platform/folder_listing.h"

// A picture is a folder entry, and the pictures are the folder's listing
// thinned out to them.
using ImageFile = ListedFile;
using ImageList = FolderListing;

// True for a name that ends in ".jpg" in any letter case (".jpg" alone too).
bool is_picture_name(std::string_view name);

// Appends a picture, copying its name into the list's own storage.
void add_image(ImageList& list, std::string_view name, std::uint64_t size, std::int64_t modified);

// Thins a listing of the current folder (read_folder) out to its pictures
// and looks up their sizes and times. Fails when the folder cannot be
// opened for the lookups.
bool list_images(ImageList& list);

#endif
