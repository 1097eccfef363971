// The pictures of the gallery: every entry of the current directory whose
// name ends in ".jpg" in any letter case, in name order (compare_names).
// The system's listing order differs between file systems (ext4 lists in
// hash order, NTFS and FAT by name), and one folder should give one page
// everywhere. The folder is listed once per run; the table and the sections
// both walk that one listing, so they always agree.
#ifndef KORVEL_PAGEWRITER_IMAGE_LISTING_H
#define KORVEL_PAGEWRITER_IMAGE_LISTING_H

#include <cstdint>
#include <string_view>

#include "platform/folder_listing.h"

// A picture is a folder entry, and the pictures are the folder's listing
// thinned out to them.
using ImageFile = ListedFile;
using ImageList = FolderListing;

// The order of the pictures: -1, 0 or 1 as a comes before, is, or comes
// after b. Byte by byte, with a to z compared as A to Z (as Windows orders
// names: "AB.jpg" before "A_B.jpg", "A.jpg" before "AB.jpg"), every other
// byte by its value (so UTF-8 names follow code points, after ASCII), a
// name before the longer names it begins, digits as characters
// ("IMG_10.jpg" before "IMG_9.jpg"). Names equal but for letter case go by
// their own bytes. No locale or environment changes it.
int compare_names(std::string_view a, std::string_view b);

// True for a name that ends in ".jpg" in any letter case (".jpg" alone too).
bool is_picture_name(std::string_view name);

// A picture's name without its last four characters (its ".jpg"), as its
// alt text and NOEXT show it; empty for a shorter name.
inline std::string_view short_name_of(std::string_view name)
{
    return name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
}

// Appends a picture, copying its name into the list's own storage.
void add_image(ImageList& list, std::string_view name, std::uint64_t size, std::int64_t modified);

// Thins a listing of the folder at (read_folder) out to its pictures,
// sorts them by name and looks up their sizes and times. Fails when the
// folder cannot be opened for the lookups.
bool list_images(const WorkFolder& at, ImageList& list);

#endif
