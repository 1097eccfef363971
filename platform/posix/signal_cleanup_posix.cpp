// The signals that stop a run remove its temporary page, then end the run
// by that same signal. The handler makes only async-signal-safe calls: it
// unlinks a path prepared before, restores the default action and raises
// the signal again.
#include "platform/signal_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "platform/page_file.h"

namespace {

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};

// The held page's path: the page file's own string, which stays unchanged
// while it is held, so that holding it needs no memory. Set and cleared only
// while the ending signals are blocked.
const char* volatile g_held = nullptr;
sigset_t g_before_change;  // the mask to restore at the end of a change

extern "C" void remove_held_and_reraise(int signal_number)
{
    const char* path = g_held;
    if (path)
        unlink(path);
    signal(signal_number, SIG_DFL);
    raise(signal_number);  // pending until the handler returns, then ends the run as it would have
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
    sigemptyset(&action.sa_mask);
    for (int signal_number : kEndingSignals)
        sigaddset(&action.sa_mask, signal_number);
    for (int signal_number : kEndingSignals) {
        // A signal ignored by whoever started the run (nohup, say) stays so.
        struct sigaction old;
        if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(signal_number, &action, nullptr);
    }
}

void begin_held_change()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : kEndingSignals)
        sigaddset(&set, signal_number);
    pthread_sigmask(SIG_BLOCK, &set, &g_before_change);
}

void end_held_change()
{
    pthread_sigmask(SIG_SETMASK, &g_before_change, nullptr);
}

void hold_page(const PageFile& page)
{
    g_held = page.temporary.c_str();
}

void release_held_page()
{
    g_held = nullptr;
}
