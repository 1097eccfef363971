#include "web_pictures/memory_budget.h"

void take_memory(MemoryBudget& budget, std::size_t bytes, bool decoding)
{
    std::unique_lock<std::mutex> held(budget.lock);
    budget.given_back.wait(held, [&] {
        return budget.taken == 0 || budget.taken + bytes <= budget.most || (decoding && budget.decoding == 0);
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
