#include "albums/album_folders.h"

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
