// Reading an open file's bytes, for the POSIX files of platform/ that
// read pictures, pieces and pages. Private to them.
#ifndef KORVEL_PLATFORM_POSIX_FILE_READS_H
#define KORVEL_PLATFORM_POSIX_FILE_READS_H

#include <cstddef>
#include <string>

// Reads the first most bytes of the open file fd, or all it has if fewer.
bool read_start(int fd, std::size_t most, std::string& bytes);

// Reads the open file fd whole, failing when it is no plain file, holds
// more than most bytes, or shrinks while it is read.
bool read_all(int fd, std::size_t most, std::string& bytes);

#endif
