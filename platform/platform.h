// What the tool needs from the operating system, in portable terms. This
// header and the code above it include no system headers; platform_posix.cpp
// and platform_windows.cpp implement it, and CMake builds one of them.
// The directory listing (list_images) is declared with its record in
// pagewriter/image_listing.h and implemented beside these functions.
#ifndef KORVEL_PLATFORM_PLATFORM_H
#define KORVEL_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>

// Names and paths are UTF-8 on every system: the Windows layer converts
// them from and to the system's UTF-16.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// An open file: a descriptor on POSIX, a HANDLE on Windows.
struct PlatformFile {
    std::intptr_t handle = -1;
};

// A moment in local time, as the calendar shows it.
struct LocalTime {
    int year = 0;
    int month = 1;    // 1 to 12
    int day = 1;      // 1 to 31
    int weekday = 0;  // 0 is Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Fills path with the current directory, of any length. Fails (false) when
// the system cannot say, for example when the directory has been removed.
bool get_current_directory(std::string& path);

// Converts seconds since the epoch to local time, honouring TZ. Fails when
// the system cannot convert that time.
bool to_local_time(std::int64_t seconds, LocalTime& out);

// The page while it is written: a temporary file in the folder of the page
// it will replace, so that a reader of the folder sees the old page or the
// new one, never half a page.
struct PageFile {
    PlatformFile file;
    std::string target;     // the page: the name given, or where its links lead
    std::string temporary;  // the temporary file; empty when there is none
};

// Creates the temporary file for the page name, named ".korvel-" and six
// letters or digits. The run holds it (a lock on POSIX, no delete sharing on
// Windows) for as long as it lives, so that other runs know it is in use;
// the signals that stop a run (Ctrl+C and the like on Windows) remove it
// before the run ends. Temporary files of that name in the folder that no
// run holds, left by runs that were killed outright, are removed. One page
// at a time. Fails, creating nothing, when the page exists but is not a
// plain file (a folder, say) or the running user may not write it, or when
// the temporary file cannot be created in its folder.
bool begin_page(PageFile& page, const char* name);

// Writes all size bytes. Fails on any error, including a short write that
// cannot be completed.
bool write_output_file(PlatformFile& file, const char* data, std::size_t size);

// Flushes the temporary file to the disk and puts it in place of the page,
// with the old page's permission bits; on POSIX the folder is flushed after
// the rename. After a power failure the folder holds the old page or the
// new one, whole. Fails when the flush or the replacement fails; the
// temporary file is then removed and the old page stays as it was.
bool commit_page(PageFile& page);

// Removes the temporary file and closes it; the old page stays as it was.
void abandon_page(PageFile& page);

// opened; missing: there is no such file; failed: it is there but cannot be
// opened; not_a_file: it is a folder, a device, a FIFO or a socket, which
// is never read (a FIFO could block the run forever, a device never end).
enum class OpenResult { opened, missing, failed, not_a_file };

// Opens the file for reading, without blocking and without reading it.
OpenResult open_input_file(PlatformFile& file, const char* name);

// Reads up to capacity bytes into buffer and sets got; got is 0 at the end of
// the file. Fails on a read error.
bool read_input_file(PlatformFile& file, char* buffer, std::size_t capacity, std::size_t& got);

// Closes a file opened by open_input_file; nothing of the file can be lost
// by then, so the result is not reported.
void close_input_file(PlatformFile& file);

#endif
