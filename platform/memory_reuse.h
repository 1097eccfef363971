// How freed memory is kept. Making a view takes several buffers of a few
// megabytes a picture; handed back to the system when freed, each is
// handed out again in fresh pages, and a fresh page costs a fault on its
// first touch, which on a virtual machine takes longer than the work done
// in it. Nothing here fails.
#ifndef KORVEL_PLATFORM_MEMORY_REUSE_H
#define KORVEL_PLATFORM_MEMORY_REUSE_H

// Keeps blocks of up to most_bytes, once freed, in the process for the
// next ones of their size, in one heap whatever the number of threads.
// POSIX with the GNU C library: its allocator's thresholds for mapping and
// trimming, and its number of heaps; elsewhere, nothing.
void reuse_freed_memory(unsigned long most_bytes);

#endif
