#include "platform/memory_reuse.h"

void reuse_freed_memory(unsigned long most_bytes)
{
    // The system's heap keeps what it keeps.
    (void)most_bytes;
}
