// The parts of the page file that both systems share: the order of commit
// and rollback, and which names are temporary pages.
#include "platform/page_file.h"

#include "platform/platform_shared.h"

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

std::vector<std::string> temporary_pages_in(const FolderListing& listing)
{
    std::vector<std::string> names;
    for (const ListedFile& file : listing.files)
        if (is_temporary_name(file.name.data()))  // followed by a zero byte
            names.emplace_back(file.name);
    return names;
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
    if (!page.temporary.empty())
        remove_temporary(page);
    close_file(page.file);
}
