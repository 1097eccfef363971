#include "platform/work_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/link_chain.h"
#include "platform/posix/own_files.h"

namespace {

// What tells one folder from every other: its device and inode.
std::string identity_of(const struct stat& st)
{
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

}  // namespace

bool open_work_folder(const WorkFolder& parent, std::string_view name, WorkFolder& child)
{
    WalkedPath walked;
    Walk walk = walk_own_links(parent, std::string(name).c_str(), walked);
    if (walk == Walk::refused)
        return false;
    struct stat st;
    int fd = walk == Walk::found ? open_own_folder(walked.folder, walked.name.c_str(), st) : -1;
    close(walked.folder);
    if (fd < 0)
        return false;
    child.identity = identity_of(st);
    child.folder.handle = fd;
    child.path = parent.path + std::string(name) + "/";
    return true;
}

bool identify_work_folder(WorkFolder& folder)
{
    struct stat st;
    if (fstatat(folder_fd_of(folder), ".", &st, 0) != 0)
        return false;
    folder.identity = identity_of(st);
    return true;
}

bool holds_folder(const WorkFolder& at, const char* name)
{
    WalkedPath walked;
    const Walk walk = walk_own_links(at, name, walked);
    struct stat st;
    const bool folder = walk == Walk::found &&
                        fstatat(walked.folder, walked.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISDIR(st.st_mode);
    if (walk != Walk::refused)
        close(walked.folder);
    return folder;
}

bool remove_own_file(const WorkFolder& at, const char* name)
{
    struct stat st;
    return fstatat(folder_fd_of(at), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           st.st_uid == geteuid() && unlinkat(folder_fd_of(at), name, 0) == 0;
}

void remove_own_empty_folder(const WorkFolder& at, const char* name)
{
    struct stat st;
    if (fstatat(folder_fd_of(at), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == geteuid())
        unlinkat(folder_fd_of(at), name, AT_REMOVEDIR);
}

void close_work_folder(WorkFolder& folder)
{
    if (folder.folder.handle >= 0)
        close(static_cast<int>(folder.folder.handle));
    folder.folder.handle = -1;
}
