#include "ClimateWorker.h"

#include "ClimateColours.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"

#include <stdexcept>

namespace {

std::optional<std::vector<float>> climateAttribute(Planet& planet, const std::atomic<bool>& stopping)
{
    std::shared_ptr<const PlanetClimate> made;
    try {
        made = climateOf(planet, LandSnapshot(planet), &stopping);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
    if (!made)
        return std::nullopt;
    const Climate& climate = made->climate;
    std::vector<float> attribute(3 * climate.biome.size());
    for (std::size_t v = 0; v < climate.biome.size(); ++v) {
        attribute[3 * v] = climate.temperature[v];
        attribute[3 * v + 1] = climate.rain[v];
        attribute[3 * v + 2] = static_cast<float>(biomeNumber(climate.biome[v]));
    }
    return attribute;
}

} // namespace

// The worker's destructor cuts the climate short between its passes.
ClimateWorker::ClimateWorker(Planet& planet)
    : OneShotWorker([&planet](const std::atomic<bool>& stopping) { return climateAttribute(planet, stopping); })
{
}
