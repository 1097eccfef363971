// What the POSIX and Windows implementations share: the code built on it is
// written once, in platform_shared.cpp, and each implementation supplies the
// few system calls below. Not for use outside platform/.
#ifndef KORVEL_PLATFORM_PLATFORM_SHARED_H
#define KORVEL_PLATFORM_PLATFORM_SHARED_H

#include <ctime>
#include <string>

#include "platform/platform.h"

// The C library's broken-down time as the portable LocalTime.
LocalTime local_time_of(const std::tm& tm);

// Each platform's own.

// Closes the file if it is open and marks it closed. Fails when the close
// reports an error, which can be the first sign of a lost write.
bool close_file(PlatformFile& file);

// Removes the file; a failure leaves nothing more to do, so none is reported.
void remove_file(const std::string& path);

// Puts the file from in place of to, replacing it in one step. Fails when
// the system cannot.
bool replace_file(const std::string& from, const std::string& to);

#endif
