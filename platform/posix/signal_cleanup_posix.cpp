// The signals that stop a run remove its temporary page, then end the run
// by that same signal. The handler makes only async-signal-safe calls: it
// unlinks a name copied before, relative to a folder opened before,
// restores the default action and raises the signal again.
#include "platform/signal_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

#include "platform/page_file.h"

namespace {

// Every signal whose default action ends the process, but SIGKILL, which
// cannot be caught: sent by a user, a terminal, a timer, or a limit.
const int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// The held pages, a slot for each thread that makes pages (the threads
// of a tree of albums make pages at once): a page's name, copied here so
// that a handler never reads the heap, and the folder it is in. A slot is
// changed only while its thread's ending signals are blocked and its
// changing flag is up. The handler runs in the one thread that takes the
// ending signals; it first says that the run is stopping, so that no
// thread starts a change, then waits out the changes under way.
constexpr int kSlots = 64;
struct HeldSlot {
    char name[NAME_MAX + 1];
    std::atomic<int> folder{-1};
    std::atomic<bool> changing{false};
};
HeldSlot g_slots[kSlots];
std::atomic<int> g_slots_taken{0};
std::atomic<bool> g_stopping{false};
thread_local int t_slot = -1;
thread_local sigset_t t_before_change;  // the mask to restore at the end of a change

extern "C" void remove_held_and_reraise(int signal_number)
{
    g_stopping.store(true);
    const int taken = g_slots_taken.load();
    for (int i = 0; i < taken && i < kSlots; ++i) {
        while (g_slots[i].changing.load()) {
            // Another thread is between the making of a file and its
            // renaming or removal: a moment.
        }
        const int folder = g_slots[i].folder.load();
        if (folder >= 0)
            unlinkat(folder, g_slots[i].name, 0);
    }
    signal(signal_number, SIG_DFL);
    raise(signal_number);  // pending until the handler returns, then ends the run as it would have
}

// The ending signals, the real-time ones included (their default action
// ends the process too).
void fill_ending_signals(sigset_t& set)
{
    sigemptyset(&set);
    for (int signal_number : kEndingSignals)
        sigaddset(&set, signal_number);
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
        sigaddset(&set, signal_number);
}

}  // namespace

void guard_held_page()
{
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = remove_held_and_reraise;
    fill_ending_signals(action.sa_mask);
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        if (!sigismember(&action.sa_mask, signal_number))
            continue;
        // A signal ignored by whoever started the run (nohup, say) stays so.
        struct sigaction old;
        if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(signal_number, &action, nullptr);
    }
}

void begin_held_change()
{
    sigset_t set;
    fill_ending_signals(set);
    pthread_sigmask(SIG_BLOCK, &set, &t_before_change);
    if (t_slot < 0)
        t_slot = g_slots_taken.fetch_add(1);
    if (t_slot >= kSlots)
        return;  // more threads than slots: never so many make pages
    g_slots[t_slot].changing.store(true);
    // A stop under way: the run ends in a moment, and this thread makes
    // nothing more, with every signal blocked, until it does.
    if (g_stopping.load()) {
        g_slots[t_slot].changing.store(false);
        for (;;)
            pause();
    }
}

void end_held_change()
{
    if (t_slot >= 0 && t_slot < kSlots)
        g_slots[t_slot].changing.store(false);
    pthread_sigmask(SIG_SETMASK, &t_before_change, nullptr);
}

void end_held_change_for_good()
{
    // The ending signals stay blocked: one that comes now stays pending
    // until the run ends as it has succeeded.
    if (t_slot >= 0 && t_slot < kSlots)
        g_slots[t_slot].changing.store(false);
}

void hold_page(const PageFile& page)
{
    if (t_slot < 0 || t_slot >= kSlots)
        return;
    std::size_t length = page.temporary.size() < NAME_MAX ? page.temporary.size() : NAME_MAX;
    std::memcpy(g_slots[t_slot].name, page.temporary.data(), length);
    g_slots[t_slot].name[length] = '\0';
    g_slots[t_slot].folder.store(static_cast<int>(page.folder.handle));
}

void release_held_page()
{
    if (t_slot >= 0 && t_slot < kSlots)
        g_slots[t_slot].folder.store(-1);
}
