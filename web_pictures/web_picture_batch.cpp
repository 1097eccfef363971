// The threads take the wanted pictures one by one from a shared counter;
// each writes only the results it took.
#include "web_pictures/web_picture_batch.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/helper_threads.h"
#include "platform/web_picture_files.h"
#include "web_pictures/memory_budget.h"
#include "web_pictures/web_picture_image.h"

namespace {

// A picture file larger than this is no picture korvel makes a thumbnail
// or view of; it is not read.
constexpr std::size_t kPictureMostBytes = 64u << 20;
constexpr unsigned kMostThreads = 16;
// Threads that only read a few kilobytes of each picture, on a share
// where each read waits on the network.
constexpr unsigned kMostHeadReaders = 64;

struct Shared {
    MemoryBudget own_budget;
    MemoryBudget* budget = &own_budget;
    const WorkFolder* at = nullptr;
    const ImageList* images = nullptr;
    const std::vector<Wanted>* wanted = nullptr;
    const char* const* marks = nullptr;
    std::vector<Result>* results = nullptr;
    std::atomic<std::size_t> next{0};
};

// True, with result set, when the picture's first bytes still hash to the
// head of each entry wanted. Who may read it is looked up too: where no
// change time tells that it was made private, its pieces follow it all
// the same.
bool head_holds(const WorkFolder& at, const ImageFile& image, const Wanted& wanted, Result& result)
{
    std::string head;
    if (!read_picture_head(at, image.name, kHeadBytes, head, result.readers) || !result.readers.known)
        return false;
    const std::uint64_t hash = head_hash(head);
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        if (wanted.kinds[kind] && (!wanted.expected[kind] || wanted.expected[kind]->head != hash))
            return false;
    for (std::size_t kind = 0; kind < kKinds; ++kind)
        if (wanted.kinds[kind]) {
            result.entry = *wanted.expected[kind];
            result.pieces[kind].outcome = Outcome::same;
            result.made[kind] = wanted.expected[kind]->made;
        }
    result.head_held = true;
    return true;
}

void look_at_bytes(const WorkFolder& at, const ImageFile& image, const Wanted& wanted, const char* const* marks,
                   MemoryBudget& budget, std::string& picture, Result& result)
{
    // A picture whose readers korvel cannot tell gets no piece that could
    // let others see it: it is shown as itself, and looked at again.
    // One grown since it was listed is looked at next time, when its size
    // is known to the budget.
    if (!read_picture(at, image.name, static_cast<std::size_t>(image.size), picture, result.readers) ||
        !result.readers.known)
        return;
    result.entry = entry_for(image, content_hash(picture), head_hash(picture));
    bool order[kKinds] = {};
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        const RecordEntry* expected = wanted.expected[kind];
        if (!wanted.kinds[kind]) {
            continue;
        } else if (expected && expected->content == result.entry.content) {
            result.pieces[kind].outcome = Outcome::same;
            result.made[kind] = expected->made;
            result.entry.width = expected->width;
            result.entry.height = expected->height;
        } else {
            order[kind] = true;
        }
    }
    if (std::none_of(order, order + kKinds, [](bool wanted) { return wanted; }))
        return;
    WebPictureOrder what;
    std::copy(order, order + kKinds, what.wanted);
    what.budget = &budget;
    what.marks = marks;
    WebPictures made;
    make_web_pictures_of(reinterpret_cast<const unsigned char*>(picture.data()), picture.size(), what, made);
    result.entry.width = made.shown.width;
    result.entry.height = made.shown.height;
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        if (!order[kind])
            continue;
        result.made[kind] = made.made[kind];
        result.pieces[kind].outcome = made.made[kind] ? Outcome::made : Outcome::makes_none;
        result.pieces[kind].bytes.swap(made.bytes[kind]);
    }
}

void look_at_one(const WorkFolder& at, const ImageFile& image, const Wanted& wanted, const char* const* marks,
                 MemoryBudget& budget, Result& result)
{
    // A few kilobytes, outside the budget: many are read at once on a share.
    if (wanted.head_only && head_holds(at, image, wanted, result))
        return;
    // The picture's bytes, for as long as they are held.
    if (image.size > kPictureMostBytes)
        return;
    const std::size_t bytes = static_cast<std::size_t>(image.size);
    take_memory(budget, bytes, false);
    std::string picture;
    try {
        look_at_bytes(at, image, wanted, marks, budget, picture, result);
    } catch (...) {
        picture = std::string();
        give_back_memory(budget, bytes, false);
        throw;
    }
    picture = std::string();
    give_back_memory(budget, bytes, false);
}

void look_at_some(Shared& shared)
{
    for (;;) {
        std::size_t i = shared.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= shared.wanted->size())
            return;
        Result& result = (*shared.results)[i];
        const Wanted& wanted = (*shared.wanted)[i];
        try {
            look_at_one(*shared.at, shared.images->files[wanted.image], wanted, shared.marks, *shared.budget,
                        result);
        } catch (...) {
            // No memory, in a thread that must not throw: nothing known.
            result = Result();
        }
    }
}

}  // namespace

void look_at_pictures(const WorkFolder& at, const ImageList& images, const std::vector<Wanted>& wanted,
                      const char* const* marks, std::vector<Result>& results, MemoryBudget* run_budget)
{
    results.assign(wanted.size(), Result());
    Shared shared;
    shared.at = &at;
    shared.images = &images;
    shared.wanted = &wanted;
    shared.marks = marks;
    shared.results = &results;
    bool views = false;
    for (const Wanted& w : wanted)
        for (std::size_t kind = 0; kind < kKinds; ++kind)
            views = views || (w.kinds[kind] && kPieceKinds[kind].view);
    shared.own_budget.most = views ? kRunMemoryBudget : kRunMemoryBudgetForThumbnails;
    if (run_budget)
        shared.budget = run_budget;
    std::vector<std::thread> helpers;
    unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMostThreads));
    // Reading a few kilobytes of each picture on a share waits on the
    // network, not on the cores.
    if (std::all_of(wanted.begin(), wanted.end(), [](const Wanted& w) { return w.head_only; }))
        cores = kMostHeadReaders;
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
