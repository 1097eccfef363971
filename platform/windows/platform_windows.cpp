// The platform layer on Windows, through the C runtime's own functions, so
// that names come in the system code page, as the page's readers expect.
#include "platform/platform.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "pagewriter/image_listing.h"

bool get_current_directory(std::string& path)
{
    char* cwd = _getcwd(nullptr, 0);  // allocated to fit, however long
    if (!cwd)
        return false;
    path = cwd;
    std::free(cwd);
    return true;
}

bool to_local_time(std::int64_t seconds, LocalTime& out)
{
    __time64_t t = seconds;
    struct tm tm;
    if (_localtime64_s(&tm, &t) != 0)
        return false;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.weekday = tm.tm_wday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return true;
}

bool list_images(ImageList& list)
{
    // The wildcard also matches through 8.3 short names, so "*.jpg" can find
    // "x.jpeg": is_picture_name keeps only the real ".jpg" names.
    struct __finddata64_t found;
    intptr_t handle = _findfirst64("*.jpg", &found);
    if (handle == -1)
        return errno == ENOENT;  // no match is an empty listing
    do {
        if (is_picture_name(found.name))
            add_image(list, found.name, static_cast<std::uint64_t>(found.size),
                      static_cast<std::int64_t>(found.time_write));
    } while (_findnext64(handle, &found) == 0);
    int saved = errno;  // ENOENT at the end of the listing
    _findclose(handle);
    return saved == ENOENT;
}

bool create_output_file(PlatformFile& file, const char* name)
{
    // Binary mode: write_output_file makes the CR LF line ends itself.
    int fd = _open(name, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    file.handle = fd;
    return fd >= 0;
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

bool close_output_file(PlatformFile& file)
{
    int fd = static_cast<int>(file.handle);
    file.handle = -1;
    return fd >= 0 && _close(fd) == 0;
}

OpenResult open_input_file(PlatformFile& file, const char* name)
{
    // Binary mode: the template reader turns CR LF into "\n" itself.
    int fd = _open(name, _O_RDONLY | _O_BINARY);
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

void close_input_file(PlatformFile& file)
{
    if (file.handle >= 0)
        _close(static_cast<int>(file.handle));
    file.handle = -1;
}
