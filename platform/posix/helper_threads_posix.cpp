#include "platform/helper_threads.h"

#include <signal.h>

namespace {
thread_local sigset_t t_before;
}  // namespace

void begin_helper_starts()
{
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &t_before);
}

void end_helper_starts()
{
    pthread_sigmask(SIG_SETMASK, &t_before, nullptr);
}
