// The platform layer on Windows. It talks to the system in UTF-16, through
// the wide functions, so that every name comes whole whatever the system's
// code page; the rest of the tool sees UTF-8.
#include "platform/platform.h"

#include <windows.h>
#include <time.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/platform_shared.h"

namespace {

// A UTF-8 path as the wide functions take it.
std::wstring wide(const std::string& utf8)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], length);
    return out;
}

// FILETIME counts 100 ns steps from 1601.
std::int64_t seconds_since_epoch(const FILETIME& time)
{
    std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
}

}  // namespace

bool get_current_directory(std::string& path)
{
    // Asked with too small a buffer, the system answers with the size it
    // needs; the directory may change in between, so ask until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), &buffer[0]);
        if (length == 0)
            return false;
        if (length < buffer.size()) {
            path.clear();
            append_utf8_of_utf16(path, buffer.data(), length);
            return true;
        }
        buffer.resize(length);
    }
}

bool to_local_time(std::int64_t seconds, LocalTime& out)
{
    __time64_t t = seconds;
    struct tm tm;
    if (_localtime64_s(&tm, &t) != 0)
        return false;
    out = local_time_of(tm);
    return true;
}

bool read_folder(FolderListing& listing)
{
    // The listing brings each entry's size and time: one pass, no lookups.
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileExW(L"*", FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;  // nothing at all
    std::string name;
    do {
        const wchar_t* wide_name = found.cFileName;
        if (wide_name[0] == L'.' && (wide_name[1] == 0 || (wide_name[1] == L'.' && wide_name[2] == 0)))
            continue;
        name.clear();
        append_utf8_of_utf16(name, wide_name, std::wcslen(wide_name));
        std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        add_listed_file(listing, name, size, seconds_since_epoch(found.ftLastWriteTime));
    } while (FindNextFileW(handle, &found));
    DWORD error = GetLastError();
    FindClose(handle);
    return error == ERROR_NO_MORE_FILES;
}

bool look_up_files(FolderListing&)
{
    return true;  // read_folder has done it
}

namespace {

HANDLE handle_of(const PlatformFile& file)
{
    return reinterpret_cast<HANDLE>(file.handle);
}

// The temporary file this run holds, for the console control handler, which
// runs in a thread of its own: it and the code that makes, renames or
// removes the file take turns through the lock.
CRITICAL_SECTION g_held_lock;
HANDLE g_held = INVALID_HANDLE_VALUE;

// Marks the file to go when its last handle closes, which the end of the
// process does if nothing else.
bool delete_on_close(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

BOOL WINAPI remove_held_on_control(DWORD)
{
    EnterCriticalSection(&g_held_lock);
    if (g_held != INVALID_HANDLE_VALUE)
        delete_on_close(g_held);
    LeaveCriticalSection(&g_held_lock);
    return FALSE;  // the system's own handler then ends the process
}

void handle_console_control()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    InitializeCriticalSection(&g_held_lock);
    SetConsoleCtrlHandler(remove_held_on_control, TRUE);
}

void set_held(HANDLE handle)
{
    EnterCriticalSection(&g_held_lock);
    g_held = handle;
    LeaveCriticalSection(&g_held_lock);
}

// The full path of path as the system's native calls take it: \??\C:\...
// or \??\UNC\server\... Empty when it cannot be made.
std::wstring nt_path_of(const std::wstring& path)
{
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (length == 0)
            return std::wstring();
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (full.compare(0, 4, L"\\\\?\\") == 0)
        return L"\\??\\" + full.substr(4);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

}  // namespace

bool begin_page(PageFile& page, const char* name)
{
    page.target = name;
    DWORD attributes = GetFileAttributesW(wide(page.target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        errno = EACCES;
        return false;
    }
    handle_console_control();
    // A dot-name without an extension, in the page's folder: never a picture.
    std::string folder = folder_part(page.target, "\\/");
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t seed = GetTickCount64() * 2654435761u ^ GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = folder + ".korvel-";
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            temporary.push_back(letters[(seed >> 33) % (sizeof letters - 1)]);
        }
        // No delete sharing: while the run lives, no other run can take the
        // file for a leftover. DELETE access lets the run rename it and
        // remove it through its own handle.
        EnterCriticalSection(&g_held_lock);
        HANDLE handle = CreateFileW(wide(temporary).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        g_held = handle;
        LeaveCriticalSection(&g_held_lock);
        if (handle != INVALID_HANDLE_VALUE) {
            page.file.handle = reinterpret_cast<std::intptr_t>(handle);
            page.temporary = temporary;
            return true;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            errno = EACCES;
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

void remove_abandoned_pages(const PageFile& page, const FolderListing& current)
{
    // A live run's file is open without delete sharing, so it cannot be
    // deleted, and stays.
    std::string folder = folder_part(page.target, "\\/");
    if (folder.empty()) {
        for (std::string_view name : current.temporary_pages)
            DeleteFileW(wide(std::string(name)).c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileExW(wide(folder + ".korvel-*").c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    std::string name;
    do {
        name.clear();
        append_utf8_of_utf16(name, found.cFileName, std::wcslen(found.cFileName));
        if (is_temporary_name(name.c_str()))
            DeleteFileW(wide(folder + name).c_str());
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
}

bool write_output_file(PlatformFile& file, const char* data, std::size_t size)
{
    // A Windows text file stores each line end as CR LF.
    std::string text;
    text.reserve(size + size / 16);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            text.push_back('\r');
        text.push_back(data[i]);
    }
    const char* at = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        DWORD piece = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(handle_of(file), at, piece, &written, nullptr) || written == 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

bool close_file(PlatformFile& file)
{
    HANDLE handle = handle_of(file);
    file.handle = -1;
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != 0;
}

bool flush_file(PlatformFile& file)
{
    return FlushFileBuffers(handle_of(file)) != 0;
}

bool rename_page(PageFile& page)
{
    // Through the open handle, so that the file is held to the end: closed
    // first, another run could take it for a leftover before the move. The
    // new name is the page's full path in the system's own form.
    std::wstring target = nt_path_of(wide(page.target));
    if (target.empty()) {
        errno = ENOENT;
        return false;
    }
    std::string buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t), '\0');
    FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(&buffer[0]);
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.data(), target.size() * sizeof(wchar_t));

    EnterCriticalSection(&g_held_lock);
    bool renamed = SetFileInformationByHandle(handle_of(page.file), FileRenameInfo, rename,
                                              static_cast<DWORD>(buffer.size())) != 0;
    if (renamed)
        g_held = INVALID_HANDLE_VALUE;
    LeaveCriticalSection(&g_held_lock);
    if (renamed)
        page.temporary.clear();
    else
        errno = EACCES;
    return renamed;
}

void remove_temporary(PageFile& page)
{
    // Gone when the handle closes, which abandon_page does next.
    delete_on_close(handle_of(page.file));
    set_held(INVALID_HANDLE_VALUE);
    page.temporary.clear();
}

void flush_folder_of(const std::string&)
{
    // NTFS logs the rename itself; a folder cannot be flushed on its own.
}

OpenResult open_input_file(PlatformFile& file, const char* name)
{
    std::wstring path = wide(name);
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? OpenResult::missing
                                                                              : OpenResult::failed;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return OpenResult::not_a_file;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? OpenResult::missing : OpenResult::failed;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return OpenResult::not_a_file;
    }
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    return OpenResult::opened;
}

bool read_input_file(PlatformFile& file, char* buffer, std::size_t capacity, std::size_t& got)
{
    DWORD piece = capacity > 0x40000000u ? 0x40000000u : static_cast<DWORD>(capacity);
    DWORD n = 0;
    if (!ReadFile(handle_of(file), buffer, piece, &n, nullptr))
        return false;
    got = n;
    return true;
}
