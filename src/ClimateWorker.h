#pragma once

#include "ThreadGroup.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

class Planet;

// The climate of a planet's final land (PlanetClimate.h), made on a thread of
// its own and handed to the window's thread as the vertex attribute it
// sends: per welded vertex the temperature (degrees C), the rain (mm a year)
// and the biome class number, three floats. No GL here.
class ClimateWorker {
public:
    // Starts the thread; the planet's land must be final and its shape
    // settled. Throws std::system_error when no thread can start.
    explicit ClimateWorker(Planet& planet);
    // Waits for the computation under way: it cannot be cut short.
    ~ClimateWorker();
    ClimateWorker(const ClimateWorker&) = delete;
    ClimateWorker& operator=(const ClimateWorker&) = delete;

    // The attribute once it is made, the first time asked; nothing before
    // and after, and when the computation failed.
    std::optional<std::vector<float>> take();

    // Waits until the computation has ended, then takes the attribute.
    std::optional<std::vector<float>> waitAndTake();

    // Whether the computation failed (without memory), once.
    bool takeFailure();

private:
    void run();

    Planet& planet;
    std::mutex mutex; // guards everything below
    std::condition_variable ended;
    bool finished = false;
    bool failed = false;
    std::optional<std::vector<float>> ready;
    ThreadGroup thread; // last: joined before the members it uses go
};
