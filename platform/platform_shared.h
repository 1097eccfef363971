// What the POSIX and Windows implementations share: the code built on it is
// written once, in platform_shared.cpp and page_file.cpp, and each
// implementation supplies the few system calls below. Not for use outside
// platform/ (the tests aside).
#ifndef KORVEL_PLATFORM_PLATFORM_SHARED_H
#define KORVEL_PLATFORM_PLATFORM_SHARED_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/local_time.h"
#include "platform/page_file.h"
#include "platform/platform_file.h"

// Mixes one more number into a listed file's stamp (ListedFile::stamp),
// which starts from 0: each system mixes in what it knows of the file.
std::uint64_t mixed_into_stamp(std::uint64_t stamp, std::uint64_t value);

// The C library's broken-down time as the portable LocalTime.
LocalTime local_time_of(const std::tm& tm);

// Appends UTF-16 text (Windows' names, in units of 16 bits) to out as
// UTF-8. A lone surrogate, which is not text and has no UTF-8 form, becomes
// U+FFFD.
template <typename Unit>
void append_utf8_of_utf16(std::string& out, const Unit* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        std::uint32_t c = static_cast<std::uint16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDFFF) {
            std::uint32_t low = i + 1 < length ? static_cast<std::uint16_t>(text[i + 1]) : 0;
            if (c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                c = 0xFFFD;
            }
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

// What separates the parts of a path the page file is given.
#ifdef _WIN32
constexpr const char* kPathSeparators = "\\/";
#else
constexpr const char* kPathSeparators = "/";
#endif

// The folder part of path, up to and including its last separator (any of
// kPathSeparators); empty for a name in the current folder.
std::string folder_part(const std::string& path);

// The path of the temporary page for target: in its folder, "." and
// target's own name (its start, where the whole would not fit in a name),
// ".korvel~P" (".korvel~W" on Windows) and twelve X, for
// fill_random_letters. Nobody names a file so by hand, and it says what it
// is.
std::string temporary_pattern_of(const std::string& target);

// A seed for fill_random_letters: from the system's random source where it
// has one, else from the time and the process. Each platform's own.
std::uint64_t random_seed();

// Puts twelve letters or digits in place of the X at the end of path, drawn
// from seed, which moves on.
void fill_random_letters(std::string& path, std::uint64_t& seed);

// True for a name (without a folder) that pattern (temporary_pattern_of)
// gives, with letters or digits for the X.
bool is_temporary_name(std::string_view name, std::string_view pattern);

// True for a name (without a folder) of the temporary file of any name, in
// this system's form.
bool is_any_temporary_name(std::string_view name);

// Each platform's own.

// Closes the file if it is open and marks it closed. Fails when the close
// reports an error.
bool close_file(PlatformFile& file);

// Flushes what was written to the file to the disk. Fails when the system
// reports an error; a file system that cannot flush counts as flushed.
bool flush_file(PlatformFile& file);

// Puts the temporary file in place of the target in one step, while it is
// still held, and forgets it. Fails when the system cannot; the temporary
// file is then still there.
bool rename_page(PageFile& page);

// Removes the temporary file while it is still held, and forgets it;
// nothing more can be done when that fails, so it is not reported.
void remove_temporary(PageFile& page);

// Flushes the page's folder, so that a rename in it is on the disk, and
// closes what the page file holds of it. Nothing can be undone by then, so
// failure is not reported.
void flush_folder(PageFile& page);

#endif
