// What the tool needs from the operating system, in portable terms. This
// header and the code above it include no system headers; platform_posix.cpp
// and platform_windows.cpp implement it, and CMake builds one of them.
#ifndef KORVEL_PLATFORM_PLATFORM_H
#define KORVEL_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// One entry of a folder listing.
struct ListedFile {
    std::string_view name;      // into the listing's name blocks, followed there by a zero byte
    std::uint64_t size = 0;     // known once the entry is looked up
    std::int64_t modified = 0;  // seconds since the epoch, likewise
};

// The entries of a folder in the order the system lists them, never sorted.
// Names are packed into large blocks that never move, so a folder of a
// million entries costs one small record and the name's bytes for each.
struct FolderListing {
    std::vector<ListedFile> files;
    // The temporary pages seen in the folder (see begin_page), which are
    // also in files.
    std::vector<std::string_view> temporary_pages;
    std::vector<std::unique_ptr<char[]>> name_blocks;
    std::size_t block_used = 0;  // bytes taken in the last block
    std::size_t block_size = 0;  // size of the last block
};

// Appends an entry, copying its name into the listing's own storage.
void add_listed_file(FolderListing& listing, std::string_view name, std::uint64_t size, std::int64_t modified);

// Lists the entries of the current folder but "." and "..". On Windows the
// listing brings each entry's size and time; on POSIX it reads names
// alone, and look_up_files adds them for the entries kept. Fails when the
// folder cannot be opened or read to its end; listing then holds what was
// read before the failure.
bool read_folder(FolderListing& listing);

// Fills in the size and time of every entry in listing.files, which
// read_folder made and the caller may since have thinned out, keeping the
// order. A large listing is looked up by a few threads at once, which a
// network share rewards. A symbolic link gives what it leads to, or itself
// when it leads nowhere; an entry gone since it was listed is dropped.
// Fails when the current folder cannot be opened.
bool look_up_files(FolderListing& listing);

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
// before the run ends. One page at a time. Fails, creating nothing, when the
// page exists but is not a plain file (a folder, say) or the running user
// may not write it, or when the temporary file cannot be created in its
// folder.
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

// Removes the temporary pages that runs killed outright left beside the
// page: those named in current (a listing of the current folder) when the
// page is there, or else those its own folder holds. One that a live run
// holds is left alone. Nothing is reported: a leftover that stays costs no
// page.
void remove_abandoned_pages(const PageFile& page, const FolderListing& current);

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
