// One budget of memory for all the threads that make thumbnails and views
// in a run, whatever the number of cores: a picture's bytes, then what
// decoding and reducing it takes, are taken from the budget before they are
// held and given back once they are not. A thread that finds too little
// left waits for others to give theirs back. Calling sequence, from any
// thread: take_memory, then give_back_memory with the same bytes and kind.
#ifndef KORVEL_WEB_PICTURES_MEMORY_BUDGET_H
#define KORVEL_WEB_PICTURES_MEMORY_BUDGET_H

#include <condition_variable>
#include <cstddef>
#include <mutex>

// What the threads of a run may hold at once, beyond one decoding: a
// camera's picture of 24 megapixels takes about 12 MB for a thumbnail
// alone and 30 MB for a view too; one of 12 megapixels, 17 MB. Two views
// of 24 megapixels at once, three of 12.
constexpr std::size_t kRunMemoryBudget = 64u << 20;
// Without views, where each thread holds little more than its picture's
// bytes (a camera's 15 MB): two such pictures at once, in the half of the
// budget that pictures' bytes may fill.
constexpr std::size_t kRunMemoryBudgetForThumbnails = 60u << 20;

struct MemoryBudget {
    std::mutex lock;
    std::condition_variable given_back;
    std::size_t most = kRunMemoryBudget;
    std::size_t taken = 0;
    unsigned decoding = 0;  // threads holding memory to decode with
};

// Takes bytes from the budget, waiting while too little is left and some
// is taken (pictures' bytes, not for decoding, may fill half of it). For
// decoding (the memory of a picture whose bytes the thread already holds),
// it also goes ahead when no other thread is decoding, so that threads
// that each hold a picture never wait on one another: the budget is then
// passed by one decoding at most. Never fails.
void take_memory(MemoryBudget& budget, std::size_t bytes, bool decoding);
void give_back_memory(MemoryBudget& budget, std::size_t bytes, bool decoding);

#endif
