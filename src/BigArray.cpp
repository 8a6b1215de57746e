#include "BigArray.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

// Linux 5.14 and later; older headers lack the name, older kernels answer
// EINVAL, and the pages then fault in on first write as usual.
#ifdef MADV_POPULATE_WRITE
constexpr int POPULATE_WRITE = MADV_POPULATE_WRITE;
#else
constexpr int POPULATE_WRITE = 23;
#endif

// Blocks from this size on, in bytes, are faulted in by two threads: below
// it a thread start costs about as much as it saves.
constexpr std::size_t TWO_THREAD_BYTES = std::size_t(16) << 20;

std::size_t pageBytes()
{
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

// n rounded up to a multiple of unit (a power of two); n must leave room.
std::uintptr_t roundUp(std::uintptr_t n, std::size_t unit)
{
    return (n + unit - 1) & ~static_cast<std::uintptr_t>(unit - 1);
}

void* mapPlain(std::size_t bytes)
{
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

// bytes (whole pages) starting at a huge page boundary, so that every whole
// huge page of the block can be one: a huge page more is mapped and the ends
// are cut off. Null when the address space has no room for the extra.
void* mapAligned(std::size_t bytes)
{
    if (bytes > SIZE_MAX - HUGE_PAGE_BYTES)
        return nullptr;
    const std::size_t padded = bytes + HUGE_PAGE_BYTES;
    void* raw = mapPlain(padded);
    if (!raw)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = roundUp(start, HUGE_PAGE_BYTES);
    if (aligned > start)
        munmap(raw, aligned - start);
    const std::uintptr_t end = aligned + bytes;
    if (start + padded > end)
        munmap(reinterpret_cast<void*>(end), start + padded - end);
    return reinterpret_cast<void*>(aligned);
}

// Milliseconds of the thread's processor time above which faulting in one
// huge page counts as slow. The kernel zeroes one in about 0.2 ms. On a
// virtual machine with free page reporting the hypervisor takes back free
// huge blocks and refills them 4 KiB by 4 KiB on first touch: 5 to 7 ms a
// huge page, half a second for the planet at 8 subdivisions. Small pages
// come from recently freed memory, which it has left in place.
constexpr double SLOW_HUGE_PAGE_MS = 2.0;

double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// Faults the range in, writable: 0, or the errno of the refusal.
int populate(char* begin, std::size_t bytes)
{
    return madvise(begin, bytes, POPULATE_WRITE) == 0 ? 0 : errno;
}

// The same, huge page by huge page; from the first slow one on, the rest of
// the range in small pages.
int populateHuge(char* begin, std::size_t bytes)
{
    for (std::size_t done = 0; done < bytes; done += HUGE_PAGE_BYTES) {
        const std::size_t chunk = std::min(HUGE_PAGE_BYTES, bytes - done);
        const double start = threadMilliseconds();
        if (const int error = populate(begin + done, chunk))
            return error;
        if (threadMilliseconds() - start > SLOW_HUGE_PAGE_MS && done + chunk < bytes) {
            char* rest = begin + done + chunk;
            madvise(rest, bytes - done - chunk, MADV_NOHUGEPAGE);
            return populate(rest, bytes - done - chunk);
        }
    }
    return 0;
}

// The second half in a thread of its own while this one does the first, or
// both here when no thread can be started.
int populateInTwo(char* block, std::size_t bytes)
{
    const std::size_t half = roundUp(bytes / 2, HUGE_PAGE_BYTES);
    int second = 0;
    std::thread helper;
    try {
        helper = std::thread([&second, block, half, bytes] { second = populateHuge(block + half, bytes - half); });
    } catch (const std::system_error&) {
        second = populateHuge(block + half, bytes - half);
    }
    const int first = populateHuge(block, half);
    if (helper.joinable())
        helper.join();
    return first != 0 ? first : second;
}

} // namespace

void* allocateBigBlock(std::size_t bytes)
{
    if (bytes == 0 || bytes > SIZE_MAX - HUGE_PAGE_BYTES)
        throw std::bad_alloc();
    const std::size_t mapped = roundUp(bytes, pageBytes());
    const bool huge = mapped >= HUGE_PAGE_BYTES;
    void* block = huge ? mapAligned(mapped) : nullptr;
    if (!block) // small, or too near an address-space limit for the extra
        block = mapPlain(mapped);
    if (!block)
        throw std::bad_alloc();
    if (huge) // refused where huge pages are off: 4 KiB pages then
        madvise(block, mapped, MADV_HUGEPAGE);
    char* begin = static_cast<char*>(block);
    const int error = mapped >= TWO_THREAD_BYTES ? populateInTwo(begin, mapped)
                      : huge                        ? populateHuge(begin, mapped)
                                                    : populate(begin, mapped);
    if (error == ENOMEM) { // the pages are not there: writing them would summon the OOM killer
        munmap(block, mapped);
        throw std::bad_alloc();
    }
    return block;
}

void releaseBigBlock(void* block, std::size_t bytes) noexcept
{
    munmap(block, roundUp(bytes, pageBytes()));
}
