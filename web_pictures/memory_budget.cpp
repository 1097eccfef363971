#include "web_pictures/memory_budget.h"

void take_memory(MemoryBudget& budget, std::size_t bytes, bool decoding)
{
    std::unique_lock<std::mutex> held(budget.lock);
    // Pictures' bytes take half the budget at most, so that the pictures
    // held can be decoded within it.
    const std::size_t most = decoding ? budget.most : budget.most / 2;
    budget.given_back.wait(held, [&] {
        return budget.taken == 0 || budget.taken + bytes <= most || (decoding && budget.decoding == 0);
    });
    budget.taken += bytes;
    budget.decoding += decoding ? 1 : 0;
}

void give_back_memory(MemoryBudget& budget, std::size_t bytes, bool decoding)
{
    {
        std::lock_guard<std::mutex> held(budget.lock);
        budget.taken -= bytes;
        budget.decoding -= decoding ? 1 : 0;
    }
    budget.given_back.notify_all();
}
