#include "platform/current_folder.h"

#include <windows.h>

#include "platform/platform_shared.h"
#include "platform/windows/windows_files.h"

bool get_current_directory(std::string& path)
{
    // Asked with too small a buffer, the system answers with the size it
    // needs; the directory may change in between, so ask until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), &buffer[0]);
        if (length == 0)
            return false;
        if (length < buffer.size()) {
            path.clear();
            append_utf8_of_utf16(path, buffer.data(), length);
            return true;
        }
        buffer.resize(length);
    }
}

bool in_starting_folder()
{
    // Under wine the host still knows the folder the run was started in.
    if (!on_wine_host())
        return true;
    std::string path;
    return get_current_directory(path) && is_host_current_folder(wide(path));
}
