#pragma once

#include <atomic>

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
