// Symbolic links in a folder that others may write. Private to the POSIX
// files of platform/.
//
// A path is walked a part at a time from the folder it is given, each part
// opened without following it, so that what is checked is what is used: a
// link is followed only when it belongs to the running user or to root,
// whether it is the name itself, a later link of a chain, or a folder on
// the way to a link's target. Another user could otherwise point the page
// at a file of ours to overwrite, or the template at one to publish. (The
// kernel's protected_symlinks rule, made stricter: in every folder, and
// without an exception for the folder's owner.)
#ifndef KORVEL_PLATFORM_POSIX_LINK_CHAIN_H
#define KORVEL_PLATFORM_POSIX_LINK_CHAIN_H

#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/work_folder.h"

// Where a walk ended.
enum class Walk {
    found,    // the last part is there, and is no link
    absent,   // every folder on the way is there, the last part is not
    refused,  // another user's link, a link that cannot be read, a loop,
              // a folder on the way that is missing or no folder
};

struct WalkedPath {
    int folder = -1;             // the folder of the last part, open (O_PATH); -1 when refused
    std::string name;            // the last part's name in that folder
    bool through_links = false;  // at least one link was followed
};

// The descriptor that names at's folder to the *at calls: AT_FDCWD for the
// current folder.
int folder_fd_of(const WorkFolder& at);

// Walks path (relative to the folder at, or absolute) to its last
// part. When the result is found or absent, the caller owns
// walked.folder and closes it. Fails (refused) as said above; also when a
// file descriptor cannot be had.
Walk walk_own_links(const WorkFolder& at, const char* path, WalkedPath& walked);

// What a run has learnt of folders on the way to pictures: for each, by
// its device and inode, whether anyone may pass through it and every
// folder above it. Shared by the threads of one run's lookups, so that
// each folder is looked at once a run, not once a picture.
struct FolderWays {
    std::mutex lock;
    std::map<std::pair<dev_t, ino_t>, bool> open_to_others;
};

// True when anyone may pass through every folder from the root down to
// folder (an O_PATH descriptor), and so reach what is in it: whether a
// picture reached through a link is open to others as far as its folders
// go. folder stays open. With ways, what it holds is taken as known and
// what the walk learns is added to it.
bool searchable_by_others(int folder, FolderWays* ways = nullptr);

#endif
