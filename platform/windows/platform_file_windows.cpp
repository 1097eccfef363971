#include "platform/platform_file.h"

#include <windows.h>

#include <string>

#include "platform/platform_shared.h"
#include "platform/windows/windows_files.h"

std::wstring wide(const std::string& utf8)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], length);
    return out;
}

bool delete_on_close(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool write_output_file(PlatformFile& file, const char* data, std::size_t size)
{
    // A Windows text file stores each line end as CR LF.
    std::string text;
    text.reserve(size + size / 16);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            text.push_back('\r');
        text.push_back(data[i]);
    }
    const char* at = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        DWORD piece = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(file.handle), at, piece, &written, nullptr) || written == 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

bool close_file(PlatformFile& file)
{
    HANDLE handle = reinterpret_cast<HANDLE>(file.handle);
    file.handle = -1;
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != 0;
}
