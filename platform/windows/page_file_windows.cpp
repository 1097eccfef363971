// The page file on Windows: a new file beside the page, held by opening it
// without delete sharing, renamed over the page through its own handle.
#include "platform/page_file.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "platform/platform_shared.h"
#include "platform/signal_cleanup.h"
#include "platform/windows/windows_files.h"

namespace {

HANDLE handle_of(const PlatformFile& file)
{
    return reinterpret_cast<HANDLE>(file.handle);
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
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
    guard_held_page();
    // A dot-name that does not end in ".jpg", in the page's folder: never a
    // picture.
    const std::string pattern = temporary_pattern_of(page.target, kPathSeparators);
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t seed = GetTickCount64() * 2654435761u ^ GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = pattern;
        for (std::size_t i = temporary.size() - 6; i < temporary.size(); ++i) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            temporary[i] = letters[(seed >> 33) % (sizeof letters - 1)];
        }
        // No delete sharing: while the run lives, no other run can take the
        // file for a leftover. DELETE access lets the run rename it and
        // remove it through its own handle.
        begin_held_change();
        HANDLE handle = CreateFileW(wide(temporary).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            page.file.handle = reinterpret_cast<std::intptr_t>(handle);
            page.temporary = temporary;
            hold_page(page);
            end_held_change();
            return true;
        }
        end_held_change();
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

void remove_abandoned_pages(const PageFile& page, const std::vector<std::string>& seen)
{
    // A live run's file is open without delete sharing, so it cannot be
    // deleted, and stays.
    std::string folder = folder_part(page.target, kPathSeparators);
    if (folder.empty()) {
        for (const std::string& name : seen)
            if (is_temporary_name(name, page.target, kPathSeparators))
                DeleteFileW(wide(name).c_str());
        return;
    }
    std::string pattern = temporary_pattern_of(page.target, kPathSeparators);
    pattern.replace(pattern.size() - 6, 6, "*");
    WIN32_FIND_DATAW found;
    HANDLE listing =
        FindFirstFileExW(wide(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    std::string name;
    do {
        name.clear();
        append_utf8_of_utf16(name, found.cFileName, std::wcslen(found.cFileName));
        if (is_temporary_name(name, page.target, kPathSeparators))
            DeleteFileW(wide(folder + name).c_str());
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
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
    if (target.empty())
        return false;
    std::string buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t), '\0');
    FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(&buffer[0]);
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.data(), target.size() * sizeof(wchar_t));

    begin_held_change();
    bool renamed = SetFileInformationByHandle(handle_of(page.file), FileRenameInfo, rename,
                                              static_cast<DWORD>(buffer.size())) != 0;
    if (renamed) {
        release_held_page();
        page.temporary.clear();
    }
    end_held_change();
    return renamed;
}

void remove_temporary(PageFile& page)
{
    // Gone when the handle closes, which abandon_page does next.
    begin_held_change();
    delete_on_close(handle_of(page.file));
    release_held_page();
    page.temporary.clear();
    end_held_change();
}

void flush_folder(const std::string&)
{
    // NTFS logs the rename itself; a folder cannot be flushed on its own.
}
