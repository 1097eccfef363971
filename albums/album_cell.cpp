#include "albums/album_cell.h"

#include <algorithm>

#include "picture_facts/picture_order.h"

namespace {

WallKey key_of(const WallTime& time)
{
    if (!time.known || time.year < 0 || time.year > 9999)
        return 0;
    WallKey key = static_cast<WallKey>(time.year);
    for (int part : {time.month, time.day, time.hour, time.minute, time.second})
        key = key * 100 + static_cast<WallKey>(part);
    return key;
}

void take_moments(AlbumCell& cell, WallKey first, WallKey last)
{
    if (first != 0 && (cell.first == 0 || first < cell.first))
        cell.first = first;
    if (last > cell.last)
        cell.last = last;
}

// The moment a picture's section shows, under the options (TAKEN: when it
// was taken, where it says so soundly); 0 when it shows none.
WallKey shown_moment_of(const PageOptions& options, const ImageFile& image, const PictureFacts* facts)
{
    return key_of(shown_time_of(image, options.show_time_taken ? facts : nullptr));
}

}  // namespace

AlbumCell album_cell_of(const std::string& name, const PageOptions& options, const ImageList& shown,
                        const std::vector<PictureFacts>* facts, const std::vector<AlbumCell>& albums)
{
    AlbumCell cell;
    cell.name = name;
    cell.pictures = shown.files.size();
    for (std::size_t i = 0; i < shown.files.size(); ++i) {
        const WallKey moment =
            shown_moment_of(options, shown.files[i], facts && i < facts->size() ? &(*facts)[i] : nullptr);
        take_moments(cell, moment, moment);
    }
    for (const AlbumCell& album : albums) {
        cell.pictures += album.pictures;
        take_moments(cell, album.first, album.last);
    }
    if (!shown.files.empty()) {
        // The picture its photographer rated highest, the first of those;
        // else the first.
        std::size_t chosen = 0;
        int best = 0;
        for (std::size_t i = 0; facts && i < shown.files.size() && i < facts->size(); ++i)
            if ((*facts)[i].rating > best) {
                best = (*facts)[i].rating;
                chosen = i;
            }
        const ImageFile& cover = shown.files[chosen];
        cell.cover = std::string(cover.name);
        cell.cover_pieces = cover.pieces;
        cell.cover_width = cover.shown_width;
        cell.cover_height = cover.shown_height;
    } else if (!albums.empty() && !albums.front().cover.empty()) {
        const AlbumCell& first = albums.front();
        cell.cover_folders.push_back(first.name);
        cell.cover_folders.insert(cell.cover_folders.end(), first.cover_folders.begin(),
                                  first.cover_folders.end());
        cell.cover = first.cover;
        cell.cover_pieces = first.cover_pieces;
        cell.cover_width = first.cover_width;
        cell.cover_height = first.cover_height;
    }
    return cell;
}

void put_in_album_order(std::vector<AlbumCell>& albums, const PageOptions& options)
{
    std::stable_sort(albums.begin(), albums.end(), [&options](const AlbumCell& a, const AlbumCell& b) {
        if (options.order_by_date && (a.first == 0) != (b.first == 0))
            return a.first != 0;
        if (options.order_by_date && a.first != b.first)
            return a.first < b.first;
        return compare_names(a.name, b.name) < 0;
    });
}
