#include "platform/TPageMemory.h"

#include <climits>
#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

void TPageMemory::HintHugePages(void* data, std::size_t size)
{
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

bool TPageMemory::GiveBackBlocksFrom(std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        return false;
    // Setting the bound also ends glibc's raising of it and of the trim threshold.
    return mallopt(M_MMAP_THRESHOLD, static_cast<int>(size)) == 1;
}
