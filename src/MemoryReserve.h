#pragma once

#include <cstdint>

// Whether `bytes` more of address space and of memory the kernel will
// commit could be had now: a trial mapping, never touched and given back at
// once, so it costs no memory. Sees the limits a library's allocations meet
// (RLIMIT_AS, strict overcommit), not how much memory is free. No GL here.
bool canReserve(std::uint64_t bytes);
