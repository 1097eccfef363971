// The parts of the page file that both systems share: the order of commit
// and rollback, and which names are temporary pages.
#include "platform/page_file.h"

#include "platform/platform_shared.h"

namespace {

constexpr std::string_view kMark = ".korvel-";
constexpr std::size_t kLetters = 6;

// True when name ends in ".korvel-" and six letters or digits.
bool has_temporary_ending(std::string_view name)
{
    if (name.size() < kMark.size() + kLetters ||
        name.substr(name.size() - kLetters - kMark.size(), kMark.size()) != kMark)
        return false;
    for (char c : name.substr(name.size() - kLetters))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

}  // namespace

std::string temporary_pattern_of(const std::string& target)
{
    std::string folder = folder_part(target);
    return folder + "." + target.substr(folder.size()) + std::string(kMark) + std::string(kLetters, 'X');
}

bool is_temporary_name(std::string_view name, std::string_view pattern)
{
    std::size_t folder_end = pattern.find_last_of(kPathSeparators);
    std::string_view own = folder_end == std::string_view::npos ? pattern : pattern.substr(folder_end + 1);
    return name.size() == own.size() &&
           name.substr(0, own.size() - kLetters) == own.substr(0, own.size() - kLetters) &&
           has_temporary_ending(name);
}

std::vector<std::string> temporary_pages_in(const FolderListing& listing)
{
    std::vector<std::string> names;
    for (const ListedFile& file : listing.files)
        if (has_temporary_ending(file.name) && file.name[0] == '.')
            names.emplace_back(file.name);
    return names;
}

bool commit_page(PageFile& page)
{
    // Made first: once the new page is in place, nothing may fail.
    const std::string folder = folder_part(page.target);
    if (!flush_file(page.file) || !rename_page(page)) {
        abandon_page(page);
        return false;
    }
    // Closed only after the rename: until then the file is held, and no other
    // run takes it for a leftover. Its bytes are on the disk already, so the
    // close cannot lose any.
    close_file(page.file);
    flush_folder(folder);
    return true;
}

void abandon_page(PageFile& page)
{
    if (!page.temporary.empty())
        remove_temporary(page);
    close_file(page.file);
}
