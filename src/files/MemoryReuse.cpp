#include "files/MemoryReuse.h"

#include <malloc.h>

void keepFreedMemoryForReuse() {
    // Blocks up to 32 MiB come from the heap, and up to 256 MiB of it stays
    // with the program once freed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // the most the C library takes
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}
