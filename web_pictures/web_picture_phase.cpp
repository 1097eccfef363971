// Which thumbnails and views are current, by their records; making the
// others a batch at a time on every core (the main thread alone writes
// them, so that a stop finds at most one temporary file, and waits for
// it); then the new records, and what is stale removed.
#include "web_pictures/web_picture_phase.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "pagewriter/web_pieces.h"
#include "platform/memory_reuse.h"
#include "web_pictures/stale_pictures.h"
#include "web_pictures/web_picture_image.h"

namespace {

// The comment each thumbnail or view carries: what marks a file of its
// folder as korvel's own, and so as korvel's to remove.
constexpr const char* const kMarks[kKinds] = {
    "korvel thumbnail", "korvel view", "korvel small thumbnail", "korvel small view",
    "korvel thumbnail", "korvel view", "korvel small thumbnail", "korvel small view"};
// Pictures looked at a batch at a time, their results held until the
// batch is written: fewer when each holds a view of a few hundred
// kilobytes.
constexpr std::size_t kBatch = 64;
constexpr std::size_t kBatchWithViews = 16;

bool before(std::string_view a, std::string_view b)
{
    return compare_names(a, b) < 0;
}

// True when the folder held name when the run listed it; for a folder not
// listed, when the record names it as a piece or the folder holds it now.
bool is_present(const MadeFolder& work, std::string_view name)
{
    return std::binary_search(work.present.begin(), work.present.end(), name) ||
           (work.listing_skipped && holds_name(work.folder, name));
}

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

// Decides, by the record and the folder's names, which pictures have
// their piece of the kind current; the others are wanted.
std::vector<Wanted> decide(ImageList& images, MadeFolder& work, std::size_t kind, std::int64_t record_written)
{
    std::vector<Wanted> wanted;
    auto entry = work.old.cbegin();
    for (std::size_t i = 0; i < images.files.size(); ++i) {
        ImageFile& image = images.files[i];
        while (entry != work.old.cend() && before(entry->name, image.name))
            ++entry;
        const RecordEntry* e = entry != work.old.cend() && entry->name == image.name ? &*entry : nullptr;
        // A piece the record names must be there, and in a folder that
        // others may write, be the running user's own.
        const PieceName piece(kind, image.name);
        const bool there = e && e->made && is_present(work, piece.name) &&
                           (!work.folder.shared || is_own_web_picture(work.folder, piece.name));
        const bool holds = e && (!e->made || there);
        const Standing standing = e ? standing_of(*e, image, record_written) : Standing::changed;
        // Where no change time tells a copy with its time kept from the
        // picture, its first bytes do.
        const bool head_only =
            standing == Standing::unchanged && !work.change_times && image.change_time_is_write_time;
        if (holds && standing == Standing::unchanged && !head_only) {
            work.current_in_listing += e->made ? 1 : 0;
            work.at[i] = -static_cast<std::int64_t>(e - work.old.data()) - 1;
            set_piece(image, kind, e->made);
            image.shown_width = e->width;
            image.shown_height = e->height;
        } else {
            Wanted w;
            w.image = i;
            w.kinds[kind] = true;
            w.expected[kind] = holds && (standing == Standing::maybe || head_only) ? e : nullptr;
            w.head_only = holds && head_only;
            wanted.push_back(w);
        }
    }
    return wanted;
}

// The names of a folder whose names are the record's: the record and the
// pieces it says were made.
void name_from_record(MadeFolder& work, std::size_t kind)
{
    work.noted_names.reserve(work.old.size() + 1);
    work.noted_names.emplace_back(kRecordName);
    for (const RecordEntry& entry : work.old)
        if (entry.made)
            work.noted_names.push_back(piece_name(kind, entry.name));
    for (const std::string& name : work.noted_names)
        work.present.push_back(name);
}

// Opens the kind's folder, reads its record and its names (listing it
// unless the record says they are as it left them), and decides; nothing
// is wanted of a folder that cannot be used.
std::vector<Wanted> begin_kind(ImageList& images, MadeFolder& work, std::size_t kind)
{
    if (!open_web_picture_folder(work.folder, kPieceKinds[kind].folder))
        return {};
    work.in_use = true;
    work.change_times = keeps_change_times(work.folder);
    work.names_at_open = names_time(work.folder);
    std::int64_t record_written = INT64_MIN;
    if (!read_web_picture_whole(work.folder, kRecordName, kRecordMostBytes, work.old_record, record_written) ||
        !read_record(work.old_record, work.old)) {
        work.old.clear();
        record_written = INT64_MIN;
    } else {
        work.listing_skipped = work.names_at_open == noted_names_time(work.folder, kRecordName);
    }
    if (work.listing_skipped) {
        name_from_record(work, kind);
    } else {
        work.listed_at = std::chrono::steady_clock::now();
        // Mostly a piece for each picture: grown once, not doubled.
        work.listed.files.reserve(images.files.size() + 8);
        if (!list_web_picture_folder(work.folder, work.listed))
            return {};  // nothing can be told in place: every picture keeps its own
        work.present.reserve(work.listed.files.size());
        for (const ListedFile& file : work.listed.files)
            work.present.push_back(file.name);
        // The names stay in the listing's blocks; its entries are not needed.
        std::vector<ListedFile>().swap(work.listed.files);
    }
    std::sort(work.present.begin(), work.present.end());
    work.at.assign(images.files.size(), 0);
    work.fresh.reserve(16);
    work.decided = true;
    return decide(images, work, kind, record_written);
}

// The two kinds' wanted pictures, each in the pictures' order, as one list:
// a picture wanted of both is looked at once.
std::vector<Wanted> merged(const std::vector<Wanted>& a, const std::vector<Wanted>& b)
{
    std::vector<Wanted> both;
    both.reserve(a.size() + b.size());
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i].image < b[j].image)) {
            both.push_back(a[i++]);
        } else if (i == a.size() || b[j].image < a[i].image) {
            both.push_back(b[j++]);
        } else {
            Wanted w = a[i++];
            for (std::size_t kind = 0; kind < kKinds; ++kind) {
                w.kinds[kind] = w.kinds[kind] || b[j].kinds[kind];
                w.expected[kind] = w.expected[kind] ? w.expected[kind] : b[j].expected[kind];
            }
            w.head_only = w.head_only && b[j].head_only;
            both.push_back(w);
            ++j;
        }
    }
    return both;
}

// Puts one batch's results in place.
void take_results(ImageList& images, WebPictureWork& work, const std::vector<Wanted>& wanted, std::size_t from,
                  std::vector<Result>& results, std::uint64_t room_needed)
{
    for (std::size_t k = 0; k < results.size(); ++k) {
        const std::size_t i = wanted[from + k].image;
        ImageFile& image = images.files[i];
        Result& result = results[k];
        for (std::size_t kind = 0; kind < kKinds; ++kind) {
            MadeFolder& made = work.kinds[kind];
            Piece& piece = result.pieces[kind];
            if (!wanted[from + k].kinds[kind] || piece.outcome == Outcome::unread)
                continue;
            // Known now, whether what was made can be put in place or not.
            image.shown_width = result.entry.width;
            image.shown_height = result.entry.height;
            const PieceName name(kind, image.name);
            if (piece.outcome == Outcome::made) {
                // A file at its name that korvel did not make is the user's
                // own (or another's): it stays, and the picture shows itself.
                if (is_present(made, name.name) && !is_marked_piece(made.folder, name.name, kMarks[kind]))
                    continue;
                // The page comes first: nothing takes the room it needs.
                if (!leaves_room_for_page(room_left(made.folder), room_needed, piece.bytes.size()) ||
                    !write_web_picture(made.folder, name.name, piece.bytes, image.modified, result.readers))
                    continue;
                made.made.push_back(i);
            } else if (piece.outcome == Outcome::same && result.made[kind] && !result.head_held &&
                       !limit_web_picture_readers(made.folder, name.name, result.readers)) {
                continue;  // the picture was made private, and its piece cannot follow
            }
            // A head that held leaves the entry as it was.
            made.record_changed = made.record_changed || !result.head_held;
            if (piece.outcome == Outcome::same && result.made[kind])
                ++made.current_in_listing;  // the one the record named, there
            set_piece(image, kind, result.made[kind]);
            made.fresh.push_back(result.entry);
            made.fresh.back().made = result.made[kind];
            made.at[i] = static_cast<std::int64_t>(made.fresh.size());
        }
    }
}

}  // namespace

std::uint64_t room_for_page(const ImageList& images)
{
    std::uint64_t bytes = 4u << 20;
    for (const ImageFile& image : images.files)
        bytes += 2048 + 128 * image.name.size();
    return bytes;
}

bool leaves_room_for_page(std::uint64_t room_left, std::uint64_t page_room, std::uint64_t piece_bytes)
{
    return room_left >= page_room && room_left - page_room >= piece_bytes;
}

void make_web_pictures(ImageList& images, WebPictureWork& work, bool thumbnails, bool views)
{
    std::vector<Wanted> wanted;
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        if (kPieceKinds[kind].view ? views : thumbnails)
            wanted = merged(wanted, begin_kind(images, work.kinds[kind], kind));

    const std::uint64_t room_needed = room_for_page(images);
    if (!wanted.empty())
        reuse_freed_memory(kDecodingMostBytes);
    std::vector<Result> results;
    const std::size_t batch = views ? kBatchWithViews : kBatch;
    for (std::size_t from = 0; from < wanted.size(); from += batch) {
        const std::size_t to = std::min(wanted.size(), from + batch);
        look_at_pictures(images, std::vector<Wanted>(wanted.begin() + from, wanted.begin() + to), kMarks, results);
        take_results(images, work, wanted, from, results, room_needed);
    }
}

bool give_up_new_web_pictures(ImageList& images, WebPictureWork& work)
{
    bool any = false;
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        MadeFolder& made = work.kinds[kind];
        any = any || !made.made.empty();
        made.record_changed = made.record_changed || !made.made.empty();
        for (std::size_t i : made.made) {
            remove_web_picture(made.folder, PieceName(kind, images.files[i].name).name);
            set_piece(images.files[i], kind, false);
            made.at[i] = 0;
        }
        made.made.clear();
    }
    return any;
}

void finish_web_pictures(const ImageList& images, WebPictureWork& work, bool page_in_place)
{
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        MadeFolder& made = work.kinds[kind];
        if (!made.in_use)
            continue;
        const std::size_t kept =
            made.at.size() - static_cast<std::size_t>(std::count(made.at.begin(), made.at.end(), 0));
        const bool rewrite = made.record_changed || kept != made.old.size();
        if (rewrite) {
            std::vector<RecordEntry> entries;
            entries.reserve(kept);
            for (std::size_t i = 0; i < made.at.size(); ++i) {
                const std::int64_t k = made.at[i];
                if (k == 0)
                    continue;
                entries.push_back(k > 0 ? made.fresh[static_cast<std::size_t>(k - 1)]
                                        : made.old[static_cast<std::size_t>(-k - 1)]);
                entries.back().name = images.files[i].name;
            }
            write_web_picture(made.folder, kRecordName, record_bytes(entries), kTimeOfWriting, all_readers());
        }
        if (page_in_place && made.decided)
            remove_stale_pictures(made.folder, made.present, made.current_in_listing, images, kind, kMarks[kind]);
        // Listed, and nothing changed in it since it was opened: its
        // names are its record's, and the next run need not list it.
        if (page_in_place && made.decided && !made.listing_skipped && !rewrite && !made.folder.changed &&
            names_time(made.folder) == made.names_at_open)
            note_names_time(
                made.folder, kRecordName, made.names_at_open,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - made.listed_at).count());
        close_web_picture_folder(made.folder);
        made.in_use = false;
    }
}
