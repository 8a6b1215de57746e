#include "PlanetClimate.h"

#include "LandNormals.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "VertexNeighbours.h"

#include <mutex>

namespace {

std::shared_ptr<const PlanetClimate> computeFor(const Planet& planet, const std::vector<float>& welded)
{
    auto made = std::make_shared<PlanetClimate>();
    made->scale = physicalScaleOf(welded.data(), planet.weld.vertexCount(), planet.shape.seaRadius, planet.radiusKm,
                                  planet.highestMetres);
    made->climate = computeClimate(planet.weld, vertexNeighbours(planet.weld), welded.data(), made->scale);
    return made;
}

} // namespace

std::vector<float> weldedPositions(const Planet& planet, const LandSnapshot& land)
{
    if (const float* copied = land.copied())
        return std::vector<float>(copied, copied + 3 * planet.weld.vertexCount());
    std::vector<float> welded;
    gatherWelded(planet.weld, planet.vertices.data(), welded);
    return welded;
}

PhysicalScale physicalScaleOf(const Planet& planet, const LandSnapshot& land)
{
    const std::vector<float> welded = weldedPositions(planet, land);
    return physicalScaleOf(welded.data(), planet.weld.vertexCount(), planet.shape.seaRadius, planet.radiusKm,
                           planet.highestMetres);
}

std::shared_ptr<const PlanetClimate> climateOf(Planet& planet, const LandSnapshot& land)
{
    if (land.copied() || !planet.shapeSettled)
        return computeFor(planet, weldedPositions(planet, land));
    std::lock_guard<std::mutex> lock(planet.climateMutex);
    if (!planet.climate)
        planet.climate = computeFor(planet, weldedPositions(planet, land));
    return planet.climate;
}
