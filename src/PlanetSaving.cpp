#include "PlanetSaving.h"

#include "CommandLine.h"
#include "Failure.h"
#include "LandSnapshot.h"
#include "Landscape.h"
#include "LogManager.h"
#include "Planet.h"
#include "WorldMap.h"

#include <string>

namespace {
// The files this run's options asked for and those written; the exit status
// is 1 when they differ. Planets counts the planets saved so far, which names
// the next one's files.
struct AskedFiles {
    std::size_t asked = 0;
    std::size_t written = 0;
    int planets = 0;
};
AskedFiles run;

bool mapsAsked(const Options& options)
{
    return !options.mapPath.empty() || !options.heightMapPath.empty();
}

std::size_t filesAsked(const Options& options)
{
    return std::size_t(!options.exportPath.empty()) + !options.mapPath.empty() + !options.heightMapPath.empty();
}

// Writes one map and logs the outcome; what names the map in the messages.
template <typename Picture>
bool writeMap(const Picture& picture, const SaveTarget& target, const std::string& comment, const char* what,
              std::uint32_t seed, std::string& written)
{
    std::string error;
    if (!writePng(target, picture, comment, error, &written, PngCompression::Fast)) {
        ORB_LOG(Error, "Could not save the %s %s: %s", what, target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u): %s saved to %s", seed, what, written.c_str());
    return true;
}

// The height map of a numbered pair goes under exactly the number its colour
// map took, so two programs saving at once never mix their pairs.
SaveTarget partnerOf(const SaveTarget& height, const SaveTarget& colour, const std::string& colourWritten)
{
    if (!height.isNumbered || !colour.isNumbered || colourWritten.empty())
        return height;
    const std::size_t digits = colourWritten.size() - colour.prefix.size() - colour.suffix.size();
    const int n = std::stoi(colourWritten.substr(colour.prefix.size(), digits));
    return SaveTarget::numbered(height.prefix, height.suffix, n, n);
}

// Returns how many of the maps asked for were written.
int writeMaps(Planet& planet, const MapTargets& targets, int width)
{
    const LandSnapshot land(planet);
    const HeightGrid grid = buildHeightGrid(planet, land, width);
    const std::string header = headerComment(meshInfoOf(planet, land));
    int written = 0;
    std::string colourWritten, heightWritten;
    if (targets.colour)
        written += writeMap(colourMapOf(grid, planet.shape.seaRadius), *targets.colour, header, "map", planet.seed, colourWritten);
    if (targets.height)
        written += writeMap(heightMapOf(grid),
                            targets.colour ? partnerOf(*targets.height, *targets.colour, colourWritten) : *targets.height,
                            heightMapComment(header, grid, planet.shape), "height map", planet.seed, heightWritten);
    return written;
}

// Whether the land is final: batch, or a live thread that has ended.
bool generationFinished(const Planet& planet)
{
    return !planet.liveJob || planet.liveJob->finished;
}

int saveMapsCounted(Planet& planet, const MapTargets& targets, int width)
{
    int written = 0;
    runAtBoundary([&] { written = writeMaps(planet, targets, width); },
                  {"Not enough memory for the maps of the planet; they are not saved.",
                   "Could not start the thread that makes the maps"});
    return written;
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

MeshInfo meshInfoOf(const Planet& planet, const LandSnapshot& land)
{
    MeshInfo info{planet.seed, planet.subdivisions, planet.iterations};
    info.shape = planet.shape;
    if (planet.liveJob) {
        info.applied = land.applied();
        info.stopped = land.stopped();
    }
    return info;
}

bool exportPlanetTo(Planet& planet, const SaveTarget& target)
{
    std::string error, written;
    const LandSnapshot snapshot(planet);
    LandView land{planet.weld, planet.vertices.data(), snapshot.copied(),
                  planet.water ? planet.water->vertices.data() : nullptr};
    land.shape = planet.shape;
    if (!exportMesh(target, land, meshInfoOf(planet, snapshot), error, &written)) {
        ORB_LOG(Error, "Could not export the planet to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u) exported to %s", planet.seed, written.c_str());
    return true;
}

bool saveMapsOf(Planet& planet, const MapTargets& targets, int width)
{
    return saveMapsCounted(planet, targets, width) == int(targets.colour.has_value()) + int(targets.height.has_value());
}

bool savesAsked(const Options& options)
{
    return filesAsked(options) > 0;
}

void expectAskedFiles(const Options& options)
{
    run.asked += filesAsked(options);
}

void saveAskedFiles(Planet& planet, const Options& options)
{
    if (!savesAsked(options) || planet.exported || !generationFinished(planet))
        return;
    planet.exported = true;
    const int number = ++run.planets;
    if (!options.exportPath.empty())
        run.written += exportPlanetTo(planet, SaveTarget::replacing(planetPath(options.exportPath, number)));
    if (!mapsAsked(options))
        return;
    MapTargets targets;
    if (!options.mapPath.empty())
        targets.colour = SaveTarget::replacing(planetPath(options.mapPath, number));
    if (!options.heightMapPath.empty())
        targets.height = SaveTarget::replacing(planetPath(options.heightMapPath, number));
    run.written += std::size_t(saveMapsCounted(planet, targets, options.mapWidth));
}

bool savesAskedFailed()
{
    return run.written < run.asked;
}
