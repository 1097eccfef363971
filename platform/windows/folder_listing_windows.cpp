// The listing on Windows: FindFirstFileExW brings each entry's name, size
// and time in one pass, in UTF-16, turned into UTF-8 here.
#include "platform/folder_listing.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/platform_shared.h"

namespace {

// FILETIME counts 100 ns steps from 1601.
std::int64_t seconds_since_epoch(const FILETIME& time)
{
    std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
}

// The rest of the second, in 100 ns steps as Windows keeps it.
std::uint32_t nanoseconds_of(const FILETIME& time)
{
    std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::uint32_t>(ticks % 10000000u) * 100u;
}

}  // namespace

bool read_folder(FolderListing& listing)
{
    WIN32_FIND_DATAW found;
    HANDLE handle =
        FindFirstFileExW(L"*", FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;  // nothing at all
    std::string name;
    do {
        const wchar_t* wide_name = found.cFileName;
        if (wide_name[0] == L'.' && (wide_name[1] == 0 || (wide_name[1] == L'.' && wide_name[2] == 0)))
            continue;
        name.clear();
        append_utf8_of_utf16(name, wide_name, std::wcslen(wide_name));
        std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        add_listed_file(listing, name, size, seconds_since_epoch(found.ftLastWriteTime));
        listing.files.back().modified_nanoseconds = nanoseconds_of(found.ftLastWriteTime);
    } while (FindNextFileW(handle, &found));
    DWORD error = GetLastError();
    FindClose(handle);
    return error == ERROR_NO_MORE_FILES;
}

bool look_up_files(FolderListing&)
{
    return true;  // read_folder has done it
}
