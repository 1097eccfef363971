// The threads take the wanted pictures one by one from a shared counter;
// each writes only the results it took.
#include "web_pictures/web_picture_batch.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/helper_threads.h"
#include "platform/web_picture_files.h"
#include "web_pictures/web_picture_image.h"

namespace {

// A picture file larger than this is no picture korvel makes a thumbnail
// of; it is not read.
constexpr std::size_t kPictureMostBytes = 64u << 20;
constexpr unsigned kMostThreads = 16;

struct Shared {
    const ImageList* images = nullptr;
    const std::vector<Wanted>* wanted = nullptr;
    const char* mark = nullptr;
    std::vector<Result>* results = nullptr;
    std::atomic<std::size_t> next{0};
};

void look_at_one(const ImageFile& image, const Wanted& wanted, const char* mark, std::string& picture,
                 Result& result)
{
    if (!read_picture(image.name, kPictureMostBytes, picture))
        return;
    result.entry = entry_for(image, content_hash(picture));
    const RecordEntry* expected = wanted.expected;
    if (expected && expected->content == result.entry.content) {
        result.entry.thumbnail = expected->thumbnail;
        result.entry.width = expected->width;
        result.entry.height = expected->height;
        result.outcome = Outcome::same;
        return;
    }
    ShownSize shown;
    result.entry.thumbnail = make_thumbnail(reinterpret_cast<const unsigned char*>(picture.data()), picture.size(),
                                            mark, result.bytes, shown);
    result.entry.width = shown.width;
    result.entry.height = shown.height;
    result.outcome = result.entry.thumbnail ? Outcome::made : Outcome::makes_none;
}

void look_at_some(Shared& shared)
{
    std::string picture;
    for (;;) {
        std::size_t i = shared.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= shared.wanted->size())
            return;
        Result& result = (*shared.results)[i];
        const Wanted& wanted = (*shared.wanted)[i];
        try {
            look_at_one(shared.images->files[wanted.image], wanted, shared.mark, picture, result);
        } catch (...) {
            // No memory, in a thread that must not throw: nothing known.
            result.outcome = Outcome::unread;
            result.bytes.clear();
        }
    }
}

}  // namespace

void look_at_pictures(const ImageList& images, const std::vector<Wanted>& wanted, const char* mark,
                      std::vector<Result>& results)
{
    results.assign(wanted.size(), Result());
    Shared shared;
    shared.images = &images;
    shared.wanted = &wanted;
    shared.mark = mark;
    shared.results = &results;
    std::vector<std::thread> helpers;
    unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMostThreads));
    begin_helper_starts();
    for (unsigned i = 1; i < cores && i < wanted.size(); ++i) {
        try {
            helpers.emplace_back(look_at_some, std::ref(shared));
        } catch (...) {
            break;  // fewer threads, or none, do the same work
        }
    }
    end_helper_starts();
    look_at_some(shared);
    for (std::thread& helper : helpers)
        helper.join();
}
