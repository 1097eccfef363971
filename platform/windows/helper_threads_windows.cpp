#include "platform/helper_threads.h"

void begin_helper_starts()
{
    // A console event is handled in a thread of the system's own.
}

void end_helper_starts()
{
}
