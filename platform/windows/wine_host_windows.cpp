// Under wine on an x86-64 Linux host, what the host knows of a file and
// wine's Windows calls cannot say: wine shows a file's protection as an
// access list of the owner and everyone else, never the group, and maps a
// list it is given to a mode of its own. The host's own calls (stat,
// chmod, chown) are made directly, with wine's name of a path on the host.
// Only reads and the page's own mode and group are ever asked for.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/windows/windows_files.h"

namespace {

using UnixNameOf = char*(CDECL*)(LPCWSTR);
using HostVersion = void(CDECL*)(const char**, const char**);

#if defined(__x86_64__)
constexpr long long kStat = 4, kChmod = 90, kChown = 92;  // the host's call numbers

long long host_call(long long number, long long a, long long b, long long c)
{
    long long result;
    asm volatile("syscall" : "=a"(result) : "a"(number), "D"(a), "S"(b), "d"(c) : "rcx", "r11", "memory");
    return result;
}
#endif

UnixNameOf unix_name_function()
{
    static UnixNameOf function = [] {
        HostVersion version = reinterpret_cast<HostVersion>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_host_version")));
        const char* system = nullptr;
        const char* release = nullptr;
        if (version)
            version(&system, &release);
        bool linux_host = system && std::strcmp(system, "Linux") == 0;
#if !defined(__x86_64__)
        linux_host = false;
#endif
        return linux_host ? reinterpret_cast<UnixNameOf>(reinterpret_cast<void*>(
                                GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")))
                          : nullptr;
    }();
    return function;
}

// The host's stat of unix_path, as the kernel's struct stat lays it out on
// x86-64.
bool stat_on_host(const char* unix_path, HostFile& out)
{
#if defined(__x86_64__)
    unsigned char buffer[144] = {};
    if (host_call(kStat, reinterpret_cast<long long>(unix_path), reinterpret_cast<long long>(buffer), 0) != 0)
        return false;
    std::memcpy(&out.device, buffer, 8);
    std::memcpy(&out.inode, buffer + 8, 8);
    std::memcpy(&out.mode, buffer + 24, 4);
    std::memcpy(&out.gid, buffer + 32, 4);
    return true;
#else
    (void)unix_path;
    (void)out;
    return false;
#endif
}

// Runs call with the host's name of path; false when there is none.
template <typename Call>
bool with_unix_name(const std::wstring& path, Call call)
{
    UnixNameOf unix_name = unix_name_function();
    char* name = unix_name ? unix_name(path.c_str()) : nullptr;
    if (!name)
        return false;
    bool done = call(name);
    HeapFree(GetProcessHeap(), 0, name);
    return done;
}

}  // namespace

bool on_wine_host()
{
    return unix_name_function() != nullptr;
}

bool host_file_of(const std::wstring& path, HostFile& out)
{
    return with_unix_name(path, [&](const char* name) { return stat_on_host(name, out); });
}

bool give_host_protection(const std::wstring& path, const HostFile& wanted)
{
#if defined(__x86_64__)
    return with_unix_name(path, [&](const char* name) {
        // The group where the host allows it (to a member of it), first: a
        // change of group clears the set-id bits.
        host_call(kChown, reinterpret_cast<long long>(name), -1, wanted.gid);
        HostFile now;
        return host_call(kChmod, reinterpret_cast<long long>(name), wanted.mode & 07777, 0) == 0 &&
               stat_on_host(name, now) && (now.mode & 07777) == (wanted.mode & 07777);
    });
#else
    (void)path;
    (void)wanted;
    return false;
#endif
}

bool is_host_current_folder(const std::wstring& folder)
{
    HostFile here, there;
    return !stat_on_host(".", here) ||
           (host_file_of(folder, there) && here.device == there.device && here.inode == there.inode);
}
