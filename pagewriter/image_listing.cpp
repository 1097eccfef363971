#include "pagewriter/image_listing.h"

#include <cstring>

namespace {
constexpr std::size_t kNameBlockSize = 64 * 1024;
}

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
    if (list.name_blocks.empty() || list.block_size - list.block_used < name.size()) {
        std::size_t block = name.size() > kNameBlockSize ? name.size() : kNameBlockSize;
        list.name_blocks.emplace_back(new char[block]);
        list.block_size = block;
        list.block_used = 0;
    }
    char* at = list.name_blocks.back().get() + list.block_used;
    std::memcpy(at, name.data(), name.size());
    list.block_used += name.size();
    list.files.push_back(ImageFile{std::string_view(at, name.size()), size, modified});
}
