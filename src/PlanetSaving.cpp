#include "PlanetSaving.h"

#include "CommandLine.h"
#include "CubeFaces.h"
#include "Failure.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MapGeoreference.h"
#include "Planet.h"
#include "ColourMap.h"
#include "WorldMap.h"

#include <string>

namespace {
// Set by a failed export; the exit status with --export says so.
bool anExportFailed = false;
// Set by a map that could not be saved; the exit status with --map or
// --heightmap says so.
bool aMapFailed = false;
// Set by cube faces that could not all be saved; the exit status with
// --cube-faces says so.
bool cubeFacesFailed = false;

bool mapsAsked(const Options& options)
{
    return !options.mapPath.empty() || !options.heightMapPath.empty();
}

// What became of one map: the name it was written to, or the whole
// message saying why it was not.
struct MapOutcome {
    bool written = false;
    std::string text;
};

// Writes one map with its world file and coordinate system beside it; what
// names the map in the messages. A map whose sidecar could not be written
// has failed.
template <typename Picture>
MapOutcome writeMap(const Picture& picture, const SaveTarget& target, const std::string& comment, const std::string& what)
{
    std::string error, written, sidecar;
    if (!writePng(target, picture, comment, error, &written, PngCompression::Fast))
        return {false, "Could not save the " + what + " " + target.name() + ": " + error};
    if (!writeGeoreference(target, written, picture.width, picture.height, sidecar, error))
        return {false, "Could not save " + sidecar + " beside the " + what + " " + written + ": " + error};
    return {true, written};
}

bool logged(const std::optional<MapOutcome>& outcome, const char* what, std::uint32_t seed)
{
    if (!outcome)
        return true;
    if (outcome->written)
        ORB_LOG(Info, "Planet (seed %u): %s saved to %s", seed, what, outcome->text.c_str());
    else
        ORB_LOG(Error, "%s", outcome->text.c_str());
    return outcome->written;
}

// The colour map is made and written on a second thread while this one does
// the height map; the outcomes are logged in a fixed order afterwards.
bool writeMaps(Planet& planet, const MapTargets& targets, int width)
{
    const HeightGrid grid = buildHeightGrid(planet, width);
    const std::string header = headerComment(meshInfoOf(planet));
    std::optional<MapOutcome> colour, height;
    ThreadGroup helper;
    if (targets.colour)
        helper.start([&] { colour = writeMap(colourMapOf(grid), *targets.colour, header, "map"); });
    if (targets.height)
        height = writeMap(heightMapOf(grid), *targets.height, heightMapComment(header, grid.minRadius, grid.maxRadius),
                          "height map");
    helper.join();
    const bool colourWritten = logged(colour, "map", planet.seed);
    return logged(height, "height map", planet.seed) && colourWritten;
}

// Writes one cube face picture; false (logged) when it could not be.
template <typename Picture>
bool writeFace(const Picture& picture, const SaveTarget& target, const std::string& comment, std::string* written)
{
    std::string error;
    if (writePng(target, picture, comment, error, written, PngCompression::Fast))
        return true;
    ORB_LOG(Error, "Could not save the cube face %s: %s; the faces after it are not saved.", target.name().c_str(),
            error.c_str());
    return false;
}

// Face by face, so that only one face's pictures are held at a time; stops
// at the first file that cannot be written.
bool writeCubeFaces(Planet& planet, const CubeFaceTarget& targetFor, int size)
{
    const LandRadii land(planet);
    const std::string header = headerComment(meshInfoOf(planet));
    const std::string heightComment = heightMapComment(header, land.minRadius, land.maxRadius);
    std::string first;
    for (int face = 0; face < CUBE_FACES; ++face) {
        const std::string name = std::string("-") + CUBE_FACE_NAMES[face];
        const std::vector<float> radii = cubeFaceRadii(land, face, size);
        if (!writeFace(cubeHeightFace(radii, size, land.minRadius, land.maxRadius), targetFor(name + ".png"),
                       heightComment, face == 0 ? &first : nullptr) ||
            !writeFace(cubeColourFace(radii, face, size), targetFor(name + "-colour.png"), header, nullptr))
            return false;
    }
    const std::string stem = first.substr(0, first.size() - std::string("-px.png").size());
    ORB_LOG(Info, "Planet (seed %u): cube faces saved to %s-{px,nx,py,ny,pz,nz}{,-colour}.png", planet.seed,
            stem.c_str());
    return true;
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
    if (planet.liveJob) {
        info.applied = planet.liveJob->applied.load();
        info.stopped = planet.liveJob->finished && info.applied < planet.iterations;
    }
    return info;
}

bool exportPlanetTo(Planet& planet, const SaveTarget& target)
{
    std::string error, written;
    const LandView land{planet.weld, planet.vertices.data(), &planet.mutex};
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

bool saveCubeFacesOf(Planet& planet, const CubeFaceTarget& targetFor, int size)
{
    bool written = false;
    const bool ran = runAtBoundary([&] { written = writeCubeFaces(planet, targetFor, size); },
                                   {"Not enough memory for the cube faces of the planet; they are not saved.",
                                    "Could not start the thread that makes the cube faces"});
    cubeFacesFailed = cubeFacesFailed || !ran || !written;
    return ran && written;
}

bool savesAsked(const Options& options)
{
    return !options.exportPath.empty() || mapsAsked(options) || !options.cubeFacesPrefix.empty();
}

void saveAskedFiles(Planet& planet, const Options& options)
{
    if (!savesAsked(options) || planet.exported || !generationFinished(planet))
        return;
    planet.exported = true;
    if (!options.exportPath.empty())
        exportPlanetTo(planet, SaveTarget::replacing(options.exportPath));
    if (mapsAsked(options)) {
        MapTargets targets;
        if (!options.mapPath.empty())
            targets.colour = SaveTarget::replacing(options.mapPath);
        if (!options.heightMapPath.empty())
            targets.height = SaveTarget::replacing(options.heightMapPath);
        saveMapsOf(planet, targets, options.mapWidth);
    }
    if (!options.cubeFacesPrefix.empty())
        saveCubeFacesOf(planet, [&](const std::string& ending) {
            return SaveTarget::replacing(options.cubeFacesPrefix + ending);
        }, options.cubeSize);
}

bool savesAskedFailed(const Options& options)
{
    return (anExportFailed && !options.exportPath.empty()) || (aMapFailed && mapsAsked(options)) ||
           (cubeFacesFailed && !options.cubeFacesPrefix.empty());
}
