#include "web_pictures/piece_folder.h"

#include <algorithm>

namespace {

bool before(std::string_view a, std::string_view b)
{
    return compare_names(a, b) < 0;
}

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

}  // namespace

std::vector<Wanted> open_piece_folder(const WorkFolder& at, ImageList& images, MadeFolder& work, std::size_t kind)
{
    if (!open_web_picture_folder(work.folder, at, kPieceKinds[kind].folder))
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

bool is_present(const MadeFolder& work, std::string_view name)
{
    return std::binary_search(work.present.begin(), work.present.end(), name) ||
           (work.listing_skipped && holds_name(work.folder, name));
}
