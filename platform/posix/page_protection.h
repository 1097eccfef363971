// What a new page takes over from the page it replaces on POSIX. Private to
// the POSIX files of platform/.
#ifndef KORVEL_PLATFORM_POSIX_PAGE_PROTECTION_H
#define KORVEL_PLATFORM_POSIX_PAGE_PROTECTION_H

// Gives the new page, open as page_fd, the protection of the old one, open
// as old_fd: its owner where the system allows it (it does for root), its
// group where it allows that (it does for a member of the group), its
// permission bits and its access list. Fails when the bits cannot be set,
// or when the old page has an access list beyond its bits that the new one
// cannot be given: the page is then refused rather than made more open or
// more closed. A file system without access lists keeps the bits alone.
bool keep_protection(int page_fd, int old_fd);

#endif
