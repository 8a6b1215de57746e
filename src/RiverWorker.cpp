#include "RiverWorker.h"

#include "LandNormals.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "VertexNeighbours.h"

namespace {

std::optional<RiverGeometry> riversOf(Planet& planet, const WorldShape& shape, const std::atomic<bool>& stopping)
{
    std::vector<float> positions;
    {
        std::lock_guard<std::mutex> landLock(planet.mutex);
        gatherWelded(planet.weld, planet.vertices.data(), positions);
    }
    const VertexNeighbours neighbours = vertexNeighbours(planet.weld);
    if (stopping.load())
        return std::nullopt;
    const std::vector<float> unit = weldedUnitSphere(planet);
    DrainageInput input{planet.weld, neighbours, positions.data(), shape.seaRadius};
    input.unit = unit.data();
    input.stop = &stopping;
    const Drainage drainage = drainLand(input);
    if (drainage.stopped || stopping.load())
        return std::nullopt;
    return riverGeometry(drainage, findRivers(drainage, riverThreshold(drainage.vertexCount())), planet.weld,
                         positions.data(), shape);
}

} // namespace

RiverWorker::RiverWorker(Planet& planet, const WorldShape& shape)
    : OneShotWorker([&planet, shape](const std::atomic<bool>& stopping) { return riversOf(planet, shape, stopping); })
{
}
