#include "RiverWorker.h"

#include "LandNormals.h"
#include "Planet.h"
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
    const Drainage drainage = drainLand({planet.weld, neighbours, positions.data(), shape.seaRadius});
    if (stopping.load())
        return std::nullopt;
    return riverGeometry(drainage, findRivers(drainage, riverThreshold(drainage.vertexCount())), planet.weld,
                         positions.data(), shape);
}

} // namespace

RiverWorker::RiverWorker(Planet& planet, const WorldShape& shape)
    : OneShotWorker([&planet, shape](const std::atomic<bool>& stopping) { return riversOf(planet, shape, stopping); })
{
}
