// A file in a folder of pieces (an open folder's descriptor) opened only
// when it is a plain file of the running user's own, without following a
// link: what korvel reads, limits or notes there.
#ifndef KORVEL_PLATFORM_POSIX_OWN_FILES_H
#define KORVEL_PLATFORM_POSIX_OWN_FILES_H

#include <sys/stat.h>

#include <string_view>

// True for a plain file of the running user's own.
bool is_own(const struct stat& st);

// name in the folder, open for reading with its status in st, when it is a
// plain file of the running user's own; -1 otherwise.
int open_own_file(int folder, std::string_view name, struct stat& st);

// name in the folder, a folder of the running user's own or root's opened
// for reading without following a link, with its status in st; -1
// otherwise.
int open_own_folder(int folder, const char* name, struct stat& st);

#endif
