// The old page against the new one, to leave it as it is when they agree.
#include <windows.h>

#include <cstring>

#include "platform/page_file.h"
#include "platform/windows/windows_files.h"

namespace {

// Reads size bytes at offset from file into buffer.
bool read_at(HANDLE file, std::uint64_t offset, char* buffer, DWORD size)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, &at) && got == size;
}

}  // namespace

bool same_as_old_page(const PageFile& page)
{
    HANDLE old = CreateFileW(wide(page.target).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (old == INVALID_HANDLE_VALUE)
        return false;
    HANDLE made = reinterpret_cast<HANDLE>(page.file.handle);
    LARGE_INTEGER old_size, new_size;
    bool same = GetFileType(old) == FILE_TYPE_DISK && GetFileSizeEx(old, &old_size) &&
                GetFileSizeEx(made, &new_size) && old_size.QuadPart == new_size.QuadPart;
    const std::uint64_t size = same ? static_cast<std::uint64_t>(new_size.QuadPart) : 0;
    char old_bytes[8192], new_bytes[sizeof old_bytes];
    for (std::uint64_t at = 0; same && at < size; at += sizeof old_bytes) {
        const DWORD piece = static_cast<DWORD>(size - at < sizeof old_bytes ? size - at : sizeof old_bytes);
        same = read_at(made, at, new_bytes, piece) && read_at(old, at, old_bytes, piece) &&
               std::memcmp(old_bytes, new_bytes, piece) == 0;
    }
    CloseHandle(old);
    return same;
}
