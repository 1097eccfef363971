// The folder the run is in. Calling sequence: get_current_directory, any
// time; it reads the system's state and changes nothing.
#ifndef KORVEL_PLATFORM_CURRENT_FOLDER_H
#define KORVEL_PLATFORM_CURRENT_FOLDER_H

#include <string>

// What separates the parts of the paths the system gives.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Fills path with the current directory, of any length, in UTF-8. Fails
// (false, path unchanged) when the system cannot say, for example when the
// directory has been removed.
bool get_current_directory(std::string& path);

#endif
