// The platform layer is everything the tool asks of the operating system,
// in portable terms, one header per concern:
//
//   platform_file.h   an open file, and writing to it
//   current_folder.h  the folder the run is in, and the path separator
//   local_time.h      file times as the calendar shows them
//   time_zone_rule.h  TZ's POSIX form, for a system that reads it otherwise
//   folder_listing.h  the entries of a folder, with their sizes and times
//   page_file.h       the page while it is written, and putting it in place
//   input_file.h      the template, opened without blocking and read
//
// Each concern has one implementation for POSIX (posix/NAME_posix.cpp) and
// one for Windows (windows/NAME_windows.cpp); CMake builds one set. Names
// and paths are UTF-8 on both systems. Only these files include system
// headers.
//
// One error channel: a call that can fail says so in its result (false, or
// an OpenResult) and its header comment says when. Nothing above platform/
// reads errno or the system's last error.
#ifndef KORVEL_PLATFORM_PLATFORM_FILE_H
#define KORVEL_PLATFORM_PLATFORM_FILE_H

#include <cstddef>
#include <cstdint>

// An open file: a descriptor on POSIX, a HANDLE on Windows; -1 when closed.
struct PlatformFile {
    std::intptr_t handle = -1;
};

// Writes all size bytes of text to the file. On Windows each "\n" is stored
// as CR LF, as Windows keeps text files, so the file grows by more than
// size there. Fails on any error, including a short write that cannot be
// completed.
bool write_output_file(PlatformFile& file, const char* data, std::size_t size);

#endif
