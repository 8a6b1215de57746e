#include "PlanetSaving.h"

#include "BiomeLegend.h"
#include "ClimateMaps.h"
#include "CommandLine.h"
#include "CubeFaces.h"
#include "Failure.h"
#include "LandSnapshot.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MapGeoreference.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "ColourMap.h"
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

// The cube faces count as one file: all twelve are written or the save
// failed; so do the biome map with its legend, and the two climate maps.
std::size_t filesAsked(const Options& options)
{
    return std::size_t(!options.exportPath.empty()) + !options.mapPath.empty() + !options.heightMapPath.empty() +
           !options.cubeFacesPrefix.empty() + !options.biomeMapPath.empty() + !options.climateMapsPrefix.empty();
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
MapOutcome writeMap(const Picture& picture, const SaveTarget& target, const std::string& comment,
                    const std::string& what, const MapMetadata& metadata)
{
    std::string error, written, sidecar;
    if (!writePng(target, picture, comment, error, &written, PngCompression::Fast))
        return {false, "Could not save the " + what + " " + target.name() + ": " + error};
    if (!writeGeoreference(target, written, picture.width, picture.height, sidecar, error, metadata))
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
int writeMaps(Planet& planet, const MapTargets& targets, int width, ClimateView view)
{
    const LandSnapshot land(planet);
    const LandRadii radii(planet, land);
    const HeightGrid grid = buildHeightGrid(radii, width);
    const MeshInfo info = meshInfoOf(planet, land);
    const std::string header = headerComment(info);
    const MapMetadata metadata{1000.0 * info.radiusKm, std::nullopt};
    std::vector<float> channels;
    if (targets.colour && needsClimate(view))
        channels = viewVertexChannels(climateOf(planet, land)->climate, view);
    std::optional<MapOutcome> colour, height;
    const auto writeColour = [&] {
        colour = writeMap(channels.empty() ? colourMapOf(grid, planet.shape.seaRadius)
                                           : climateColourMapOf(grid, radii, channels, planet.shape.seaRadius),
                          *targets.colour, header, "map", metadata);
    };
    const auto writeHeight = [&](const SaveTarget& target) {
        height = writeMap(heightMapOf(grid), target,
                          heightMapComment(header, grid.minRadius, grid.maxRadius, planet.shape), "height map",
                          metadata);
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
    const int colourWritten = targets.colour && logged(colour, "map", planet.seed);
    return colourWritten + int(targets.height && logged(height, "height map", planet.seed));
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
bool writeCubeFaces(Planet& planet, const CubeFaceTarget& targetFor, int size, ClimateView view)
{
    const LandSnapshot snapshot(planet);
    const LandRadii land(planet, snapshot);
    std::vector<float> channels;
    if (needsClimate(view))
        channels = viewVertexChannels(climateOf(planet, snapshot)->climate, view);
    const double sea = planet.shape.seaRadius;
    const auto colourFace = [&](const std::vector<float>& radii, int face) {
        return channels.empty() ? cubeColourFace(radii, face, size, sea)
                                : climateCubeColourFace(radii, land, face, size, channels, sea);
    };
    const std::string header = headerComment(meshInfoOf(planet, snapshot));
    const std::string heightComment = heightMapComment(header, land.minRadius, land.maxRadius, planet.shape);
    const SaveTarget firstTarget = targetFor(std::string("-") + CUBE_FACE_NAMES[0] + ".png");
    std::string first;
    const auto target = [&](const std::string& ending) { return sameNumberAs(targetFor(ending), firstTarget, first); };
    for (int face = 0; face < CUBE_FACES; ++face) {
        const std::string name = std::string("-") + CUBE_FACE_NAMES[face];
        const std::vector<float> radii = cubeFaceRadii(land, face, size);
        if (!writeFace(cubeHeightFace(radii, size, land.minRadius, land.maxRadius), target(name + ".png"),
                       heightComment, face == 0 ? &first : nullptr) ||
            !writeFace(colourFace(radii, face), target(name + "-colour.png"),
                       header, nullptr))
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

// Whether a mesh of that name carries the biome classes: a .glb does.
bool carriesBiomes(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name.ends_with(".glb");
}

// The biome map at path with its legend beside it (path's FILE.json); false
// (logged) when either is not written.
bool writeBiomeMap(const IndexedImage& map, const std::string& path, const std::string& header,
                   const MapMetadata& metadata, std::uint32_t seed)
{
    if (!logged(writeMap(map, SaveTarget::replacing(path), header, "biome map", metadata), "biome map", seed))
        return false;
    SafeFile legend(SaveTarget::replacing(biomeLegendPath(path)));
    legend.write(biomeLegendJson(2) + "\n");
    if (!legend.commit()) {
        ORB_LOG(Error, "Could not save the legend %s beside the biome map: %s", biomeLegendPath(path).c_str(),
                failureText(legend.failure).c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u): biome legend saved to %s", seed, legend.finalPath.c_str());
    return true;
}

// Both climate maps of prefix, the planet-th planet's; stops at the first
// that is not written.
bool writeClimateMaps(const LandRadii& radii, const Climate& climate, const std::string& prefix, int number,
                      int width, const std::string& header, MapMetadata metadata, std::uint32_t seed)
{
    for (const char* kind : CLIMATE_MAP_NAMES) {
        const bool temperature = std::string(kind) == "temperature";
        metadata.band = temperature ? TEMPERATURE_BAND : RAIN_BAND;
        const std::string what = std::string(kind) + " map";
        const std::vector<float>& values = temperature ? climate.temperature : climate.rain;
        const GreyImage16 map = climateMapOf(radii, width, values, *metadata.band);
        const SaveTarget target = SaveTarget::replacing(planetPath(prefix + "-" + kind + ".png", number));
        if (!logged(writeMap(map, target, header, what, metadata), what.c_str(), seed))
            return false;
    }
    return true;
}

// The biome map and the climate maps options ask for, of the number-th
// planet; how many of the two sets were written whole.
std::size_t writeClimateFiles(Planet& planet, const Options& options, int number)
{
    const LandSnapshot land(planet);
    const LandRadii radii(planet, land);
    const std::shared_ptr<const PlanetClimate> climate = climateOf(planet, land);
    const MeshInfo info = meshInfoOf(planet, land);
    const std::string header = headerComment(info);
    const MapMetadata metadata{1000.0 * info.radiusKm, std::nullopt};
    std::size_t written = 0;
    if (!options.biomeMapPath.empty())
        written += writeBiomeMap(biomeMapOf(radii, options.mapWidth, climate->climate.biome),
                                 planetPath(options.biomeMapPath, number), header, metadata, planet.seed);
    if (!options.climateMapsPrefix.empty())
        written += writeClimateMaps(radii, climate->climate, options.climateMapsPrefix, number, options.mapWidth,
                                    header, metadata, planet.seed);
    return written;
}

std::size_t saveClimateFilesOf(Planet& planet, const Options& options, int number)
{
    std::size_t written = 0;
    runAtBoundary([&] { written = writeClimateFiles(planet, options, number); },
                  {"Not enough memory for the climate maps of the planet; they are not saved.",
                   "Could not start the thread that makes the climate maps"});
    return written;
}

int saveMapsCounted(Planet& planet, const MapTargets& targets, int width, ClimateView view)
{
    int written = 0;
    runAtBoundary([&] { written = writeMaps(planet, targets, width, view); },
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
    info.radiusKm = planet.radiusKm;
    info.metresPerUnit = physicalScaleOf(planet, land).metresPerUnit;
    if (planet.liveJob) {
        info.applied = land.applied();
        info.stopped = land.stopped();
    }
    return info;
}

bool exportPlanetTo(Planet& planet, const SaveTarget& target, ClimateView view)
{
    std::string error, written;
    const LandSnapshot snapshot(planet);
    LandView land{planet.weld, planet.vertices.data(), snapshot.copied(),
                  planet.water ? planet.water->vertices.data() : nullptr};
    land.shape = planet.shape;
    land.view = view;
    std::shared_ptr<const PlanetClimate> climate;
    if (needsClimate(view) || carriesBiomes(target.name())) {
        climate = climateOf(planet, snapshot);
        land.climate = &climate->climate;
    }
    if (!exportMesh(target, land, meshInfoOf(planet, snapshot), error, &written)) {
        ORB_LOG(Error, "Could not export the planet to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u) exported to %s", planet.seed, written.c_str());
    return true;
}

bool saveMapsOf(Planet& planet, const MapTargets& targets, int width, ClimateView view)
{
    return saveMapsCounted(planet, targets, width, view) ==
           int(targets.colour.has_value()) + int(targets.height.has_value());
}

bool saveCubeFacesOf(Planet& planet, const CubeFaceTarget& targetFor, int size, ClimateView view)
{
    bool written = false;
    const bool ran = runAtBoundary([&] { written = writeCubeFaces(planet, targetFor, size, view); },
                                   {"Not enough memory for the cube faces of the planet; they are not saved.",
                                    "Could not start the thread that makes the cube faces"});
    return ran && written;
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
        run.written +=
            exportPlanetTo(planet, SaveTarget::replacing(planetPath(options.exportPath, number)), options.view);
    if (mapsAsked(options)) {
        MapTargets targets;
        if (!options.mapPath.empty())
            targets.colour = SaveTarget::replacing(planetPath(options.mapPath, number));
        if (!options.heightMapPath.empty())
            targets.height = SaveTarget::replacing(planetPath(options.heightMapPath, number));
        run.written += std::size_t(saveMapsCounted(planet, targets, options.mapWidth, options.view));
    }
    if (!options.cubeFacesPrefix.empty())
        run.written += saveCubeFacesOf(planet, [&](const std::string& ending) {
            return SaveTarget::replacing(planetPath(options.cubeFacesPrefix + ending, number));
        }, options.cubeSize, options.view);
    if (!options.biomeMapPath.empty() || !options.climateMapsPrefix.empty())
        run.written += saveClimateFilesOf(planet, options, number);
}

bool savesAskedFailed()
{
    return run.written < run.asked;
}
