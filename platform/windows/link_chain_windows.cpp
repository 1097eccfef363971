// Symbolic links on Windows: whose they are, and where they lead.
#include <windows.h>

#include <aclapi.h>

#include <string>

#include "platform/windows/windows_files.h"

namespace {

// The running user's identity, or null; buffer holds it.
PSID user_of_this_run(std::string& buffer)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return nullptr;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.assign(size, '\0');
    bool known = size > 0 && GetTokenInformation(token, TokenUser, &buffer[0], size, &size);
    CloseHandle(token);
    return known ? reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid : nullptr;
}

bool is_well_known(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return IsWellKnownSid(sid, type) != 0;
}

}  // namespace

bool is_own_file(HANDLE file)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::string buffer;
    PSID user = user_of_this_run(buffer);
    bool known = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                 nullptr, &descriptor) == ERROR_SUCCESS;
    bool own = known && ((user && EqualSid(owner, user)) || is_well_known(owner, WinBuiltinAdministratorsSid) ||
                         is_well_known(owner, WinLocalSystemSid));
    LocalFree(descriptor);
    return own;
}

bool is_others_link(const std::wstring& path)
{
    HANDLE link = CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (link == INVALID_HANDLE_VALUE)
        return false;  // not there: nothing to follow
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    bool is_link = GetFileInformationByHandleEx(link, FileAttributeTagInfo, &tag, sizeof tag) &&
                   (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && tag.ReparseTag == IO_REPARSE_TAG_SYMLINK;
    bool others = is_link && !is_own_file(link);
    CloseHandle(link);
    return others;
}

std::wstring final_path_of(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFinalPathNameByHandleW(file, &final[0], static_cast<DWORD>(final.size()), 0);
        if (length == 0 || length < final.size()) {
            final.resize(length);
            break;
        }
        final.resize(length + 1);
    }
    CloseHandle(file);
    // The path's own file: its full name, as the final one is written.
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    std::wstring plain = final.compare(0, 4, L"\\\\?\\") == 0 ? final.substr(4) : final;
    bool same = CompareStringOrdinal(plain.c_str(), static_cast<int>(plain.size()), full.c_str(),
                                     static_cast<int>(full.size()), TRUE) == CSTR_EQUAL;
    return same ? std::wstring() : final;
}
