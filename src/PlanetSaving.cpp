#include "PlanetSaving.h"

#include "CommandLine.h"
#include "CubeFaces.h"
#include "Failure.h"
#include "LandSnapshot.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MapGeoreference.h"
#include "Planet.h"
#include "ColourMap.h"
#include "LandNormals.h"
#include "RiverFile.h"
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

// The cube faces count as one file: all twelve are written or the save failed.
std::size_t filesAsked(const Options& options)
{
    return std::size_t(!options.exportPath.empty()) + !options.mapPath.empty() + !options.heightMapPath.empty() +
           !options.cubeFacesPrefix.empty() + !options.riversPath.empty();
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

// "seed S" for the saving records, with ", erosion N steps" for eroded land.
std::string planetLabel(const Planet& planet)
{
    std::string label = "seed " + std::to_string(planet.seed);
    return planet.erosionSteps > 0 ? label + ", erosion " + std::to_string(planet.erosionSteps) + " steps" : label;
}

bool logged(const std::optional<MapOutcome>& outcome, const char* what, const Planet& planet)
{
    if (!outcome)
        return true;
    if (outcome->written)
        ORB_LOG(Info, "Planet (%s): %s saved to %s", planetLabel(planet).c_str(), what, outcome->text.c_str());
    else
        ORB_LOG(Error, "%s", outcome->text.c_str());
    return outcome->written;
}

// The water of land, a snapshot of planet's.
LandWater waterOf(const Planet& planet, const LandSnapshot& land)
{
    std::vector<float> positions(3 * planet.weld.vertexCount());
    for (std::size_t v = 0; v < planet.weld.vertexCount(); ++v)
        std::copy_n(land.position(v), 3, &positions[3 * v]);
    return landWater(planet.weld, positions.data(), planet.shape.seaRadius);
}

std::vector<double> freshWaterOf(const Planet& planet, const LandSnapshot& land)
{
    return freshWaterShares(waterOf(planet, land));
}

// Files saved together under numbered names take exactly the number the
// first of them claimed (written to firstWritten), so two programs saving at
// once never mix their sets; a target named by the user stays as it is.
SaveTarget sameNumberAs(const SaveTarget& target, const SaveTarget& first, const std::string& firstWritten)
{
    if (!target.isNumbered || !first.isNumbered || firstWritten.empty())
        return target;
    const std::size_t digits = firstWritten.size() - first.prefix.size() - first.suffix.size();
    const int n = std::stoi(firstWritten.substr(first.prefix.size(), digits));
    return SaveTarget::numbered(target.prefix, target.suffix, n, n);
}

// The maps of one snapshot of the land. The colour map is made and written on
// a second thread while this one does the height map, except for a numbered
// pair, whose height map must wait for the number the colour map takes; the
// outcomes are logged in a fixed order afterwards. Returns how many of the
// maps asked for were written.
int writeMaps(Planet& planet, const MapTargets& targets, int width)
{
    const LandSnapshot land(planet);
    const HeightGrid grid = targets.colour ? buildHeightGrid(planet, land, width, freshWaterOf(planet, land))
                                           : buildHeightGrid(planet, land, width);
    const std::string header = headerComment(meshInfoOf(planet, land));
    std::optional<MapOutcome> colour, height;
    const auto writeColour = [&] { colour = writeMap(colourMapOf(grid, planet.shape.seaRadius), *targets.colour, header, "map"); };
    const auto writeHeight = [&](const SaveTarget& target) {
        height = writeMap(heightMapOf(grid), target,
                          heightMapComment(header, grid.minRadius, grid.maxRadius, planet.shape), "height map");
    };
    if (targets.colour && targets.height && targets.colour->isNumbered && targets.height->isNumbered) {
        writeColour();
        writeHeight(colour->written ? sameNumberAs(*targets.height, *targets.colour, colour->text) : *targets.height);
    } else {
        ThreadGroup helper;
        if (targets.colour)
            helper.start(writeColour);
        if (targets.height)
            writeHeight(*targets.height);
        helper.join();
    }
    const int colourWritten = targets.colour && logged(colour, "map", planet);
    return colourWritten + int(targets.height && logged(height, "height map", planet));
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
    const LandSnapshot snapshot(planet);
    const LandRadii land(planet, snapshot);
    const LandRadii freshWater(planet, freshWaterOf(planet, snapshot));
    const std::string header = headerComment(meshInfoOf(planet, snapshot));
    const std::string heightComment = heightMapComment(header, land.minRadius, land.maxRadius, planet.shape);
    const SaveTarget firstTarget = targetFor(std::string("-") + CUBE_FACE_NAMES[0] + ".png");
    std::string first;
    const auto target = [&](const std::string& ending) { return sameNumberAs(targetFor(ending), firstTarget, first); };
    for (int face = 0; face < CUBE_FACES; ++face) {
        const std::string name = std::string("-") + CUBE_FACE_NAMES[face];
        const std::vector<float> radii = cubeFaceRadii(land, face, size);
        const std::vector<float> water = cubeFaceRadii(freshWater, face, size);
        if (!writeFace(cubeHeightFace(radii, size, land.minRadius, land.maxRadius), target(name + ".png"),
                       heightComment, face == 0 ? &first : nullptr) ||
            !writeFace(cubeColourFace(radii, face, size, planet.shape.seaRadius, &water), target(name + "-colour.png"),
                       header, nullptr))
            return false;
    }
    const std::string stem = first.substr(0, first.size() - std::string("-px.png").size());
    ORB_LOG(Info, "Planet (%s): cube faces saved to %s-{px,nx,py,ny,pz,nz}{,-colour}.png", planetLabel(planet).c_str(),
            stem.c_str());
    return true;
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
    info.erosionSteps = planet.erosionSteps;
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
    info.erosionSteps = planet.erosionSteps;
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
    std::vector<std::uint32_t> rivers;
    if (holdsLines(target.name())) {
        const bool found = runAtBoundary([&] { rivers = riverSegments(waterOf(planet, snapshot)); },
                                         {"Not enough memory for the rivers of the planet; it is exported without them.",
                                          "Could not find the rivers of the planet"});
        land.rivers = found && !rivers.empty() ? &rivers : nullptr;
    }
    if (!exportMesh(target, land, meshInfoOf(planet, snapshot), error, &written)) {
        ORB_LOG(Error, "Could not export the planet to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (%s) exported to %s", planetLabel(planet).c_str(), written.c_str());
    return true;
}

bool saveMapsOf(Planet& planet, const MapTargets& targets, int width)
{
    return saveMapsCounted(planet, targets, width) == int(targets.colour.has_value()) + int(targets.height.has_value());
}

bool saveCubeFacesOf(Planet& planet, const CubeFaceTarget& targetFor, int size)
{
    bool written = false;
    const bool ran = runAtBoundary([&] { written = writeCubeFaces(planet, targetFor, size); },
                                   {"Not enough memory for the cube faces of the planet; they are not saved.",
                                    "Could not start the thread that makes the cube faces"});
    return ran && written;
}

bool saveRiversOf(Planet& planet, const SaveTarget& target)
{
    std::string error, written;
    bool saved = false;
    const bool ran = runAtBoundary(
        [&] {
            const LandSnapshot snapshot(planet);
            const LandWater water = waterOf(planet, snapshot);
            saved = writeRiverFile(target, water, planet.weld, headerComment(meshInfoOf(planet, snapshot)), error,
                                   &written);
        },
        {"Not enough memory for the rivers of the planet; they are not saved.", "Could not save the rivers"});
    if (!ran)
        return false;
    if (!saved) {
        ORB_LOG(Error, "Could not save the rivers to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (%s): rivers saved to %s", planetLabel(planet).c_str(), written.c_str());
    return true;
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
    if (mapsAsked(options)) {
        MapTargets targets;
        if (!options.mapPath.empty())
            targets.colour = SaveTarget::replacing(planetPath(options.mapPath, number));
        if (!options.heightMapPath.empty())
            targets.height = SaveTarget::replacing(planetPath(options.heightMapPath, number));
        run.written += std::size_t(saveMapsCounted(planet, targets, options.mapWidth));
    }
    if (!options.riversPath.empty())
        run.written += saveRiversOf(planet, SaveTarget::replacing(planetPath(options.riversPath, number)));
    if (!options.cubeFacesPrefix.empty())
        run.written += saveCubeFacesOf(planet, [&](const std::string& ending) {
            return SaveTarget::replacing(planetPath(options.cubeFacesPrefix + ending, number));
        }, options.cubeSize);
}

bool savesAskedFailed()
{
    return run.written < run.asked;
}
