#include "ClimateWorker.h"

#include "ClimateColours.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"

#include <new>
#include <stdexcept>
#include <utility>

ClimateWorker::ClimateWorker(Planet& planet) : planet(planet)
{
    thread.start([this] { run(); });
}

ClimateWorker::~ClimateWorker()
{
    thread.join();
}

std::optional<std::vector<float>> ClimateWorker::take()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(ready, std::nullopt);
}

std::optional<std::vector<float>> ClimateWorker::waitAndTake()
{
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [this] { return finished; });
    return std::exchange(ready, std::nullopt);
}

bool ClimateWorker::takeFailure()
{
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(failed, false);
}

void ClimateWorker::run()
{
    std::optional<std::vector<float>> attribute;
    try {
        const std::shared_ptr<const PlanetClimate> made = climateOf(planet, LandSnapshot(planet));
        const Climate& climate = made->climate;
        attribute.emplace(3 * climate.biome.size());
        for (std::size_t v = 0; v < climate.biome.size(); ++v) {
            (*attribute)[3 * v] = climate.temperature[v];
            (*attribute)[3 * v + 1] = climate.rain[v];
            (*attribute)[3 * v + 2] = static_cast<float>(biomeNumber(climate.biome[v]));
        }
    } catch (const std::bad_alloc&) {
        attribute.reset();
    } catch (const std::invalid_argument&) {
        attribute.reset();
    }
    std::lock_guard<std::mutex> lock(mutex);
    failed = !attribute;
    ready = std::move(attribute);
    finished = true;
    ended.notify_all();
}
