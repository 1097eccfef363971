// The entries of a folder with their sizes and times. Calling sequence:
// read_folder once, thin out listing.files as the caller likes (keeping the
// order), then look_up_files to fill in the sizes and times of those kept.
// Both report failure by their result; what was read before a failure stays
// in the listing.
#ifndef KORVEL_PLATFORM_FOLDER_LISTING_H
#define KORVEL_PLATFORM_FOLDER_LISTING_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/work_folder.h"

// One entry of a folder listing.
struct ListedFile {
    std::string_view name;      // into the listing's name blocks, followed there by a zero byte
    std::uint64_t size = 0;     // known once the entry is looked up
    std::int64_t modified = 0;  // seconds since the epoch, likewise
    // What tells this file from another under the same name, of the same
    // size and time, mixed into one number: on POSIX its device, inode and
    // status change time (and, for a link, whether others may pass through
    // the folders on the way to its file), on Windows its file id and
    // change time. A file moved onto the name, copied over it, rewritten
    // with its old time set back, or made private changes it.
    std::uint64_t stamp = 0;
    std::uint32_t modified_nanoseconds = 0;  // and the rest of that time, as finely as the system keeps it
    // The picture's size as shown, upright, where korvel knows it (from the
    // records of its thumbnail or view, under THUMBS or VIEWS); 0 by 0 where it does not.
    unsigned shown_width = 0;
    unsigned shown_height = 0;
    // Which of the pieces korvel makes of a picture for the web are in
    // place, a bit for each kind (web_pieces.h): set under THUMBS and VIEWS.
    std::uint8_t pieces = 0;
    // POSIX: its status change time is its last write time, to the
    // nanosecond, as every file shows on a system that keeps no change time
    // (keeps_change_times); there the stamp cannot tell it from a file
    // copied over it with its time kept. False on Windows.
    bool change_time_is_write_time = false;
    // A folder, or a link of the running user's own (or root's) to one
    // (POSIX); on Windows a folder or a link to one, as the listing shows it.
    // POSIX: read_folder sets it for a folder that the system's listing
    // names as one, and may_be_folder for a link, or an entry whose kind
    // the listing does not give; look_up_files sets it as said above.
    bool is_folder = false;
    bool may_be_folder = false;
    // The fields are in this order so that an entry takes 56 bytes: a
    // million pictures' listing is most of a plain run's memory.
};

// The entries of a folder in the order the system lists them, never sorted.
// Names are packed into large blocks that never move, so a folder of a
// million entries costs one small record and the name's bytes for each.
struct FolderListing {
    std::vector<ListedFile> files;
    std::vector<std::unique_ptr<char[]>> name_blocks;
    std::size_t block_used = 0;  // bytes taken in the last block
    std::size_t block_size = 0;  // size of the last block
};

// Appends an entry, copying its name into the listing's own storage.
void add_listed_file(FolderListing& listing, std::string_view name, std::uint64_t size, std::int64_t modified);

// Lists the entries of the folder at but "." and "..". On Windows the
// listing brings each entry's size and time; on POSIX it reads names
// alone, and look_up_files adds them for the entries kept. Fails when the
// folder cannot be opened or read to its end.
bool read_folder(const WorkFolder& at, FolderListing& listing);

// Fills in the size and time of every entry in listing.files, a listing
// of the folder at, keeping the order. A folder has size 0 on both systems. On POSIX a large listing is looked up
// by a few threads at once, which a network share rewards; a symbolic link gives what it leads to, or itself when
// it leads nowhere or through a link of another user than the running one or root, and an entry gone since it was
// listed is dropped. On Windows read_folder has done the work: a link shows as the link itself, as the system's
// listing reports it. Fails when the folder cannot be opened.
bool look_up_files(const WorkFolder& at, FolderListing& listing);

#endif
