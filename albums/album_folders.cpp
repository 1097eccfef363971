#include "albums/album_folders.h"

#include <algorithm>

#include "pagewriter/web_pieces.h"
#include "picture_facts/facts_phase.h"

bool may_be_album(std::string_view name)
{
    if (name.empty() || name[0] == '.' || name == kFactsFolder)
        return false;
    for (const PieceKind& kind : kPieceKinds)
        if (name == kind.folder)
            return false;
    return true;
}

bool holds_nomedia(const FolderListing& listing)
{
    for (const ListedFile& file : listing.files)
        if (file.name == ".nomedia")
            return true;
    return false;
}

bool split_albums_and_pictures(const WorkFolder& at, FolderListing& listing, std::vector<std::string>& albums)
{
    albums.clear();
    // The other names are looked up only to learn which are folders.
    FolderListing others;
    for (const ListedFile& file : listing.files)
        if (!is_picture_name(file.name) && may_be_album(file.name)) {
            add_listed_file(others, file.name, 0, 0);
            others.files.back().is_folder = file.is_folder;  // where the listing tells (Windows)
        }
    if (!list_images(at, listing) || !look_up_files(at, others))
        return false;
    for (const ListedFile& file : others.files)
        if (file.is_folder)
            albums.emplace_back(file.name);
    std::size_t kept = 0;
    for (const ListedFile& file : listing.files) {
        if (!file.is_folder)
            listing.files[kept++] = file;
        else if (may_be_album(file.name))
            albums.emplace_back(file.name);
    }
    listing.files.resize(kept);
    std::sort(albums.begin(), albums.end(),
              [](const std::string& a, const std::string& b) { return compare_names(a, b) < 0; });
    return true;
}
