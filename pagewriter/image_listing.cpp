#include "pagewriter/image_listing.h"

bool is_picture_name(std::string_view name)
{
    if (name.size() < 4)
        return false;
    std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] == 'j' || ext[1] == 'J') && (ext[2] == 'p' || ext[2] == 'P') &&
           (ext[3] == 'g' || ext[3] == 'G');
}

void add_image(ImageList& list, std::string_view name, std::uint64_t size, std::int64_t modified)
{
    add_listed_file(list, name, size, modified);
}

bool list_images(ImageList& list)
{
    // Only the pictures are looked up: a folder may hold much else.
    std::size_t kept = 0;
    for (const ImageFile& file : list.files)
        if (is_picture_name(file.name))
            list.files[kept++] = file;
    list.files.resize(kept);
    return look_up_files(list);
}
