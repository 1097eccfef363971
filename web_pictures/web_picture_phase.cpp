// Which thumbnails and views are current, by their records; making the
// others a batch at a time on every core (the main thread alone writes
// them, so that a stop finds at most one temporary file, and waits for
// it); then the new records, and what is stale removed.
#include "web_pictures/web_picture_phase.h"

#include <algorithm>
#include <cstdint>

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
            } else if (piece.outcome == Outcome::same && result.made[kind] &&
                       (!result.head_held || !result.readers.others) &&
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

void keep_memory_for_web_pictures()
{
    reuse_freed_memory(kDecodingMostBytes);
}

void make_web_pictures(const WorkFolder& at, ImageList& images, WebPictureWork& work, bool thumbnails, bool views)
{
    std::vector<Wanted> wanted;
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        if (kPieceKinds[kind].view ? views : thumbnails)
            wanted = merged(wanted, open_piece_folder(at, images, work.kinds[kind], kind));

    const std::uint64_t room_needed = room_for_page(images) + work.more_page_bytes;
    if (!wanted.empty())
        keep_memory_for_web_pictures();
    std::vector<Result> results;
    const std::size_t batch = views ? kBatchWithViews : kBatch;
    for (std::size_t from = 0; from < wanted.size(); from += batch) {
        const std::size_t to = std::min(wanted.size(), from + batch);
        look_at_pictures(at, images, std::vector<Wanted>(wanted.begin() + from, wanted.begin() + to), kMarks,
                         results, work.budget);
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

void remove_all_web_pictures(const WorkFolder& at)
{
    const ImageList none;
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        const char* name = kPieceKinds[kind].folder;
        WebPictureFolder folder;
        FolderListing listed;
        if (!holds_folder(at, name) || !open_web_picture_folder(folder, at, name))
            continue;
        if (list_web_picture_folder(folder, listed)) {
            std::vector<std::string_view> names;
            for (const ListedFile& file : listed.files)
                names.push_back(file.name);
            remove_stale_pictures(folder, names, 0, none, kind, kMarks[kind]);
            if (is_own_web_picture(folder, kRecordName))
                remove_web_picture(folder, kRecordName);
        }
        close_web_picture_folder(folder);
        remove_own_empty_folder(at, name);
    }
}
