#include "RiverWorker.h"

#include "LandNormals.h"
#include "Planet.h"
#include "VertexNeighbours.h"

#include <new>
#include <utility>

RiverWorker::RiverWorker(Planet& planet, const WorldShape& shape) : planet(planet), shape(shape)
{
    thread.start([this] { run(); });
}

RiverWorker::~RiverWorker()
{
    stopping.store(true);
    thread.join();
}

std::optional<RiverGeometry> RiverWorker::take()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(made, std::nullopt);
}

std::optional<RiverGeometry> RiverWorker::waitAndTake()
{
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [this] { return finished; });
    return std::exchange(made, std::nullopt);
}

bool RiverWorker::failed()
{
    std::lock_guard<std::mutex> lock(mutex);
    return outOfMemory;
}

void RiverWorker::run()
{
    std::optional<RiverGeometry> geometry;
    bool memoryRanOut = false;
    try {
        std::vector<float> positions;
        {
            std::lock_guard<std::mutex> landLock(planet.mutex);
            gatherWelded(planet.weld, planet.vertices.data(), positions);
        }
        const VertexNeighbours neighbours = vertexNeighbours(planet.weld);
        if (!stopping.load()) {
            const Drainage drainage = drainLand({planet.weld, neighbours, positions.data(), shape.seaRadius});
            if (!stopping.load())
                geometry = riverGeometry(drainage, findRivers(drainage, riverThreshold(drainage.vertexCount())),
                                         planet.weld, positions.data(), shape);
        }
    } catch (const std::bad_alloc&) {
        memoryRanOut = true;
    }
    std::lock_guard<std::mutex> lock(mutex);
    made = std::move(geometry);
    outOfMemory = memoryRanOut;
    finished = true;
    ended.notify_all();
}
