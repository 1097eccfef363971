// The signals that stop a run remove its temporary page, then end the run
// by that same signal. The handler makes only async-signal-safe calls: it
// unlinks a name copied before, relative to a folder opened before,
// restores the default action and raises the signal again.
#include "platform/signal_cleanup.h"

#include <signal.h>
#include <unistd.h>

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

// The held page: its name, copied here so that a handler never reads the
// heap, and the folder it is in. Set and cleared only while the ending
// signals are blocked.
char g_held_name[NAME_MAX + 1];
volatile int g_held_folder = -1;
sigset_t g_before_change;  // the mask to restore at the end of a change

extern "C" void remove_held_and_reraise(int signal_number)
{
    if (g_held_folder >= 0)
        unlinkat(g_held_folder, g_held_name, 0);
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
    static bool installed = false;
    if (installed)
        return;
    installed = true;
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
    pthread_sigmask(SIG_BLOCK, &set, &g_before_change);
}

void end_held_change()
{
    pthread_sigmask(SIG_SETMASK, &g_before_change, nullptr);
}

void end_held_change_for_good()
{
    // The ending signals stay blocked: one that comes now stays pending
    // until the run ends as it has succeeded.
}

void hold_page(const PageFile& page)
{
    std::size_t length = page.temporary.size() < NAME_MAX ? page.temporary.size() : NAME_MAX;
    std::memcpy(g_held_name, page.temporary.data(), length);
    g_held_name[length] = '\0';
    g_held_folder = static_cast<int>(page.folder.handle);
}

void release_held_page()
{
    g_held_folder = -1;
}
