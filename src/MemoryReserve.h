#pragma once

#include <cstdint>

// Whether `bytes` more of address space and of memory the kernel will
// commit could be had now: a trial mapping, never touched and given back at
// once, so it costs no memory. Sees the limits a library's allocations meet
// (RLIMIT_AS, strict overcommit), not how much memory is free. No GL here.
bool canReserve(std::uint64_t bytes);

// Address space the GL driver takes to load and make a context, a window's
// or one without a window: Mesa's llvmpipe took 450 MB (its libraries,
// threads and their heaps). With less it may crash inside the context's
// creation or its first draws, where it cannot say so; a trial reservation
// of this much goes first.
inline constexpr std::uint64_t CONTEXT_DRIVER_BYTES = std::uint64_t(512) << 20;
