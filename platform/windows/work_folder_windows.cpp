#include "platform/work_folder.h"

#include <windows.h>

#include "platform/windows/windows_files.h"

namespace {

// What tells one folder from every other: its volume and file index.
std::string identity_of(const BY_HANDLE_FILE_INFORMATION& information)
{
    return std::to_string(information.dwVolumeSerialNumber) + ":" + std::to_string(information.nFileIndexHigh) +
           ":" + std::to_string(information.nFileIndexLow);
}

// The folder at path, when it is the running user's own (or the
// administrators' or the system's), with its identity: its volume and file
// index.
bool own_folder_identity(const std::wstring& path, std::string& identity)
{
    HANDLE opened = CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool own = is_own_file(opened) && GetFileInformationByHandle(opened, &information);
    CloseHandle(opened);
    if (own)
        identity = identity_of(information);
    return own;
}

}  // namespace

bool open_work_folder(const WorkFolder& parent, std::string_view name, WorkFolder& child)
{
    const std::string path = parent.path + std::string(name);
    const std::wstring wide_path = wide(path);
    if (is_others_link(wide_path))
        return false;
    const DWORD attributes = GetFileAttributesW(wide_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !own_folder_identity(wide_path, child.identity))
        return false;
    child.folder.handle = -1;
    child.path = path + "\\";
    return true;
}

bool identify_work_folder(WorkFolder& folder)
{
    HANDLE opened = CreateFileW(folder.path.empty() ? L"." : wide(folder.path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(opened, &information);
    CloseHandle(opened);
    if (known)
        folder.identity = identity_of(information);
    return known;
}

bool holds_folder(const WorkFolder& at, const char* name)
{
    const std::wstring path = wide(at.path + name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return !is_others_link(path) && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// The entry at path, when it is no link and the running user's own (or
// the administrators' or the system's), and of the kind asked for.
bool is_own_entry(const std::wstring& path, bool folder)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder)
        return false;
    HANDLE opened = CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    const bool own = is_own_file(opened);
    CloseHandle(opened);
    return own;
}

}  // namespace

bool remove_own_file(const WorkFolder& at, const char* name)
{
    const std::wstring path = wide(at.path + name);
    return is_own_entry(path, false) && DeleteFileW(path.c_str());
}

void remove_own_empty_folder(const WorkFolder& at, const char* name)
{
    const std::wstring path = wide(at.path + name);
    if (is_own_entry(path, true))
        RemoveDirectoryW(path.c_str());
}

void close_work_folder(WorkFolder& folder)
{
    folder.folder.handle = -1;
}
