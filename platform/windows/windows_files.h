// What the Windows files of platform/ share: the text of paths and the
// deletion of an open file (platform_file_windows.cpp), links
// (link_chain_windows.cpp) and the protection of the page
// (page_protection_windows.cpp). Private to them.
#ifndef KORVEL_PLATFORM_WINDOWS_WINDOWS_FILES_H
#define KORVEL_PLATFORM_WINDOWS_WINDOWS_FILES_H

#include <windows.h>

#include <string>

// The UTF-16 form of a UTF-8 path, as the wide functions take it.
std::wstring wide(const std::string& utf8);

// True when path is a symbolic link that belongs neither to the running
// user nor to the administrators or the system: such a link is never
// followed, as on POSIX (another user could point the page at a file of
// ours to overwrite, or the template at one to publish). Making a link
// takes a privilege on Windows, so this is rare. Only the first link of a
// chain is checked. Wine shows POSIX links as the files they lead to, and
// so as no links at all.
bool is_others_link(const std::wstring& path);

// Where path finally leads, through any links, in the \\?\ form, when that
// is another file than path names itself; empty when it is that file, is
// not there, or the system cannot say.
std::wstring final_path_of(const std::wstring& path);

// True when the running user may write the page at target, which
// replacing it takes: the system is asked, not the read-only attribute
// alone. A page another run holds just after putting it in place counts as
// writable.
bool may_write(const std::wstring& target);

// Gives the new page the old one's protection, as the POSIX build keeps the
// mode: the old page's attributes (hidden, system) and its access control
// list where it differs from what the folder gave the new file. Fails when
// the new page would not end up as closed as the old one, which a system
// that maps the list to a mode of its own (wine) may do.
bool copy_protection(const std::wstring& target, DWORD attributes, HANDLE page);

// Marks the open file to go when its last handle closes, which the end of
// the process does if nothing else. False when the system refuses.
bool delete_on_close(HANDLE handle);

#endif
