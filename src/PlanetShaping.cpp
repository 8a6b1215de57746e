#include "PlanetShaping.h"

#include "CommandLine.h"
#include "Erosion.h"
#include "Failure.h"
#include "LandNormals.h"
#include "Landscape.h"
#include "LogManager.h"
#include "Orbivane.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "ProgressLine.h"
#include "SeaLevel.h"

#include <mutex>
#include <string>

namespace {

// Sets the sea where share of the surface is land; false, after saying so,
// without the memory for it. Logged unless quiet.
bool setSeaLevel(Planet& planet, double share, bool quiet)
{
    SeaLevel level;
    const bool solved = runAtBoundary(
        [&] { level = seaLevelForLand(planet.weld, planet.vertices.data(), planet.water->vertices.data(), share); },
        {"Not enough memory to set the sea level; the sea stays at radius 1.", "Could not set the sea level"});
    if (!solved)
        return false;
    planet.shape.seaRadius = level.seaRadius;
    // A window sends the land again: with a relief its shown radii move.
    planet.landVersion.fetch_add(1, std::memory_order_release);
    if (quiet)
        return true;
    const std::string eroded =
        planet.erosionSteps > 0 ? ", erosion " + std::to_string(planet.erosionSteps) + " steps" : std::string();
    ORB_LOG(Info, "Sea radius %s: %.4f%% of the surface is land (seed %u%s)", shortestText(level.seaRadius).c_str(),
            level.landShare * 100.0, planet.seed, eroded.c_str());
    return true;
}

} // namespace

bool erodePlanet(Planet& planet, int steps, StopRequest stop)
{
    const double start = monotonicSeconds();
    bool stopped = false;
    const bool eroded = runAtBoundary(
        [&] {
            // As generation's: a stopped or failed erosion ends the line unfinished.
            ProgressLine line(steps);
            line.advance(0, steps);
            std::vector<float> positions;
            gatherWelded(planet.weld, planet.vertices.data(), positions);
            const VertexNeighbours neighbours = vertexNeighbours(planet.weld);
            stopped = stopRequested(stop);
            if (stopped)
                return;
            const std::vector<float> unit = weldedUnitSphere(planet);
            stopped = !erodeLand(planet.weld, neighbours, positions, planet.shape.seaRadius, steps, {},
                                 EROSION_THREADS, unit.data(), stop,
                                 [&line](int done, int total) { line.advance(done, total); });
            if (stopped)
                return;
            line.end();
            const std::lock_guard<std::mutex> lock(planet.mutex);
            const std::vector<std::uint32_t>& vertexOf = planet.weld.cornerToVertex;
            for (std::size_t c = 0; c < vertexOf.size(); ++c)
                for (int k = 0; k < 3; ++k)
                    planet.vertices[3 * c + k] = positions[3 * std::size_t(vertexOf[c]) + k];
            planet.erosionSteps = steps;
        },
        {"Not enough memory to erode the land; it stays as generated.", "Could not erode the land"});
    if (!eroded || stopped)
        return false;
    planet.landVersion.fetch_add(1, std::memory_order_release);
    ORB_LOG(Info, "Land worn by erosion %d steps in %f seconds (seed %u)", steps, monotonicSeconds() - start, planet.seed);
    return true;
}

void settleShape(Planet& planet, const Options& options, StopRequest stop)
{
    planet.shape.relief = options.relief;
    // Written only when they change: a thread may be reading them for the climate.
    if (planet.radiusKm != options.radiusKm)
        planet.radiusKm = options.radiusKm;
    if (planet.highestMetres != options.highestMetres)
        planet.highestMetres = options.highestMetres;
    if (planet.hypsometry != options.hypsometry)
        planet.hypsometry = options.hypsometry;
    if (planet.riverAreaKm2 != options.riverAreaKm2)
        planet.riverAreaKm2 = options.riverAreaKm2;
    if (planet.shapeSettled || (planet.liveJob && !planet.liveJob->finished) || stopRequested(stop))
        return;
    planet.shapeSettled = true;
    const bool erode = options.erosionSteps > 0;
    // A step skipped for want of memory leaves a planet its files must not
    // pass off as the one asked for.
    if (options.landPercent) {
        if (!setSeaLevel(planet, *options.landPercent / 100.0, erode)) {
            planet.shapeShort = true;
            return;
        }
        planet.landPercent = options.landPercent;
    }
    // Without memory for it the curve is fitted again whenever metres are asked for.
    if (planet.hypsometry == Hypsometry::Earth)
        runAtBoundary([&] { keepHeightCurve(planet); },
                      {"Not enough memory to fit the heights to Earth's now.", "Could not fit the heights to Earth's"});
    if (!erode)
        return;
    if (!erodePlanet(planet, options.erosionSteps, stop)) {
        if (!stopRequested(stop)) // a planet no longer wanted is not short: it is dropped
            planet.shapeShort = true;
    } else if (options.landPercent && !setSeaLevel(planet, *options.landPercent / 100.0, false)) {
        planet.shapeShort = true;
    }
}
