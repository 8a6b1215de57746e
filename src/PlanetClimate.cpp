#include "PlanetClimate.h"

#include "LandNormals.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "VertexNeighbours.h"

#include <mutex>

namespace {

std::shared_ptr<const PlanetClimate> computeFor(const Planet& planet, const std::vector<float>& welded,
                                                StopRequest stop)
{
    auto made = std::make_shared<PlanetClimate>();
    const std::vector<float> unit = weldedUnitSphere(planet);
    made->scale = physicalScaleOf(welded.data(), planet.weld.vertexCount(), planet.shape.seaRadius, planet.radiusKm,
                                  planet.highestMetres, unit.data());
    made->climate = computeClimate(planet.weld, vertexNeighbours(planet.weld), welded.data(), made->scale,
                                   CLIMATE_THREADS, unit.data(), stop);
    if (stopRequested(stop))
        return nullptr;
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

std::vector<float> weldedUnitSphere(const Planet& planet)
{
    std::vector<float> unit;
    gatherWelded(planet.weld, planet.water->vertices.data(), unit);
    return unit;
}

PhysicalScale physicalScaleOf(const Planet& planet, const LandSnapshot& land)
{
    const std::vector<float> welded = weldedPositions(planet, land);
    return physicalScaleOf(welded.data(), planet.weld.vertexCount(), planet.shape.seaRadius, planet.radiusKm,
                           planet.highestMetres, weldedUnitSphere(planet).data());
}

std::shared_ptr<const PlanetClimate> climateOf(Planet& planet, const LandSnapshot& land, StopRequest stop)
{
    if (land.copied() || !planet.shapeSettled)
        return computeFor(planet, weldedPositions(planet, land), stop);
    std::lock_guard<std::mutex> lock(planet.climateMutex);
    if (!planet.climate)
        planet.climate = computeFor(planet, weldedPositions(planet, land), stop);
    return planet.climate;
}
