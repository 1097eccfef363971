// The record of what each thumbnail or view was made from, kept as one
// file in their folder (one for the thumbnails, one for the views): for
// each picture, its size, its time to the system's full precision, its
// stamp (the file's identity, ListedFile), a hash of its bytes, its size
// upright, and whether it makes a thumbnail (or view) at all. Read once a run, so that a current thumbnail costs
// no stat of its own, and written anew, to a temporary file renamed over it, when anything in it changed. One
// entry a picture, in the pictures' order.
//
// A picture is current when its entry matches it in size, time and stamp,
// and its time is not within a file system's coarsest tick of the record's
// own (racy-git's rule): a picture changed within the same tick as its
// thumbnail or view was made, which no time can tell, is checked by its
// content, as is one whose stamp alone changed (a gallery copied or
// restored from a backup). A picture dated after the record by more than
// the tick is trusted as an older one is: any write since the record would
// have moved its time to now. A missing or damaged record (its checksum
// says so, down to one bit) costs remaking, never a wrong thumbnail or
// view.
#ifndef KORVEL_WEB_PICTURES_WEB_PICTURE_RECORD_H
#define KORVEL_WEB_PICTURES_WEB_PICTURE_RECORD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pagewriter/image_listing.h"

constexpr const char* kRecordName = ".korvel-record";
// Record files larger than this are not read (a million pictures take
// about seventy megabytes).
constexpr std::size_t kRecordMostBytes = 512u << 20;

struct RecordEntry {
    std::string_view name;  // into the record's bytes, or the listing's names
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::uint32_t modified_nanoseconds = 0;
    std::uint64_t stamp = 0;
    std::uint64_t content = 0;  // content_hash of the picture's bytes
    std::uint64_t head = 0;     // head_hash of its first bytes
    unsigned width = 0;         // the picture as shown, upright; 0 when not known
    unsigned height = 0;
    bool made = false;       // it made one; false: it makes none (damaged, too small, shows itself ...)
    std::string_view extra;  // a facts record's: what the picture says of itself, as bytes
};

// The entries of the record in bytes, in name order. Fails, with entries
// empty, when bytes is not a whole record of korvel's, or is out of order,
// or is of the other form (with_extra: a facts record, whose entries each
// carry their extra bytes).
bool read_record(std::string_view bytes, std::vector<RecordEntry>& entries, bool with_extra = false);

// The record's bytes for the entries, which are in name order; with their
// extra bytes for a facts record.
std::string record_bytes(const std::vector<RecordEntry>& entries, bool with_extra = false);

// A 64-bit hash of the bytes (XXH3), to tell one picture's content from
// another's.
std::uint64_t content_hash(const std::string& bytes);

// How much of a picture head_hash reads: its EXIF block's start, with
// the camera's times to the second and beyond, which tells one
// photograph from another of the same size.
constexpr std::size_t kHeadBytes = 4096;

// A 64-bit hash (XXH3) of the first kHeadBytes of bytes, or all of them.
std::uint64_t head_hash(const std::string& bytes);

// An entry for the picture as it is listed now, of the content given.
RecordEntry entry_for(const ImageFile& image, std::uint64_t content, std::uint64_t head);

// How an entry says the picture now listed stands: unchanged (trust the
// entry), maybe (same size, but the time or stamp differ, or the record is
// too young to tell: compare the content), or changed (remake).
enum class Standing { unchanged, maybe, changed };
Standing standing_of(const RecordEntry& entry, const ImageFile& image, std::int64_t record_written);

#endif
