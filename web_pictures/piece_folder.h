// One folder of pieces of a kind (web_pieces.h) through the phase:
// opened, its record read, its names known (listed, or the record's when
// the folder's names time says they are as a run left them,
// names_witness.h), and which pictures' pieces in it are current.
#ifndef KORVEL_WEB_PICTURES_PIECE_FOLDER_H
#define KORVEL_WEB_PICTURES_PIECE_FOLDER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pagewriter/image_listing.h"
#include "pagewriter/web_pieces.h"
#include "platform/names_witness.h"
#include "platform/web_picture_files.h"
#include "web_pictures/web_picture_batch.h"
#include "web_pictures/web_picture_record.h"

// One folder of what the phase makes, thumbnails or views, from the
// phase's start to its end.
struct MadeFolder {
    WebPictureFolder folder;
    bool in_use = false;       // the folder is open
    bool decided = false;      // its names are known (listed whole, or its record's): what is stale can be told
    bool change_times = true;  // its file system keeps change times (keeps_change_times)
    std::string old_record;    // the record as read; old's names point into it
    std::vector<RecordEntry> old;  // its entries
    // The record from now on, a place for each picture:
    // where its entry is, 0 for none; k > 0 for fresh[k - 1], k < 0 for
    // old[-k - 1], as it stands. An unchanged folder copies no entry.
    std::vector<std::int64_t> at;
    std::vector<RecordEntry> fresh;         // the entries this run made
    std::vector<std::size_t> made;          // the pictures whose pieces this run wrote
    FolderListing listed;                   // the folder's names as the run found them (their blocks alone kept)
    std::vector<std::string_view> present;  // those names, sorted by their bytes
    // The folder's names time when it was opened; when its record noted
    // the same, its names are the record's and its pieces' (kept in
    // noted_names), and it is not listed.
    NamesTime names_at_open;
    bool listing_skipped = false;
    std::vector<std::string> noted_names;
    std::chrono::steady_clock::time_point listed_at;
    std::size_t current_in_listing = 0;  // how many of them are current pieces
    // The record says something new, or some picture's content was
    // compared (then it is written anew, so that its time moves past
    // theirs).
    bool record_changed = false;
};

// Opens the kind's folder, reads its record and its names (listing it
// unless the record says they are as it left them), and decides which
// pictures have their piece of the kind current (each gets it set, and
// its entry kept); the others are wanted. Nothing is wanted of a folder
// that cannot be used (in_use says whether it was opened).
std::vector<Wanted> open_piece_folder(const WorkFolder& at, ImageList& images, MadeFolder& work, std::size_t kind);

// True when the folder held name when the run listed it; for a folder not
// listed, when the record names it as a piece or the folder holds it now.
bool is_present(const MadeFolder& work, std::string_view name);

// The name of a picture's piece of the kind: the picture's own for a JPEG,
// looked up without a copy.
struct PieceName {
    std::string webp;
    std::string_view name;
    PieceName(std::size_t kind, std::string_view picture)
        : webp(kPieceKinds[kind].webp ? piece_name(kind, picture) : std::string()),
          name(kPieceKinds[kind].webp ? std::string_view(webp) : picture)
    {
    }
    PieceName(const PieceName&) = delete;
    PieceName& operator=(const PieceName&) = delete;
};

#endif
