// Which thumbnails are current, making the others a batch at a time on
// every core (the main thread alone writes them, so that a stop finds at
// most one temporary file, and waits for it), and removing what is stale.
#include "thumbnails/thumbnail_phase.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "pagewriter/thumbnail_table.h"
#include "platform/helper_threads.h"
#include "platform/thumbnail_files.h"
#include "thumbnails/thumbnail_image.h"

namespace {

// The comment each thumbnail carries: what marks a file of the folder as
// korvel's own, and so as korvel's to remove.
constexpr const char* kMark = "korvel thumbnail";
// A picture file larger than this is no picture korvel makes a thumbnail
// of; it is not read.
constexpr std::size_t kPictureMostBytes = 64u << 20;
constexpr std::size_t kBatch = 64;
constexpr unsigned kMostThreads = 16;

struct Batch {
    const ImageList* images = nullptr;
    const std::vector<std::size_t>* wanted = nullptr;  // indexes into images.files
    std::size_t from = 0, to = 0;                      // the part of wanted this batch makes
    std::vector<std::string>* made = nullptr;          // a thumbnail for each, empty where none
    std::atomic<std::size_t> next{0};
};

// Makes thumbnails of the batch until none is left; each thread writes only
// the entries it took.
void make_batch(Batch& batch)
{
    std::string picture;
    for (;;) {
        std::size_t i = batch.from + batch.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= batch.to)
            return;
        std::string& made = (*batch.made)[i - batch.from];
        try {
            const ImageFile& image = batch.images->files[(*batch.wanted)[i]];
            if (!read_picture(image.name, kPictureMostBytes, picture) ||
                !make_thumbnail(reinterpret_cast<const unsigned char*>(picture.data()), picture.size(), kMark,
                                made))
                made.clear();
        } catch (...) {
            made.clear();  // no memory: no thumbnail, in a thread that must not throw
        }
    }
}

// Runs make_batch on every core, the calling thread among them.
void run_batch(Batch& batch)
{
    std::vector<std::thread> helpers;
    unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMostThreads));
    begin_helper_starts();
    for (unsigned i = 1; i < cores && i < batch.to - batch.from; ++i) {
        try {
            helpers.emplace_back(make_batch, std::ref(batch));
        } catch (...) {
            break;  // fewer threads, or none, do the same work
        }
    }
    end_helper_starts();
    make_batch(batch);
    for (std::thread& helper : helpers)
        helper.join();
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
    auto before = [](const ImageFile& image, std::string_view n) { return compare_names(image.name, n) < 0; };
    auto at = std::lower_bound(images.files.begin(), images.files.end(), name, before);
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
        if (!is_thumbnail_of_a_picture(images, file.name) && read_thumbnail_start(folder, file.name, 512, start) &&
            carries_mark(start))
            remove_thumbnail(folder, file.name);
}

}  // namespace

void make_thumbnails(ImageList& images)
{
    ThumbnailFolder folder;
    if (!open_thumbnail_folder(folder, kThumbnailFolderName))
        return;
    std::vector<std::size_t> wanted;
    for (std::size_t i = 0; i < images.files.size(); ++i) {
        ImageFile& image = images.files[i];
        image.thumbnail = is_thumbnail_current(folder, image.name, image.modified);
        if (!image.thumbnail)
            wanted.push_back(i);
    }
    std::vector<std::string> made;
    for (std::size_t from = 0; from < wanted.size(); from += kBatch) {
        Batch batch;
        batch.images = &images;
        batch.wanted = &wanted;
        batch.from = from;
        batch.to = std::min(wanted.size(), from + kBatch);
        made.assign(batch.to - from, std::string());
        batch.made = &made;
        run_batch(batch);
        for (std::size_t i = from; i < batch.to; ++i) {
            ImageFile& image = images.files[wanted[i]];
            const std::string& thumbnail = made[i - from];
            image.thumbnail = !thumbnail.empty() && write_thumbnail(folder, image.name, thumbnail, image.modified);
        }
    }
    remove_stale(folder, images);
    close_thumbnail_folder(folder);
}
