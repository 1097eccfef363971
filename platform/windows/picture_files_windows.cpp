// The pictures on Windows: each opened by its path, never through another
// user's link; every piece takes its folder's access list, as the page
// does, so every picture counts as one all may read.
#include "platform/picture_files.h"

#include <windows.h>

#include "platform/platform_shared.h"
#include "platform/windows/windows_files.h"

bool read_all(HANDLE file, std::size_t most, std::string& bytes)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > most)
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        DWORD piece = bytes.size() - got > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size() - got);
        if (!ReadFile(file, &bytes[got], piece, &n, nullptr) || n == 0)
            return false;  // an error, or the file shrank
        got += n;
    }
    return true;
}

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The picture name of the folder at, open for reading, when it is a file
// on a disk not reached through another user's link.
HANDLE open_picture(const WorkFolder& at, std::string_view name)
{
    const std::wstring path = wide(at.path + std::string(name));
    if (is_others_link(path))
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

bool read_picture(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes,
                  PictureReaders& readers)
{
    // Each piece takes its folder's access list, as the page does.
    readers = all_readers();
    HANDLE file = open_picture(at, name);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool read = read_all(file, most, bytes);
    CloseHandle(file);
    return read;
}

bool read_picture_start(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes)
{
    HANDLE file = open_picture(at, name);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.resize(most);
    DWORD got = 0;
    bool read = most <= 0x40000000u && ReadFile(file, &bytes[0], static_cast<DWORD>(most), &got, nullptr);
    bytes.resize(read ? got : 0);
    CloseHandle(file);
    return read;
}

bool read_picture_head(const WorkFolder& at, std::string_view name, std::size_t most, std::string& bytes,
                       PictureReaders& readers)
{
    readers = all_readers();
    return read_picture_start(at, name, most, bytes);
}
