// The old page's owner, group, mode and access list, given to the new page
// with fchown, fchmod and libacl.
#include "platform/posix/page_protection.h"

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Copies the old page's access list. A list no wider than the permission
// bits is copied too, so that what the folder's default list gave the new
// file goes; where the file system keeps no lists, there is nothing to copy.
bool keep_access_list(int page_fd, int old_fd)
{
    acl_t list = acl_get_fd(old_fd);
    if (!list)
        return errno == ENOTSUP;
    bool extended = acl_equiv_mode(list, nullptr) != 0;
    bool kept = acl_set_fd(page_fd, list) == 0 || (!extended && errno == ENOTSUP);
    acl_free(list);
    return kept;
}

}  // namespace

bool keep_protection(int page_fd, int old_fd)
{
    struct stat old, now;
    if (fstat(old_fd, &old) != 0 || fstat(page_fd, &now) != 0)
        return false;
    // Owner and group one at a time: a member of the page's group may keep
    // the group where only root may keep the owner. Either may be refused;
    // the page is then whoever ran the tool's, which is fine. Done first, as
    // a change of owner clears the set-id bits.
    if (old.st_uid != now.st_uid && fchown(page_fd, old.st_uid, static_cast<gid_t>(-1)) != 0) {
        // Not allowed.
    }
    if (old.st_gid != now.st_gid && fchown(page_fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Not allowed.
    }
    // The list first: setting it sets the bits for the owner, the group (or
    // the list's mask) and others; then the whole mode, set-id bits with it.
    return keep_access_list(page_fd, old_fd) && fchmod(page_fd, old.st_mode & 07777) == 0;
}
