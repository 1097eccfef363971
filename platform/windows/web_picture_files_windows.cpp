// The thumbnails' files on Windows: paths in the folder, links inside it
// never followed (a reparse point is no thumbnail, and renaming over one
// replaces the link itself).
#include "platform/web_picture_files.h"

#include <windows.h>

#include <cwchar>

#include "platform/platform_shared.h"
#include "platform/signal_cleanup.h"
#include "platform/windows/windows_files.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr const char* kLockName = ".korvel-lock";

std::wstring path_in(const WebPictureFolder& folder, std::string_view name)
{
    return wide(folder.path + std::string(name));
}

FILETIME file_time_of(std::int64_t seconds)
{
    // 100-nanosecond steps from 1601.
    std::uint64_t steps = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(steps);
    time.dwHighDateTime = static_cast<DWORD>(steps >> 32);
    return time;
}

bool write_all(HANDLE file, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD piece = bytes.size() - done > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size() - done);
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// How long a lock file that cannot be opened (not held by a run) is taken
// for one on its way out before the folder is used without it.
constexpr long kMostDeniedMs = 2000;

// True when a plain file (no folder) stands at path, or may: one that is
// being deleted cannot even be looked at.
bool is_file_there(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_ACCESS_DENIED;
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool open_web_picture_folder(WebPictureFolder& folder, const WorkFolder& at, const char* name)
{
    guard_held_page();
    const std::wstring path = wide(at.path + name);
    if (is_others_link(path))
        return false;
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    HANDLE opened = CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    bool own = opened != INVALID_HANDLE_VALUE && is_own_file(opened);
    if (opened != INVALID_HANDLE_VALUE)
        CloseHandle(opened);
    if (!own)
        return false;
    folder.path = at.path + name + "\\";
    // Who else may write there is its access list's business, which is not
    // read: every thumbnail is checked as in a shared folder.
    folder.shared = true;
    // One run at a time: its lock file, open without sharing, goes with
    // the last handle, whatever ends the run.
    const std::wstring lock = path_in(folder, kLockName);
    long denied_ms = 0;
    for (long waited_ms = 0; waited_ms < kMostWaitForFolderMs; waited_ms += 20) {
        HANDLE held = CreateFileW(lock.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (held != INVALID_HANDLE_VALUE) {
            folder.folder.handle = reinterpret_cast<std::intptr_t>(held);
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)
            break;
        // Refused, with no other run's lock there: a folder one may read
        // but not write in, or something not a file at the lock's name.
        // No run holds it, so there is nothing to wait for, and the folder
        // is used as it is, unlocked, as the POSIX build uses a share that
        // keeps no locks. A lock on its way out (a run that ends deletes
        // it) is gone within moments.
        if (error == ERROR_ACCESS_DENIED && (!is_file_there(lock) || denied_ms >= kMostDeniedMs))
            return true;
        denied_ms = error == ERROR_ACCESS_DENIED ? denied_ms + 20 : 0;
        Sleep(20);
    }
    folder.path.clear();
    return false;
}

void close_web_picture_folder(WebPictureFolder& folder)
{
    close_file(folder.folder);
    folder.path.clear();
}

namespace {

// name in the folder, open for reading, when it is a plain file (no
// reparse point) of the running user's own.
HANDLE open_own(const WebPictureFolder& folder, std::string_view name)
{
    HANDLE file = CreateFileW(path_in(folder, name).c_str(), GENERIC_READ | READ_CONTROL, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) || !is_own_file(file)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

bool is_own_web_picture(const WebPictureFolder& folder, std::string_view name)
{
    HANDLE file = open_own(folder, name);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::uint64_t room_left(const WebPictureFolder& folder)
{
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(wide(folder.path).c_str(), &available, nullptr, nullptr))
        return UINT64_MAX;
    return available.QuadPart;
}

bool keeps_change_times(const WebPictureFolder& folder)
{
    (void)folder;  // NTFS, FAT's emulation and SMB all keep one
    return true;
}

bool write_web_picture(WebPictureFolder& folder, std::string_view name, const std::string& bytes,
                       std::int64_t modified, const PictureReaders& readers)
{
    (void)readers;  // each piece takes its folder's access list
    std::string temporary = temporary_pattern_of(folder.path + std::string(name));
    std::uint64_t seed = random_seed();
    fill_random_letters(temporary, seed);
    const std::wstring temporary_path = wide(temporary);
    const std::string rename = rename_information(path_in(folder, name));
    if (rename.empty())
        return false;
    const FILETIME time = file_time_of(modified == kTimeOfWriting ? 0 : modified);
    // The whole life of the temporary file falls in one held change, held
    // without delete sharing so that no other run takes it for a leftover.
    begin_held_change();
    HANDLE file = CreateFileW(temporary_path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE && write_all(file, bytes) &&
                   (modified == kTimeOfWriting || SetFileTime(file, nullptr, nullptr, &time)) &&
                   FlushFileBuffers(file) &&
                   SetFileInformationByHandle(file, FileRenameInfo, const_cast<char*>(rename.data()),
                                              static_cast<DWORD>(rename.size()));
    if (file != INVALID_HANDLE_VALUE) {
        if (!written)
            delete_on_close(file);
        CloseHandle(file);
    }
    end_held_change();
    folder.changed = folder.changed || written;
    return written;
}

bool list_web_picture_folder(const WebPictureFolder& folder, FolderListing& names)
{
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileExW(wide(folder.path + "*").c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return false;
    do {
        std::string name;
        append_utf8_of_utf16(name, found.cFileName, std::wcslen(found.cFileName));
        if (name != "." && name != "..")
            add_listed_file(names, name, 0, 0);
    } while (FindNextFileW(listing, &found));
    bool read_to_end = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(listing);
    return read_to_end;
}

bool read_web_picture_start(const WebPictureFolder& folder, std::string_view name, std::size_t most,
                            std::string& bytes)
{
    HANDLE file = open_own(folder, name);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD got = 0;
    bytes.resize(most);
    bool read = ReadFile(file, &bytes[0], static_cast<DWORD>(most), &got, nullptr);
    CloseHandle(file);
    bytes.resize(read ? got : 0);
    return read;
}

bool read_web_picture_whole(const WebPictureFolder& folder, std::string_view name, std::size_t most,
                            std::string& bytes, std::int64_t& modified)
{
    HANDLE file = open_own(folder, name);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FILETIME written;
    bool read = GetFileTime(file, nullptr, nullptr, &written) && read_all(file, most, bytes);
    if (read) {
        std::uint64_t steps = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
        modified = static_cast<std::int64_t>(steps / 10000000u) - 11644473600LL;
    }
    CloseHandle(file);
    return read;
}

bool same_web_picture(const WebPictureFolder& folder, std::string_view a, std::string_view b)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string_view names[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE file =
            CreateFileW(path_in(folder, names[i]).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool got = GetFileInformationByHandle(file, &info[i]) != 0;
        CloseHandle(file);
        if (!got)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

void remove_web_picture(WebPictureFolder& folder, std::string_view name)
{
    if (DeleteFileW(path_in(folder, name).c_str()))
        folder.changed = true;
}

bool limit_web_picture_readers(WebPictureFolder& folder, std::string_view name, const PictureReaders& readers)
{
    (void)folder;
    (void)name;
    (void)readers;
    return true;
}

void remove_abandoned_web_pictures(WebPictureFolder& folder, const std::vector<std::string_view>& names)
{
    // A live run's file is open without delete sharing, so it cannot be
    // deleted, and stays; so does another user's.
    for (std::string_view name : names)
        if (is_any_temporary_name(name) && is_own_web_picture(folder, name))
            remove_web_picture(folder, name);
}
