#pragma once

#include "RiverGeometry.h"
#include "ThreadGroup.h"
#include "WorldShape.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

class Planet;

// The rivers and lakes of a planet whose land has stopped changing, worked
// out once on a thread of their own (drainage, rivers and their geometry),
// so that the window's thread only uploads them. The land is copied under
// the planet's mutex; the rest works on the copy. No GL here.
class RiverWorker {
public:
    // Starts the thread, which drains the land as it is shown with shape.
    // The planet must outlive the worker. Throws std::system_error when no
    // thread can start.
    RiverWorker(Planet& planet, const WorldShape& shape);
    // Asks the thread to stop at its next stage and waits for it.
    ~RiverWorker();
    RiverWorker(const RiverWorker&) = delete;
    RiverWorker& operator=(const RiverWorker&) = delete;

    // The geometry once it is made, once; nothing before, after, or when
    // the memory ran out (see failed).
    std::optional<RiverGeometry> take();
    // Waits until the thread has ended, then takes the geometry.
    std::optional<RiverGeometry> waitAndTake();
    // Whether the thread ran out of memory; it then made nothing.
    bool failed();

private:
    void run();

    Planet& planet;
    const WorldShape shape;
    std::atomic<bool> stopping{false};
    std::mutex mutex; // guards everything below
    std::condition_variable ended;
    bool finished = false;
    bool outOfMemory = false;
    std::optional<RiverGeometry> made;
    ThreadGroup thread; // last: joined before the members it uses go
};
