#include "LandSnapshot.h"

#include "Landscape.h"
#include "Planet.h"

#include <algorithm>

LandSnapshot::LandSnapshot(Planet& planet) : planet(planet), planes(planet.iterations)
{
    if (!planet.liveJob)
        return;
    const LiveJob& job = *planet.liveJob;
    const std::size_t count = planet.weld.vertexCount();
    // Made before the gate is taken: the generation waits for the copying only.
    if (!job.finished.load())
        copy.resize(3 * count);
    const PlaneGate::Between between(planet.planeGate);
    planes = job.applied.load();
    if (job.finished.load()) {
        copy = {};
        halted = planes < planet.iterations;
        return;
    }
    const float* soup = planet.vertices.data();
    for (std::size_t v = 0; v < count; ++v)
        std::copy_n(soup + 3 * std::size_t(planet.weld.vertexToCorner[v]), 3, &copy[3 * v]);
}

const float* LandSnapshot::position(std::size_t v) const
{
    if (!copy.empty())
        return &copy[3 * v];
    return planet.vertices.data() + 3 * std::size_t(planet.weld.vertexToCorner[v]);
}
