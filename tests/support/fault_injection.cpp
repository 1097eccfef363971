// Faults for the fault tests, linked into a build of korvel of its own
// (korvel_faulty) and chosen by the environment variable KORVEL_FAULT:
//
//   refuse-locks              flock fails with ENOLCK, as on a share that
//                             keeps no locks
//   new-fails-from=K          the K-th allocation and every later one fail
//   count-allocations=PATH    nothing fails; the number of allocations of
//                             the whole run is written to PATH at its end
//   slow-folder-flush         fsync of a folder takes two seconds, as on a
//                             slow share or a USB stick
//   no-change-times           every file's status change time is its last
//                             write time, and every file system FUSE's,
//                             as on sshfs
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<unsigned long> g_allocations{0};
// Allocations are counted once the libraries korvel links have set
// themselves up (their constructors run before this program's): a
// library that cannot start is no run's to handle.
std::atomic<bool> g_counting{false};

__attribute__((constructor)) void start_counting()
{
    g_counting = true;
}

// The value of KORVEL_FAULT after prefix, or null when it names another fault.
const char* fault_value(const char* prefix)
{
    const char* fault = std::getenv("KORVEL_FAULT");
    std::size_t length = std::strlen(prefix);
    return fault && std::strncmp(fault, prefix, length) == 0 ? fault + length : nullptr;
}

__attribute__((destructor)) void write_allocation_count()
{
    if (const char* path = fault_value("count-allocations=")) {
        int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dprintf(fd, "%lu\n", g_allocations.load());
        close(fd);
    }
}

}  // namespace

extern "C" int flock(int fd, int operation)
{
    if (fault_value("refuse-locks")) {
        errno = ENOLCK;
        return -1;
    }
    return static_cast<int>(syscall(SYS_flock, fd, operation));
}

extern "C" int fsync(int fd)
{
    struct stat st;
    if (fault_value("slow-folder-flush") && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
        sleep(2);
    return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int fstatat(int dir_fd, const char* name, struct stat* st, int flags)
{
    int result = static_cast<int>(syscall(SYS_newfstatat, dir_fd, name, st, flags));
    if (result == 0 && fault_value("no-change-times"))
        st->st_ctim = st->st_mtim;
    return result;
}

extern "C" int fstatfs(int fd, struct statfs* sf)
{
    int result = static_cast<int>(syscall(SYS_fstatfs, fd, sf));
    if (result == 0 && fault_value("no-change-times"))
        sf->f_type = 0x65735546;  // FUSE
    return result;
}

void* operator new(std::size_t size)
{
    if (!g_counting) {
        if (void* memory = std::malloc(size ? size : 1))
            return memory;
        throw std::bad_alloc();
    }
    unsigned long number = ++g_allocations;
    const char* from = fault_value("new-fails-from=");
    if (from && number >= std::strtoul(from, nullptr, 10))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
