#include "platform/input_file.h"

#include <windows.h>

#include "platform/windows/windows_files.h"

OpenResult open_input_file(PlatformFile& file, const WorkFolder& at, const char* name)
{
    std::wstring path = wide(at.path + name);
    if (is_others_link(path))
        return OpenResult::failed;
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
    if (!ReadFile(reinterpret_cast<HANDLE>(file.handle), buffer, piece, &n, nullptr))
        return false;
    got = n;
    return true;
}

bool read_at(HANDLE file, std::uint64_t offset, char* buffer, DWORD size, DWORD& got)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    got = 0;
    return size == 0 || ReadFile(file, buffer, size, &got, &at);
}

bool read_input_end(PlatformFile& file, std::size_t most, std::string& bytes)
{
    HANDLE handle = reinterpret_cast<HANDLE>(file.handle);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0)
        return false;
    const std::uint64_t whole = static_cast<std::uint64_t>(size.QuadPart);
    const std::uint64_t from = whole > most ? whole - most : 0;
    bytes.assign(static_cast<std::size_t>(whole - from), '\0');
    DWORD got = 0;
    if (!read_at(handle, from, &bytes[0], static_cast<DWORD>(bytes.size()), got))
        return false;
    bytes.resize(got);
    return true;
}
