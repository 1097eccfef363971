// The pictures of the gallery: every entry of the current directory whose
// name ends in ".jpg" in any letter case, in the order the system lists
// them, never sorted. The folder is listed once per run; the table and the
// sections both walk that one listing, so they always agree.
#ifndef KORVEL_PAGEWRITER_IMAGE_LISTING_H
#define KORVEL_PAGEWRITER_IMAGE_LISTING_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct ImageFile {
    std::string_view name;  // points into the owning ImageList's name blocks
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // seconds since the epoch
};

// Names are packed into large blocks that never move, so a folder of a
// million pictures costs one small record and the name's bytes per picture.
struct ImageList {
    std::vector<ImageFile> files;
    std::vector<std::unique_ptr<char[]>> name_blocks;
    std::size_t block_used = 0;  // bytes taken in the last block
    std::size_t block_size = 0;  // size of the last block
};

// True for a name that ends in ".jpg" in any letter case (".jpg" alone too).
bool is_picture_name(std::string_view name);

// Appends a picture, copying its name into the list's own storage.
void add_image(ImageList& list, std::string_view name, std::uint64_t size, std::int64_t modified);

// Lists the pictures of the current directory into list (implemented by the
// platform layer). Fails when the directory cannot be opened or read to its
// end; list then holds what was read before the failure.
bool list_images(ImageList& list);

#endif
