// Symbolic links in a folder that others may write. Private to the POSIX
// files of platform/.
//
// A path is walked a part at a time from the current folder, each part
// opened without following it, so that what is checked is what is used: a
// link is followed only when it belongs to the running user or to root,
// whether it is the name itself, a later link of a chain, or a folder on
// the way to a link's target. Another user could otherwise point the page
// at a file of ours to overwrite, or the template at one to publish. (The
// kernel's protected_symlinks rule, made stricter: in every folder, and
// without an exception for the folder's owner.)
#ifndef KORVEL_PLATFORM_POSIX_LINK_CHAIN_H
#define KORVEL_PLATFORM_POSIX_LINK_CHAIN_H

#include <string>

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

// Walks path (relative to the current folder, or absolute) to its last
// part. When the result is found or absent, the caller owns
// walked.folder and closes it. Fails (refused) as said above; also when a
// file descriptor cannot be had.
Walk walk_own_links(const char* path, WalkedPath& walked);

// True when anyone may pass through every folder from the root down to
// folder (an O_PATH descriptor), and so reach what is in it: whether a
// picture reached through a link is open to others as far as its folders
// go. folder stays open.
bool searchable_by_others(int folder);

#endif
