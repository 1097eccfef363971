// Which thumbnails are current, by the record; making the others a batch
// at a time on every core (the main thread alone writes them, so that a
// stop finds at most one temporary file, and waits for it); then the new
// record, and what is stale removed.
#include "thumbnails/thumbnail_phase.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "pagewriter/thumbnail_table.h"
#include "thumbnails/thumbnail_batch.h"

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

bool in_sorted(const std::vector<std::string_view>& names, std::string_view name)
{
    auto at = std::lower_bound(names.begin(), names.end(), name, before);
    return at != names.end() && *at == name;
}

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

// True when name is the thumbnail in place of one of the pictures.
bool is_thumbnail_of_a_picture(const ImageList& images, std::string_view name)
{
    // The pictures are in name order already.
    auto at = std::lower_bound(images.files.begin(), images.files.end(), name,
                               [](const ImageFile& image, std::string_view n) { return before(image.name, n); });
    return at != images.files.end() && at->name == name && at->thumbnail;
}

void remove_stale(ThumbnailFolder& folder, const ImageList& images)
{
    FolderListing names;
    if (!list_thumbnail_folder(folder, names))
        return;
    remove_abandoned_thumbnails(folder, names);
    std::string start;
    for (const ListedFile& file : names.files)
        if (file.name != kRecordName && !is_thumbnail_of_a_picture(images, file.name) &&
            read_thumbnail_start(folder, file.name, 512, start) && carries_mark(start))
            remove_thumbnail(folder, file.name);
}

// Decides, by the record and the folder's names, which pictures are
// current; the others are wanted.
std::vector<Wanted> decide(ImageList& images, ThumbnailWork& work, const std::vector<RecordEntry>& old,
                           std::int64_t record_written, const std::vector<std::string_view>& present)
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
        const bool in_place = e && e->thumbnail && in_sorted(present, image.name) &&
                              (!work.folder.shared || is_own_thumbnail(work.folder, image.name));
        const bool holds = e && (!e->thumbnail || in_place);
        const Standing standing = e ? standing_of(*e, image, record_written) : Standing::changed;
        if (holds && standing == Standing::unchanged) {
            work.record[i] = *e;
            work.record[i].name = image.name;
            work.in_record[i] = 1;
            image.thumbnail = e->thumbnail;
        } else {
            wanted.push_back({i, holds && standing == Standing::maybe ? e : nullptr});
        }
    }
    return wanted;
}

// Puts one batch's results in place.
void take_results(ImageList& images, ThumbnailWork& work, const std::vector<Wanted>& wanted, std::size_t from,
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
                !write_thumbnail(work.folder, image.name, result.bytes, image.modified))
                continue;
            work.made.push_back(i);
        }
        work.checked_content = work.checked_content || result.outcome == Outcome::same;
        image.thumbnail = result.entry.thumbnail;
        work.record[i] = result.entry;
        work.in_record[i] = 1;
    }
}

}  // namespace

void make_thumbnails(ImageList& images, ThumbnailWork& work)
{
    if (!open_thumbnail_folder(work.folder, kThumbnailFolderName))
        return;
    work.in_use = true;
    FolderListing listed;
    if (!list_thumbnail_folder(work.folder, listed))
        return;  // nothing can be told in place: every cell keeps its picture
    std::vector<std::string_view> present;
    present.reserve(listed.files.size());
    for (const ListedFile& file : listed.files)
        present.push_back(file.name);
    std::sort(present.begin(), present.end(), before);

    std::vector<RecordEntry> old;
    std::int64_t record_written = INT64_MIN;
    if (!read_thumbnail_whole(work.folder, kRecordName, kRecordMostBytes, work.old_record, record_written) ||
        !read_record(work.old_record, old))
        old.clear();
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

bool give_up_new_thumbnails(ImageList& images, ThumbnailWork& work)
{
    for (std::size_t i : work.made) {
        remove_thumbnail(work.folder, images.files[i].name);
        images.files[i].thumbnail = false;
        work.in_record[i] = 0;
    }
    const bool any = !work.made.empty();
    work.made.clear();
    return any;
}

void finish_thumbnails(const ImageList& images, ThumbnailWork& work, bool page_in_place)
{
    if (!work.in_use)
        return;
    std::vector<RecordEntry> entries;
    for (std::size_t i = 0; i < work.record.size(); ++i)
        if (work.in_record[i])
            entries.push_back(work.record[i]);
    const std::string text = record_text(entries);
    if (text != work.old_record || work.checked_content)
        write_thumbnail(work.folder, kRecordName, text, kTimeOfWriting);
    if (page_in_place)
        remove_stale(work.folder, images);
    close_thumbnail_folder(work.folder);
    work.in_use = false;
}
