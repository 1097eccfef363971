// The platform layer on Windows, through the C runtime's own functions, so
// that names come in the system code page, as the page's readers expect.
#include "platform/platform.h"

#include <windows.h>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "pagewriter/image_listing.h"
#include "platform/platform_shared.h"

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
    out = local_time_of(tm);
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

bool begin_page(PageFile& page, const char* name)
{
    page.target = name;
    DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        errno = EACCES;
        return false;
    }
    // A dot-name without an extension, in the page's folder: never a picture.
    std::size_t slash = page.target.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : page.target.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = folder + ".korvel-XXXXXX";
        if (_mktemp_s(&temporary[0], temporary.size() + 1) != 0)
            return false;
        // Binary mode: write_output_file makes the CR LF line ends itself.
        int fd = _open(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
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
    _unlink(path.c_str());
}

bool replace_file(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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
