// Helper threads that the stops of a run never reach: only the main thread
// holds what a stop must clean up, and only it may take one. Calling
// sequence: begin_helper_starts, start the threads (they inherit what it
// set), end_helper_starts. Nothing here fails.
#ifndef KORVEL_PLATFORM_HELPER_THREADS_H
#define KORVEL_PLATFORM_HELPER_THREADS_H

// POSIX: blocks every signal in the calling thread, keeping its mask for
// end_helper_starts. Windows: nothing, as a console event has a thread of
// its own.
void begin_helper_starts();
void end_helper_starts();

#endif
