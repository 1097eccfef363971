// The folder the run is in. Calling sequence: get_current_directory and
// in_starting_folder, any time; they read the system's state and change
// nothing.
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

// False when the run can tell that its current folder is not the one it was
// started in: wine starts a Windows program in C:\windows when it cannot
// map the folder (a name ending in a dot or a blank, a folder the user may
// not list). True on POSIX, and wherever it cannot be told.
bool in_starting_folder();

#endif
