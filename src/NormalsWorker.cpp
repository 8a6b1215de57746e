#include "NormalsWorker.h"

#include "LandNormals.h"
#include "Planet.h"

#include <chrono>
#include <new>
#include <utility>

NormalsWorker::NormalsWorker(Planet& planet) : planet(planet)
{
    pending = true;
    thread.start([this] { run(); });
}

NormalsWorker::~NormalsWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

void NormalsWorker::request()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = true;
    }
    wake.notify_one();
}

std::optional<std::vector<float>> NormalsWorker::take()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(ready, std::nullopt);
}

std::optional<std::vector<float>> NormalsWorker::waitAndTake()
{
    std::unique_lock<std::mutex> lock(mutex);
    settled.wait(lock, [this] { return !pending && !busy; });
    return std::exchange(ready, std::nullopt);
}

bool NormalsWorker::takeFailure()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(failed, false);
}

namespace {
constexpr int REST_PER_COMPUTATION = 3;
} // namespace

void NormalsWorker::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return pending || stopping; });
        if (stopping)
            return;
        pending = false;
        busy = true;
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        computeOnce();
        const auto took = std::chrono::steady_clock::now() - start;
        lock.lock();
        busy = false;
        settled.notify_all();
        // While a live generation keeps asking, rest three times as long as
        // a computation took: a quarter of a core at most, which leaves the
        // generation and the frames the rest of a two-core machine.
        wake.wait_for(lock, REST_PER_COMPUTATION * took, [this] { return stopping; });
    }
}

// Reads the land under the planet's mutex and works out its normals outside
// it, so a live generation waits only for the copy.
void NormalsWorker::computeOnce()
{
    try {
        {
            std::lock_guard<std::mutex> landLock(planet.mutex);
            gatherWelded(planet.weld, planet.vertices.data(), positions);
        }
        std::vector<float> normals = weldedLandNormals(planet.weld, positions.data(), smoothingPassesFor(planet.subdivisions));
        std::lock_guard<std::mutex> lock(mutex);
        ready = std::move(normals);
    } catch (const std::bad_alloc&) {
        std::lock_guard<std::mutex> lock(mutex);
        failed = true;
    }
}
