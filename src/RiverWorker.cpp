#include "RiverWorker.h"

#include "LandNormals.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "SavedPlanet.h"
#include "VertexNeighbours.h"

namespace {

std::optional<RiverGeometry> riversOf(Planet& planet, const WorldShape& shape, double threshold,
                                      const std::atomic<bool>& stopping)
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
    return riverGeometry(drainage, findRivers(drainage, threshold), planet.weld,
                         positions.data(), shape);
}

} // namespace

RiverWorker::RiverWorker(Planet& planet, const WorldShape& shape)
    : OneShotWorker([&planet, shape, threshold = riverThresholdOf(planet)](const std::atomic<bool>& stopping) {
          return riversOf(planet, shape, threshold, stopping);
      })
{
}
