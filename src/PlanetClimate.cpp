#include "PlanetClimate.h"

#include "LandNormals.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "VertexNeighbours.h"

#include <mutex>
#include <optional>
#include <utility>

namespace {

// The curve the planet keeps, when its metres are Earth's and it keeps one.
std::optional<PhysicalScale> keptScale(const Planet& planet)
{
    if (planet.hypsometry == Hypsometry::Earth)
        if (const std::shared_ptr<const HeightCurve> kept = planet.heightCurve.load())
            return physicalScaleWith(*kept, planet.shape.seaRadius, planet.radiusKm, planet.highestMetres);
    return std::nullopt;
}

PhysicalScale scaleOf(const Planet& planet, const std::vector<float>& welded, const std::vector<float>& unit)
{
    if (std::optional<PhysicalScale> kept = keptScale(planet))
        return *std::move(kept);
    return physicalScaleOf(welded.data(), planet.weld.vertexCount(), planet.shape.seaRadius, planet.radiusKm,
                           planet.highestMetres, unit.data(), planet.hypsometry);
}

std::shared_ptr<const PlanetClimate> computeFor(const Planet& planet, const std::vector<float>& welded,
                                                StopRequest stop)
{
    auto made = std::make_shared<PlanetClimate>();
    const std::vector<float> unit = weldedUnitSphere(planet);
    made->scale = scaleOf(planet, welded, unit);
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
    if (std::optional<PhysicalScale> kept = keptScale(planet))
        return *std::move(kept);
    return scaleOf(planet, weldedPositions(planet, land), weldedUnitSphere(planet));
}

void keepHeightCurve(Planet& planet)
{
    const std::vector<float> welded = weldedPositions(planet, LandSnapshot(planet));
    const PhysicalScale fitted = physicalScaleOf(welded.data(), planet.weld.vertexCount(), planet.shape.seaRadius,
                                                 planet.radiusKm, EARTH_HIGHEST_METRES,
                                                 weldedUnitSphere(planet).data(), Hypsometry::Earth);
    planet.heightCurve.store(std::make_shared<const HeightCurve>(fitted.curve));
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
