// The folder that a run's file operations work in: the folder the run was
// started in, or an album below it. Every call that names a file of the
// gallery is given one, so that threads of one run can make many folders
// at once without changing the current folder. Calling sequence:
// open_work_folder, the calls that work in it, close_work_folder; the
// current folder needs neither.
#ifndef KORVEL_PLATFORM_WORK_FOLDER_H
#define KORVEL_PLATFORM_WORK_FOLDER_H

#include <string>
#include <string_view>

#include "platform/platform_file.h"

struct WorkFolder {
    PlatformFile folder;  // POSIX: the folder, open; closed (-1): the current folder. Unused on Windows
    std::string path;     // from the current folder: "" for it, else ending in a separator
    std::string
        identity;  // the same for every way to one folder (its device and inode, say); set by open_work_folder
};

// The current folder, as the folder a run works in.
inline WorkFolder current_work_folder()
{
    return WorkFolder();
}

// Opens the folder name of parent as child, reached through the links of
// the running user's own (or root's) only, as a picture is. Fails when
// name is another user's link, is no folder, is not the running user's own
// or root's (korvel never writes into another user's folder), or cannot be
// opened.
bool open_work_folder(const WorkFolder& parent, std::string_view name, WorkFolder& child);

// Sets folder.identity, for a folder not opened by open_work_folder (the
// current folder). Fails when the system cannot tell it.
bool identify_work_folder(WorkFolder& folder);

// True when name in the folder at is a folder (or a link of the running
// user's own, or root's, to one): a stat, nothing made.
bool holds_folder(const WorkFolder& at, const char* name);

// Removes the file name of the folder at when it is a plain file (no link)
// of the running user's own; true when it was removed.
bool remove_own_file(const WorkFolder& at, const char* name);

// Removes the folder name of at when it is empty and the running user's own
// (no link); nothing is reported.
void remove_own_empty_folder(const WorkFolder& at, const char* name);

// Closes a folder opened by open_work_folder; the current folder stays.
void close_work_folder(WorkFolder& folder);

#endif
