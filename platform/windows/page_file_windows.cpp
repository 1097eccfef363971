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

// How long a rename waits for another run to let go of the page: up to
// two seconds, where a run holds it for a moment.
constexpr int kRenameTries = 200;
constexpr DWORD kRenamePauseMs = 10;

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

std::uint64_t random_seed()
{
    return GetTickCount64() * 2654435761u ^ GetCurrentProcessId();
}

std::string rename_information(const std::wstring& path)
{
    std::wstring target = nt_path_of(path);
    if (target.empty())
        return std::string();
    std::string buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t), '\0');
    FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(&buffer[0]);
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.data(), target.size() * sizeof(wchar_t));
    return buffer;
}

bool begin_page(PageFile& page, const WorkFolder& at, const char* name)
{
    // A link stays, and the file it leads to is replaced, as on POSIX: but
    // only a link of one's own.
    std::wstring target = wide(at.path + name);
    if (is_others_link(target))
        return false;
    std::wstring elsewhere = final_path_of(target);
    if (!elsewhere.empty())
        target = elsewhere;
    page.target.clear();
    append_utf8_of_utf16(page.target, target.data(), target.size());
    DWORD attributes = GetFileAttributesW(target.c_str());
    bool replacing = attributes != INVALID_FILE_ATTRIBUTES;
    if (replacing && ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) || !may_write(target)))
        return false;
    guard_held_page();
    // A dot-name that does not end in ".jpg", in the page's folder: never a
    // picture.
    const std::string pattern = temporary_pattern_of(page.target);
    std::uint64_t seed = random_seed();
    for (int attempt = 0; attempt < 100; ++attempt) {
        page.temporary = pattern;
        fill_random_letters(page.temporary, seed);
        const std::wstring temporary = wide(page.temporary);  // made first: a held change needs no memory
        // No delete sharing: while the run lives, no other run can take the
        // file for a leftover. DELETE access lets the run rename it and
        // remove it through its own handle, READ_CONTROL and WRITE_DAC
        // give it the old page's protection.
        begin_held_change();
        HANDLE handle =
            CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC,
                        FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD error = GetLastError();
        if (handle != INVALID_HANDLE_VALUE) {
            page.file.handle = reinterpret_cast<std::intptr_t>(handle);
            hold_page(page);
        }
        end_held_change();
        if (handle != INVALID_HANDLE_VALUE) {
            if (replacing && !copy_protection(target, attributes, handle, temporary)) {
                abandon_page(page);
                return false;
            }
            return true;
        }
        page.temporary.clear();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

void remove_abandoned_pages(const PageFile& page, const WorkFolder& at, const std::vector<std::string>& seen)
{
    // A live run's file is open without delete sharing, so it cannot be
    // deleted, and stays.
    const std::string folder = folder_part(page.target);
    const std::string pattern = temporary_pattern_of(page.target);
    if (folder == at.path) {
        for (const std::string& name : seen)
            if (is_temporary_name(name, pattern))
                DeleteFileW(wide(folder + name).c_str());
        return;
    }
    std::string wildcard = pattern;
    wildcard.replace(wildcard.size() - 12, 12, "*");
    WIN32_FIND_DATAW found;
    HANDLE listing =
        FindFirstFileExW(wide(wildcard).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    std::string name;
    do {
        name.clear();
        append_utf8_of_utf16(name, found.cFileName, std::wcslen(found.cFileName));
        if (is_temporary_name(name, pattern))
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
    std::string buffer = rename_information(wide(page.target));
    if (buffer.empty())
        return false;
    FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(&buffer[0]);

    // Another run that has just put its page in place holds it until it
    // closes it, a moment later, and the system refuses to replace it until
    // then: try again for a while before giving up.
    for (int attempt = 0;; ++attempt) {
        begin_held_change();
        bool renamed = SetFileInformationByHandle(handle_of(page.file), FileRenameInfo, rename,
                                                  static_cast<DWORD>(buffer.size())) != 0;
        DWORD error = GetLastError();
        if (renamed) {
            release_held_page();
            page.temporary.clear();
            if (page.ends_run)
                end_held_change_for_good();
            else
                end_held_change();
            return true;
        }
        end_held_change();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kRenameTries)
            return false;
        Sleep(kRenamePauseMs);
    }
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

void flush_folder(PageFile&)
{
    // NTFS logs the rename itself; a folder cannot be flushed on its own.
}
