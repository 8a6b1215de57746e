#include "PlanetSaving.h"

#include "CommandLine.h"
#include "Failure.h"
#include "Landscape.h"
#include "LogManager.h"
#include "Planet.h"
#include "WorldMap.h"

#include <string>

namespace {
// Set by a failed export; the exit status with --export says so.
bool anExportFailed = false;
// Set by a map that could not be saved; the exit status with --map or
// --heightmap says so.
bool aMapFailed = false;

bool mapsAsked(const Options& options)
{
    return !options.mapPath.empty() || !options.heightMapPath.empty();
}

// Writes one map and logs the outcome; what names the map in the messages.
template <typename Picture>
bool writeMap(const Picture& picture, const SaveTarget& target, const std::string& comment, const char* what,
              std::uint32_t seed)
{
    std::string error, written;
    if (!writePng(target, picture, comment, error, &written, PngCompression::Fast)) {
        ORB_LOG(Error, "Could not save the %s %s: %s", what, target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u): %s saved to %s", seed, what, written.c_str());
    return true;
}

bool writeMaps(Planet& planet, const MapTargets& targets, int width)
{
    const HeightGrid grid = buildHeightGrid(planet, width);
    const std::string header = headerComment(meshInfoOf(planet));
    bool written = true;
    if (targets.colour)
        written = writeMap(colourMapOf(grid, planet.shape.seaRadius), *targets.colour, header, "map", planet.seed) &&
                  written;
    if (targets.height)
        written = writeMap(heightMapOf(grid), *targets.height, heightMapComment(header, grid, planet.shape),
                           "height map", planet.seed) && written;
    return written;
}

// Whether the land is final: batch, or a live thread that has ended.
bool generationFinished(const Planet& planet)
{
    return !planet.liveJob || planet.liveJob->finished;
}
} // namespace

MeshInfo meshInfoOf(const Planet& planet)
{
    MeshInfo info{planet.seed, planet.subdivisions, planet.iterations};
    info.shape = planet.shape;
    if (planet.liveJob) {
        info.applied = planet.liveJob->applied.load();
        info.stopped = planet.liveJob->finished && info.applied < planet.iterations;
    }
    return info;
}

bool exportPlanetTo(Planet& planet, const SaveTarget& target)
{
    std::string error, written;
    const LandView land{planet.weld, planet.vertices.data(), &planet.mutex, planet.shape};
    if (!exportMesh(target, land, meshInfoOf(planet), error, &written)) {
        anExportFailed = true;
        ORB_LOG(Error, "Could not export the planet to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u) exported to %s", planet.seed, written.c_str());
    return true;
}

bool saveMapsOf(Planet& planet, const MapTargets& targets, int width)
{
    bool written = false;
    const bool ran = runAtBoundary([&] { written = writeMaps(planet, targets, width); },
                                   {"Not enough memory for the maps of the planet; they are not saved.",
                                    "Could not start the thread that makes the maps"});
    aMapFailed = aMapFailed || !ran || !written;
    return ran && written;
}

bool savesAsked(const Options& options)
{
    return !options.exportPath.empty() || mapsAsked(options);
}

void saveAskedFiles(Planet& planet, const Options& options)
{
    if (!savesAsked(options) || planet.exported || !generationFinished(planet))
        return;
    planet.exported = true;
    if (!options.exportPath.empty())
        exportPlanetTo(planet, SaveTarget::replacing(options.exportPath));
    if (!mapsAsked(options))
        return;
    MapTargets targets;
    if (!options.mapPath.empty())
        targets.colour = SaveTarget::replacing(options.mapPath);
    if (!options.heightMapPath.empty())
        targets.height = SaveTarget::replacing(options.heightMapPath);
    saveMapsOf(planet, targets, options.mapWidth);
}

bool savesAskedFailed(const Options& options)
{
    return (anExportFailed && !options.exportPath.empty()) || (aMapFailed && mapsAsked(options));
}
