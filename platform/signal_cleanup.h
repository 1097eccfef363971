// Private to the page file: what happens to the held temporary page when
// the run is stopped, by a signal on POSIX (every one whose default action
// ends the process: SIGINT, SIGTERM, SIGHUP, SIGALRM, SIGUSR1 and the rest,
// SIGKILL aside) or a console event on Windows (Ctrl+C, Ctrl+Break,
// closing the console).
//
// Invariant: each thread's held page is its temporary file or nothing, and
// it changes only between begin_held_change and end_held_change, where no
// stop is handled: the handler waits for the changes under way on every
// thread (and no thread starts one once a stop has come). So the handler
// finds no page or a whole one for each thread, removes them, and the run
// ends as the stop would have ended it. A signal that was ignored when the
// run started stays ignored. Threads other than the main one take no stop
// (helper_threads.h).
//
// Calling sequence: guard_held_page once, before the first change (and
// before threads that make pages start); then, on each thread,
// for each change of the held page (made, renamed, removed):
// begin_held_change, the change and hold_page or release_held_page,
// end_held_change. Changes do not nest. Nothing here fails.
//
// Once the new page is in place the run has succeeded, and a stop must not
// say otherwise: the change that puts it in place ends with
// end_held_change_for_good, after which no stop ends the run.
#ifndef KORVEL_PLATFORM_SIGNAL_CLEANUP_H
#define KORVEL_PLATFORM_SIGNAL_CLEANUP_H

struct PageFile;

void guard_held_page();
void begin_held_change();
void end_held_change();
void end_held_change_for_good();

// The page's temporary file is now the calling thread's held page: its name
// and folder on POSIX, its handle on Windows. Needs no memory.
void hold_page(const PageFile& page);
// Nothing is held any more.
void release_held_page();

#endif
