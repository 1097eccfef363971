// The hold on a temporary file (a page's or a thumbnail's) on POSIX: an
// exclusive flock, which a file system that keeps no locks refuses. Private
// to the POSIX files of platform/; page_file_posix.cpp has them.
#ifndef KORVEL_PLATFORM_POSIX_TEMPORARY_FILES_H
#define KORVEL_PLATFORM_POSIX_TEMPORARY_FILES_H

// Locks the new file fd, made as name in the folder dir_fd. False when
// another run holds it (it took it for a leftover and removes it) or it is
// no longer so named. Where the system refuses locks the file goes on
// unlocked: no cleanup can lock it either, so none removes it.
bool hold_new_file(int fd, int dir_fd, const char* name);

// Removes the temporary file name in the folder dir_fd if it is a plain
// file of the running user's own and no run holds it. One that cannot be
// locked may belong to a live run, and stays; another user's always does.
void remove_if_abandoned(int dir_fd, const char* name);

#endif
