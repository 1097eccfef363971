#include "platform/memory_reuse.h"

#include <cstdlib>  // says which C library this is

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void reuse_freed_memory(unsigned long most_bytes)
{
#if defined(__GLIBC__)
    // Blocks below the mapping threshold come from the heaps, and each heap
    // (one for each thread that allocates) keeps up to the trimming
    // threshold free at its top. The library takes no mapping threshold
    // above 32 MiB.
    const int most = most_bytes > (32ul << 20) ? 32 << 20 : static_cast<int>(most_bytes);
    mallopt(M_MMAP_THRESHOLD, most);
    mallopt(M_TRIM_THRESHOLD, most > (1 << 27) / 4 ? 1 << 27 : most * 4);
    // One heap for all the threads, not one each: what each heap keeps
    // would otherwise grow with the number of cores.
    mallopt(M_ARENA_MAX, 1);
#else
    (void)most_bytes;
#endif
}
