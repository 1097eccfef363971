// What the Windows files of platform/ share: the text of paths and the
// deletion of an open file (platform_file_windows.cpp), links
// (link_chain_windows.cpp), the protection of the page
// (page_protection_windows.cpp) and, under wine, the host's view of files
// (wine_host_windows.cpp), and reading an open file whole
// (picture_files_windows.cpp). Private to them.
#ifndef KORVEL_PLATFORM_WINDOWS_WINDOWS_FILES_H
#define KORVEL_PLATFORM_WINDOWS_WINDOWS_FILES_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
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

// True when the open file (opened with READ_CONTROL) belongs to the running
// user, the administrators or the system.
bool is_own_file(HANDLE file);

// Where path finally leads, through any links, in the \\?\ form, when that
// is another file than path names itself; empty when it is that file, is
// not there, or the system cannot say.
std::wstring final_path_of(const std::wstring& path);

// True when the running user may write the page at target, which
// replacing it takes: the system is asked, not the read-only attribute
// alone. A page another run holds just after putting it in place counts as
// writable.
bool may_write(const std::wstring& target);

// Gives the new page (open as page, at the path temporary) the old one's
// protection, as the POSIX build does: the old page's attributes (hidden,
// system) and its access control list where it differs from what the folder
// gave the new file; under wine, the host's mode and group instead, which
// wine's lists cannot say. Fails when the new page would not end up exactly
// as closed and as open as the old one.
bool copy_protection(const std::wstring& target, DWORD attributes, HANDLE page, const std::wstring& temporary);

// A file as the host system keeps it, under wine on an x86-64 Linux host
// (wine_host_windows.cpp).
struct HostFile {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t mode = 0;
    std::uint32_t gid = 0;
};

// True when running under wine on an x86-64 Linux host, whose own calls
// the functions below make.
bool on_wine_host();

// The host's stat of path. Fails where there is no such host, or the file
// cannot be looked at there.
bool host_file_of(const std::wstring& path, HostFile& out);

// Gives the file at path the mode of wanted, and its group where the host
// allows it. Fails when the mode cannot be given, or does not stay.
bool give_host_protection(const std::wstring& path, const HostFile& wanted);

// False when the host's current folder of the process is not folder: wine
// starts a program in C:\windows when it cannot map the folder it was
// started in. True where it cannot be told.
bool is_host_current_folder(const std::wstring& folder);

// What SetFileInformationByHandle takes to rename an open file to path,
// replacing what is there (page_file_windows.cpp); empty when the path's
// full form cannot be had.
std::string rename_information(const std::wstring& path);

// Marks the open file to go when its last handle closes, which the end of
// the process does if nothing else. False when the system refuses.
bool delete_on_close(HANDLE handle);

// Reads the open file whole, failing when it holds more than most bytes
// (picture_files_windows.cpp).
bool read_all(HANDLE file, std::size_t most, std::string& bytes);

// Reads up to size bytes at offset from file into buffer, setting got:
// fewer at the file's end. The file's reading position is not used.
bool read_at(HANDLE file, std::uint64_t offset, char* buffer, DWORD size, DWORD& got);

#endif
