// A file in a folder of pieces (an open folder's descriptor) opened only
// when it is a plain file of the running user's own, without following a
// link: what korvel reads, limits or notes there.
#ifndef KORVEL_PLATFORM_POSIX_OWN_FILES_H
#define KORVEL_PLATFORM_POSIX_OWN_FILES_H

#include <sys/stat.h>

#include <string_view>

// name in the folder, open for reading with its status in st, when it is a
// plain file of the running user's own; -1 otherwise.
int open_own_file(int folder, std::string_view name, struct stat& st);

#endif
