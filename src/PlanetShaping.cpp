#include "PlanetShaping.h"

#include "CommandLine.h"
#include "Failure.h"
#include "Landscape.h"
#include "LogManager.h"
#include "Planet.h"
#include "SeaLevel.h"

void settleShape(Planet& planet, const Options& options)
{
    planet.shape.relief = options.relief;
    // Written only when they change: a thread may be reading them for the climate.
    if (planet.radiusKm != options.radiusKm)
        planet.radiusKm = options.radiusKm;
    if (planet.highestMetres != options.highestMetres)
        planet.highestMetres = options.highestMetres;
    if (planet.shapeSettled || (planet.liveJob && !planet.liveJob->finished))
        return;
    planet.shapeSettled = true;
    if (!options.landPercent)
        return;
    SeaLevel level;
    const bool solved = runAtBoundary(
        [&] {
            level = seaLevelForLand(planet.weld, planet.vertices.data(), planet.water->vertices.data(),
                                    *options.landPercent / 100.0);
        },
        {"Not enough memory to set the sea level; the sea stays at radius 1.", "Could not set the sea level"});
    if (!solved)
        return;
    planet.shape.seaRadius = level.seaRadius;
    // A window sends the land again: with a relief its shown radii move.
    planet.landVersion.fetch_add(1, std::memory_order_release);
    ORB_LOG(Info, "Sea radius %s: %.4f%% of the surface is land (seed %u)", shortestText(level.seaRadius).c_str(),
            level.landShare * 100.0, planet.seed);
}
