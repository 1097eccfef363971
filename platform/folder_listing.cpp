#include "platform/folder_listing.h"

#include <cstring>

namespace {
constexpr std::size_t kNameBlockSize = 64 * 1024;
}

// A field more, or one out of its place, pads every entry of a million.
static_assert(sizeof(void*) != 8 || sizeof(ListedFile) <= 56, "a listed file takes 56 bytes");

void add_listed_file(FolderListing& listing, std::string_view name, std::uint64_t size, std::int64_t modified)
{
    // Each name is followed by a zero byte, so the system can take it as it is.
    std::size_t needed = name.size() + 1;
    if (listing.name_blocks.empty() || listing.block_size - listing.block_used < needed) {
        std::size_t block = needed > kNameBlockSize ? needed : kNameBlockSize;
        listing.name_blocks.emplace_back(new char[block]);
        listing.block_size = block;
        listing.block_used = 0;
    }
    char* at = listing.name_blocks.back().get() + listing.block_used;
    std::memcpy(at, name.data(), name.size());
    at[name.size()] = '\0';
    listing.block_used += needed;
    listing.files.push_back(ListedFile{std::string_view(at, name.size()), size, modified});
}
