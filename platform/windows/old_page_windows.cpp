// The old page against the new one, to leave it as it is when they agree.
#include <windows.h>

#include <cstring>

#include "platform/page_file.h"
#include "platform/windows/windows_files.h"

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
        DWORD got_new = 0, got_old = 0;
        same = read_at(made, at, new_bytes, piece, got_new) && got_new == piece &&
               read_at(old, at, old_bytes, piece, got_old) && got_old == piece &&
               std::memcmp(old_bytes, new_bytes, piece) == 0;
    }
    CloseHandle(old);
    return same;
}
