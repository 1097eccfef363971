// Which thumbnails are current, by the record; making the others a batch
// at a time on every core (the main thread alone writes them, so that a
// stop finds at most one temporary file, and waits for it); then the new
// record, and what is stale removed.
#include "web_pictures/web_picture_phase.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_set>

#include "pagewriter/thumbnail_table.h"
#include "web_pictures/web_picture_batch.h"

namespace {

// The comment each thumbnail carries: what marks a file of the folder as
// korvel's own, and so as korvel's to remove.
constexpr const char* kMark = "korvel thumbnail";
constexpr std::size_t kBatch = 64;

// The room the page needs, with a margin: each picture's name stands four
// times in it, each byte escaped to at most eight, and the template's
// text is rarely over a few hundred kilobytes.
std::uint64_t room_for_page(const ImageList& images)
{
    std::uint64_t bytes = 4u << 20;
    for (const ImageFile& image : images.files)
        bytes += 1024 + 32 * image.name.size();
    return bytes;
}

bool before(std::string_view a, std::string_view b)
{
    return compare_names(a, b) < 0;
}

using NameSet = std::unordered_set<std::string_view>;

// True when a file of the folder starts as korvel's thumbnails do: a JPEG
// whose comment, among its first markers, is the mark.
bool carries_mark(const std::string& start)
{
    const std::string mark = kMark;
    if (start.size() < 4 || static_cast<unsigned char>(start[0]) != 0xFF ||
        static_cast<unsigned char>(start[1]) != 0xD8)
        return false;
    for (std::size_t at = 2; at + 4 <= start.size();) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(start.data()) + at;
        if (p[0] != 0xFF || p[1] == 0xDA)
            return false;
        const std::size_t length = std::size_t{p[2]} << 8 | p[3];
        if (p[1] == 0xFE)
            return length >= 2 + mark.size() && start.compare(at + 4, mark.size(), mark) == 0;
        at += 2 + length;
    }
    return false;
}

// names: the folder as it was listed before any thumbnail was made, so
// what this run made is not in it, and is current.
void remove_stale(WebPictureFolder& folder, const ImageList& images, const FolderListing& names,
                  std::size_t current)
{
    // Every name is the record or a current thumbnail, each of which was
    // seen among them: nothing is stale.
    const bool with_record = std::any_of(names.files.begin(), names.files.end(),
                                         [](const ListedFile& file) { return file.name == kRecordName; });
    if (names.files.size() == current + (with_record ? 1 : 0))
        return;
    remove_abandoned_web_pictures(folder, names);
    NameSet in_place;
    for (const ImageFile& image : images.files)
        if (image.thumbnail)
            in_place.insert(image.name);
    std::string start;
    for (const ListedFile& file : names.files)
        if (file.name != kRecordName && in_place.count(file.name) == 0 &&
            read_web_picture_start(folder, file.name, 512, start) && carries_mark(start))
            remove_web_picture(folder, file.name);
}

// Decides, by the record and the folder's names, which pictures are
// current; the others are wanted.
std::vector<Wanted> decide(ImageList& images, WebPictureWork& work, const std::vector<RecordEntry>& old,
                           std::int64_t record_written, const NameSet& present)
{
    std::vector<Wanted> wanted;
    auto entry = old.begin();
    for (std::size_t i = 0; i < images.files.size(); ++i) {
        ImageFile& image = images.files[i];
        while (entry != old.end() && before(entry->name, image.name))
            ++entry;
        const RecordEntry* e = entry != old.end() && entry->name == image.name ? &*entry : nullptr;
        // A thumbnail the record names must be there, and in a folder that
        // others may write, be the running user's own.
        const bool in_place = e && e->thumbnail && present.count(image.name) != 0 &&
                              (!work.folder.shared || is_own_web_picture(work.folder, image.name));
        const bool holds = e && (!e->thumbnail || in_place);
        const Standing standing = e ? standing_of(*e, image, record_written) : Standing::changed;
        if (holds && standing == Standing::unchanged) {
            work.current_in_listing += e->thumbnail ? 1 : 0;
            work.record[i] = *e;
            work.record[i].name = image.name;
            work.in_record[i] = 1;
            image.thumbnail = e->thumbnail;
            image.shown_width = e->width;
            image.shown_height = e->height;
        } else {
            wanted.push_back({i, holds && standing == Standing::maybe ? e : nullptr});
        }
    }
    return wanted;
}

// Puts one batch's results in place.
void take_results(ImageList& images, WebPictureWork& work, const std::vector<Wanted>& wanted, std::size_t from,
                  std::vector<Result>& results, std::uint64_t room_needed)
{
    for (std::size_t k = 0; k < results.size(); ++k) {
        const std::size_t i = wanted[from + k].image;
        ImageFile& image = images.files[i];
        Result& result = results[k];
        if (result.outcome == Outcome::unread)
            continue;
        if (result.outcome == Outcome::made) {
            // The page comes first: no thumbnail takes the room it needs.
            if (room_left(work.folder) < room_needed + result.bytes.size() ||
                !write_web_picture(work.folder, image.name, result.bytes, image.modified))
                continue;
            work.made.push_back(i);
        }
        work.record_changed = true;
        if (result.outcome == Outcome::same && result.entry.thumbnail)
            ++work.current_in_listing;  // the one the record named, there
        image.thumbnail = result.entry.thumbnail;
        image.shown_width = result.entry.width;
        image.shown_height = result.entry.height;
        work.record[i] = result.entry;
        work.in_record[i] = 1;
    }
}

}  // namespace

void make_web_pictures(ImageList& images, WebPictureWork& work)
{
    if (!open_web_picture_folder(work.folder, kThumbnailFolderName))
        return;
    work.in_use = true;
    if (!list_web_picture_folder(work.folder, work.listed))
        return;  // nothing can be told in place: every cell keeps its picture
    NameSet present(work.listed.files.size() * 2);
    for (const ListedFile& file : work.listed.files)
        present.insert(file.name);

    std::vector<RecordEntry> old;
    std::int64_t record_written = INT64_MIN;
    if (!read_web_picture_whole(work.folder, kRecordName, kRecordMostBytes, work.old_record, record_written) ||
        !read_record(work.old_record, old))
        old.clear();
    work.old_entries = old.size();
    work.record.assign(images.files.size(), RecordEntry());
    work.in_record.assign(images.files.size(), 0);
    const std::vector<Wanted> wanted = decide(images, work, old, record_written, present);

    const std::uint64_t room_needed = room_for_page(images);
    std::vector<Result> results;
    for (std::size_t from = 0; from < wanted.size(); from += kBatch) {
        const std::size_t to = std::min(wanted.size(), from + kBatch);
        look_at_pictures(images, std::vector<Wanted>(wanted.begin() + from, wanted.begin() + to), kMark, results);
        take_results(images, work, wanted, from, results, room_needed);
    }
}

bool give_up_new_web_pictures(ImageList& images, WebPictureWork& work)
{
    const bool any = !work.made.empty();
    work.record_changed = work.record_changed || any;
    for (std::size_t i : work.made) {
        remove_web_picture(work.folder, images.files[i].name);
        images.files[i].thumbnail = false;
        work.in_record[i] = 0;
    }
    work.made.clear();
    return any;
}

void finish_web_pictures(const ImageList& images, WebPictureWork& work, bool page_in_place)
{
    if (!work.in_use)
        return;
    std::vector<RecordEntry> entries;
    for (std::size_t i = 0; i < work.record.size(); ++i)
        if (work.in_record[i])
            entries.push_back(work.record[i]);
    if (work.record_changed || entries.size() != work.old_entries)
        write_web_picture(work.folder, kRecordName, record_bytes(entries), kTimeOfWriting);
    if (page_in_place)
        remove_stale(work.folder, images, work.listed, work.current_in_listing);
    close_web_picture_folder(work.folder);
    work.in_use = false;
}
