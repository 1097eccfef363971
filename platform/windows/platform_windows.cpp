// The platform layer on Windows. It talks to the system in UTF-16, through
// the wide functions, so that every name comes whole whatever the system's
// code page; the rest of the tool sees UTF-8.
#include "platform/platform.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cwchar>
#include <string>

#include "pagewriter/image_listing.h"
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

bool list_images(ImageList& list)
{
    // The wildcard also matches through 8.3 short names, so "*.jpg" can find
    // "x.jpeg": is_picture_name keeps only the real ".jpg" names.
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileExW(L"*.jpg", FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;  // no match is an empty listing
    std::string name;
    do {
        name.clear();
        append_utf8_of_utf16(name, found.cFileName, std::wcslen(found.cFileName));
        if (!is_picture_name(name))
            continue;
        std::uint64_t size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        add_image(list, name, size, seconds_since_epoch(found.ftLastWriteTime));
    } while (FindNextFileW(handle, &found));
    DWORD error = GetLastError();
    FindClose(handle);
    return error == ERROR_NO_MORE_FILES;
}

bool begin_page(PageFile& page, const char* name)
{
    page.target = name;
    DWORD attributes = GetFileAttributesW(wide(page.target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        errno = EACCES;
        return false;
    }
    // A dot-name without an extension, in the page's folder: never a picture.
    std::size_t slash = page.target.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : page.target.substr(0, slash + 1);
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t seed = GetTickCount64() * 2654435761u ^ GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = folder + ".korvel-";
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            temporary.push_back(letters[(seed >> 33) % (sizeof letters - 1)]);
        }
        // Binary mode: write_output_file makes the CR LF line ends itself.
        int fd = _wopen(wide(temporary).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                        _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            page.file.handle = fd;
            page.temporary = temporary;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

static bool write_all(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        unsigned piece = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
        int n = _write(fd, data, piece);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
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
    return write_all(static_cast<int>(file.handle), text.data(), text.size());
}

bool close_file(PlatformFile& file)
{
    int fd = static_cast<int>(file.handle);
    file.handle = -1;
    return fd < 0 || _close(fd) == 0;
}

void remove_file(const std::string& path)
{
    _wunlink(wide(path).c_str());
}

bool replace_file(const std::string& from, const std::string& to)
{
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

OpenResult open_input_file(PlatformFile& file, const char* name)
{
    // Binary mode: the template reader turns CR LF into "\n" itself.
    int fd = _wopen(wide(name).c_str(), _O_RDONLY | _O_BINARY);
    file.handle = fd;
    if (fd >= 0)
        return OpenResult::opened;
    return errno == ENOENT ? OpenResult::missing : OpenResult::failed;
}

bool read_input_file(PlatformFile& file, char* buffer, std::size_t capacity, std::size_t& got)
{
    unsigned piece = capacity > 0x40000000u ? 0x40000000u : static_cast<unsigned>(capacity);
    int n = _read(static_cast<int>(file.handle), buffer, piece);
    if (n < 0)
        return false;
    got = static_cast<std::size_t>(n);
    return true;
}
