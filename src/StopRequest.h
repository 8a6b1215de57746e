#pragma once

#include <atomic>
#include <cstddef>

// How a long step of a planet's making (erosion, climate, drainage, the
// maps) learns that its result is no longer wanted: the planet was dropped
// (N made another, the window closed). Whoever waits for the step owns the
// flag and sets it; the step reads it between pieces of its work short
// enough that it ends within a fraction of a second, and then hands back
// nothing that is used. A step not asked to stop is the same, bit for bit,
// as one without a flag. Null: never asked.
using StopRequest = const std::atomic<bool>*;

inline bool stopRequested(StopRequest stop)
{
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

// Items (vertices, faces) a pass works through between two looks at the
// flag: a few milliseconds' work on a busy machine, a negligible share of it
// spent looking.
inline constexpr std::size_t STOP_CHECK_EVERY = std::size_t(1) << 16;

// Whether a pass at item done of its items is to stop now: read once every
// STOP_CHECK_EVERY items.
inline bool stopDue(std::size_t done, StopRequest stop)
{
    return done % STOP_CHECK_EVERY == 0 && stopRequested(stop);
}
