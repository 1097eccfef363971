// Symbolic links in a folder that others may write. Private to the POSIX
// files of platform/.
#ifndef KORVEL_PLATFORM_POSIX_LINK_CHAIN_H
#define KORVEL_PLATFORM_POSIX_LINK_CHAIN_H

#include <string>

// Follows symbolic links from path to the file they finally name, which
// need not exist. Each link on the way, the first included, must belong to
// the running user or to root: another user could otherwise point the page
// at a file of ours to overwrite, or the template at one to publish. (The
// kernel's protected_symlinks rule, made stricter: in every folder, and
// without an exception for the folder's owner.) Folders on the way are the
// system's business, as for any path. Fails (false) on a link of anyone
// else, a link that cannot be read, or a loop.
bool follow_own_links(std::string& path);

#endif
