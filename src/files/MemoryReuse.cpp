#include "files/MemoryReuse.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

void keepFreedMemoryForReuse() {
    // Blocks up to 32 MiB come from the heap, and up to 256 MiB of it stays with the program
    // once freed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20); // the most the C library takes
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // The heap grown ahead by 224 MiB (address space only: nothing is touched) and marked for
    // huge pages, so that a history of tens of MiB costs a fault per 2 MiB rather than per
    // 4 KiB when it is first filled (a restore at start, a compaction).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer's allocator has a heap of its own: nothing to mark.
    return;
#endif
    constexpr std::size_t block = 28 << 20;
    void* blocks[8] = {};
    for (void*& p : blocks) {
        p = std::malloc(block);
        if (p != nullptr) {
            const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
            const auto first = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
            ::madvise(reinterpret_cast<void*>(first), block - page, MADV_HUGEPAGE);
        }
    }
    for (void* p : blocks) {
        std::free(p);
    }
}
