#pragma once

#include "OneShotWorker.h"

#include <cstdint>
#include <vector>

class Planet;

// The climate of a planet's final land (PlanetClimate.h), made on a thread of
// its own and handed to the window's thread as the vertex attribute it
// sends: per welded vertex the temperature (degrees C), the rain (mm a year)
// and the biome class number, three floats. The worker going cuts the
// climate short between its passes (nothing is kept on the planet then).
// failed() when there was no memory for it. No GL here.
class ClimateWorker : public OneShotWorker<std::vector<float>> {
public:
    // The most memory it takes, in bytes a welded vertex (130 measured at 8
    // and 9 subdivisions).
    static constexpr std::uint64_t BYTES_PER_VERTEX = 150;

    // Starts the thread; the planet's land must be final and its shape
    // settled, and the planet must outlive the worker. Throws
    // std::system_error when no thread can start.
    explicit ClimateWorker(Planet& planet);
};
