// What the replacement of a page asks of the old one on Windows: that the
// user may write it, and that the new page is as closed as it was.
#include <windows.h>

#include <aclapi.h>

#include <cstring>
#include <string>

#include "platform/windows/windows_files.h"

namespace {

// The access control list of a file, or null where it has none or it
// cannot be read; descriptor holds it and is freed with LocalFree.
PACL access_list_of(HANDLE file, PSECURITY_DESCRIPTOR& descriptor)
{
    PACL access = nullptr;
    descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &access, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        descriptor = nullptr;
    return descriptor ? access : nullptr;
}

// Two lists alike; two files without one (open to all) count as alike.
bool same_access(PACL a, PACL b)
{
    if (!a || !b)
        return a == b;
    return a->AclSize == b->AclSize && std::memcmp(a, b, a->AclSize) == 0;
}

}  // namespace

bool may_write(const std::wstring& target)
{
    HANDLE old = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (old == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(old);
    return true;
}

namespace {

// The old page's access list where it differs from what the folder gave
// the new page; false when the new page does not end up with the same.
bool copy_access_list(const std::wstring& target, HANDLE page)
{
    HANDLE old = CreateFileW(target.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (old == INVALID_HANDLE_VALUE)
        return false;
    PSECURITY_DESCRIPTOR old_descriptor, new_descriptor;
    PACL old_access = access_list_of(old, old_descriptor);
    PACL new_access = access_list_of(page, new_descriptor);
    // Where the old page's protection cannot be read, the file system keeps
    // none (FAT, a camera's card): there is nothing to keep.
    bool kept = true;
    if (old_descriptor && !same_access(old_access, new_access)) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(old_descriptor, &control, &revision);
        SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION | (control & SE_DACL_PROTECTED ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                     : UNPROTECTED_DACL_SECURITY_INFORMATION);
        kept = SetSecurityInfo(page, SE_FILE_OBJECT, what, nullptr, nullptr, old_access, nullptr) == ERROR_SUCCESS;
        LocalFree(new_descriptor);
        new_access = access_list_of(page, new_descriptor);
        kept = kept && new_descriptor && same_access(old_access, new_access);
    }
    LocalFree(old_descriptor);
    LocalFree(new_descriptor);
    CloseHandle(old);
    return kept;
}

}  // namespace

bool copy_protection(const std::wstring& target, DWORD attributes, HANDLE page, const std::wstring& temporary)
{
    // Under wine a list cannot say a mode: 600, 640 and 770 show as one
    // list, 604, 644 and 664 as another, and a list given back comes out
    // 770 or 775. The host keeps the mode, and is asked.
    HostFile old;
    bool kept = on_wine_host() ? host_file_of(target, old) && give_host_protection(temporary, old)
                               : copy_access_list(target, page);

    FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
    basic.FileAttributes =
        attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (basic.FileAttributes == 0)
        return kept;
    return kept && SetFileInformationByHandle(page, FileBasicInfo, &basic, sizeof basic) != 0;
}
