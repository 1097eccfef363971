// What the Windows files of platform/ share, implemented in
// platform_file_windows.cpp. Private to them.
#ifndef KORVEL_PLATFORM_WINDOWS_WINDOWS_FILES_H
#define KORVEL_PLATFORM_WINDOWS_WINDOWS_FILES_H

#include <windows.h>

#include <string>

// The UTF-16 form of a UTF-8 path, as the wide functions take it.
std::wstring wide(const std::string& utf8);

// Marks the open file to go when its last handle closes, which the end of
// the process does if nothing else. False when the system refuses.
bool delete_on_close(HANDLE handle);

#endif
