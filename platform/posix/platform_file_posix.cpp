#include "platform/platform_file.h"

#include <unistd.h>

#include <cerrno>

#include "platform/platform_shared.h"

bool write_output_file(PlatformFile& file, const char* data, std::size_t size)
{
    int fd = static_cast<int>(file.handle);
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool close_file(PlatformFile& file)
{
    int fd = static_cast<int>(file.handle);
    file.handle = -1;
    return fd < 0 || close(fd) == 0;
}
