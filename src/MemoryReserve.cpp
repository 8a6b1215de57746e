#include "MemoryReserve.h"

#include <cstddef>
#include <sys/mman.h>

bool canReserve(std::uint64_t bytes)
{
    if (bytes == 0)
        return true;
    if (bytes > static_cast<std::uint64_t>(static_cast<std::size_t>(-1) / 2))
        return false;
    // Writable and private, so that strict overcommit charges it as it would
    // the driver's own blocks.
    void* block = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                       -1, 0);
    if (block == MAP_FAILED)
        return false;
    munmap(block, static_cast<std::size_t>(bytes));
    return true;
}
