#include "platform/platform_shared.h"

#include <cerrno>
#include <cstring>

LocalTime local_time_of(const std::tm& tm)
{
    LocalTime out;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.weekday = tm.tm_wday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return out;
}

namespace {
constexpr std::size_t kNameBlockSize = 64 * 1024;
}

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
    if (is_temporary_name(at))
        listing.temporary_pages.push_back(listing.files.back().name);
}

std::string folder_part(const std::string& path, const char* separators)
{
    std::size_t last = path.find_last_of(separators);
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

bool is_temporary_name(const char* name)
{
    static const char prefix[] = ".korvel-";
    for (std::size_t i = 0; i + 1 < sizeof prefix; ++i)
        if (name[i] != prefix[i])
            return false;
    const char* letters = name + sizeof prefix - 1;
    for (int i = 0; i < 6; ++i) {
        char c = letters[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return letters[6] == '\0';
}

bool commit_page(PageFile& page)
{
    if (!flush_file(page.file) || !rename_page(page)) {
        abandon_page(page);
        return false;
    }
    // Closed only after the rename: until then the file is held, and no other
    // run takes it for a leftover. Its bytes are on the disk already, so the
    // close cannot lose any.
    close_file(page.file);
    flush_folder_of(page.target);
    return true;
}

void abandon_page(PageFile& page)
{
    int saved = errno;  // the caller's reason, not the cleanup's
    if (!page.temporary.empty())
        remove_temporary(page);
    close_file(page.file);
    errno = saved;
}

void close_input_file(PlatformFile& file)
{
    close_file(file);
}
