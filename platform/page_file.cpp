// The parts of the page file that both systems share: the order of commit
// and rollback, and which names are temporary pages.
#include "platform/page_file.h"

#include "platform/platform_shared.h"

namespace {

// The fixed part of a temporary page's name, after the page's own name: no
// word, and one for each system, so that a run removes only the temporary
// pages of runs of its own kind, whose holds it can see.
#ifdef _WIN32
constexpr std::string_view kMark = ".korvel~W";
#else
constexpr std::string_view kMark = ".korvel~P";
#endif
constexpr std::size_t kLetters = 12;
// The longest name a file system takes, in bytes (or UTF-16 units).
constexpr std::size_t kNameMax = 255;
constexpr char kLetterSet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

bool is_letter_or_digit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// True when name ends in the mark and twelve letters or digits.
bool has_temporary_ending(std::string_view name)
{
    if (name.size() < kMark.size() + kLetters ||
        name.substr(name.size() - kLetters - kMark.size(), kMark.size()) != kMark)
        return false;
    for (char c : name.substr(name.size() - kLetters))
        if (!is_letter_or_digit(c))
            return false;
    return true;
}

}  // namespace

std::string temporary_pattern_of(const std::string& target)
{
    std::string folder = folder_part(target);
    std::string own = target.substr(folder.size());
    // A page named near the limit gives up the end of its name, cut where
    // a character starts.
    const std::size_t room = kNameMax - 1 - kMark.size() - kLetters;
    if (own.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(own[cut]) & 0xC0) == 0x80)
            --cut;
        own.resize(cut);
    }
    return folder + "." + own + std::string(kMark) + std::string(kLetters, 'X');
}

void fill_random_letters(std::string& path, std::uint64_t& seed)
{
    for (std::size_t i = path.size() - kLetters; i < path.size(); ++i) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        path[i] = kLetterSet[(seed >> 33) % (sizeof kLetterSet - 1)];
    }
}

bool is_temporary_name(std::string_view name, std::string_view pattern)
{
    std::size_t folder_end = pattern.find_last_of(kPathSeparators);
    std::string_view own = folder_end == std::string_view::npos ? pattern : pattern.substr(folder_end + 1);
    return name.size() == own.size() &&
           name.substr(0, own.size() - kLetters) == own.substr(0, own.size() - kLetters) &&
           has_temporary_ending(name);
}

bool is_any_temporary_name(std::string_view name)
{
    return !name.empty() && name[0] == '.' && has_temporary_ending(name);
}

std::vector<std::string> temporary_pages_in(const FolderListing& listing)
{
    std::vector<std::string> names;
    for (const ListedFile& file : listing.files)
        if (is_any_temporary_name(file.name))
            names.emplace_back(file.name);
    return names;
}

bool commit_page(PageFile& page)
{
    // Once the new page is in place, nothing may fail.
    if (!flush_file(page.file) || !rename_page(page)) {
        abandon_page(page);
        return false;
    }
    // Closed only after the rename: until then the file is held, and no other
    // run takes it for a leftover. Its bytes are on the disk already, so the
    // close cannot lose any.
    close_file(page.file);
    flush_folder(page);
    return true;
}

void abandon_page(PageFile& page)
{
    if (!page.temporary.empty())
        remove_temporary(page);
    close_file(page.file);
    close_file(page.folder);
}
