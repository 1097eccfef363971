#include "platform/current_folder.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

bool get_current_directory(std::string& path)
{
    // Start at PATH_MAX and grow: a path may be longer than that.
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        if (getcwd(&buffer[0], buffer.size())) {
            buffer.resize(buffer.find('\0'));
            path = buffer;
            return true;
        }
        if (errno != ERANGE)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool in_starting_folder()
{
    return true;  // the process's folder is the one it was started in
}
