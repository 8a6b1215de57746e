#include "PlanetSaving.h"

#include "ClimateMaps.h"
#include "CommandLine.h"
#include "Failure.h"
#include "LandRadii.h"
#include "Landscape.h"
#include "LandSnapshot.h"
#include "LogManager.h"
#include "NormalMap.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "RiverFile.h"
#include "Screenshot.h"
#include "WorldMap.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

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
    return !options.mapPath.empty() || !options.heightMapPath.empty() || !options.normalMapPath.empty() ||
           !options.demPath.empty();
}

// The cube faces count as one file: all eighteen are written or the save
// failed; so do the biome map with its legend, and the two climate maps.
std::size_t filesAsked(const Options& options)
{
    return std::size_t(!options.exportPath.empty()) + !options.mapPath.empty() + !options.heightMapPath.empty() +
           !options.cubeFacesPrefix.empty() + !options.biomeMapPath.empty() + !options.climateMapsPrefix.empty() +
           !options.riversPath.empty() + !options.normalMapPath.empty() + !options.demPath.empty() +
           !options.renderPath.empty();
}

// The colour map and the normal map of land, a snapshot of planet's, width
// pixels wide, the colours showing view, as PNG files. Throws std::bad_alloc
// when they cannot be made.
MeshTextures texturesOf(Planet& planet, const LandSnapshot& land, int width, ClimateView view,
                        const PngTexts& texts)
{
    const LandRadii radii(planet, land);
    // Every view's colours take their ice from the climate.
    const std::shared_ptr<const PlanetClimate> climate = climateOf(planet, land);
    const HeightGrid grid =
        buildHeightGrid(planet, land, width, freshWaterOf(planet, land), iceShares(climate->climate));
    std::vector<float> channels;
    if (needsClimate(view))
        channels = viewVertexChannels(climate->climate, view);
    MeshTextures textures;
    if (!encodePngBytes(colourPictureOf(grid, radii, channels, planet.shape.seaRadius), texts, textures.colourPng,
                        PngCompression::Fast) ||
        !encodePngBytes(normalMapOf(grid, planet.shape), texts, textures.normalPng, PngCompression::Fast))
        throw std::bad_alloc();
    return textures;
}

// Whether the land is final: batch, or a live thread that has ended.
bool generationFinished(const Planet& planet)
{
    return !planet.liveJob || planet.liveJob->finished;
}

// textures made when width asks for them (above 0) and target's format
// carries them (a .glb); null otherwise, or when they could not be made
// (logged: the land is then exported without them).
const MeshTextures* texturesFor(Planet& planet, const LandSnapshot& land, const SaveTarget& target, int width,
                                ClimateView view, const PngTexts& texts, MeshTextures& textures)
{
    if (width <= 0 || !holdsTextures(target.name()))
        return nullptr;
    const bool made = runAtBoundary([&] { textures = texturesOf(planet, land, width, view, texts); },
                                    {"Not enough memory for the textures of the planet; it is exported without them.",
                                     "Could not start the thread that makes the textures"});
    return made ? &textures : nullptr;
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

bool exportPlanetTo(Planet& planet, const SaveTarget& target, ClimateView view, ExportForm form)
{
    std::string error, written;
    const LandSnapshot snapshot(planet);
    LandView land{planet.weld, planet.vertices.data(), snapshot.copied(),
                  planet.water ? planet.water->vertices.data() : nullptr};
    land.shape = planet.shape;
    land.view = view;
    land.compress = form.compress;
    bool asAsked = true; // nothing asked for is left out
    std::shared_ptr<const PlanetClimate> climate;
    // Every view's colours take their ice from the climate (and a .glb
    // carries the biome classes).
    try {
        climate = climateOf(planet, snapshot);
        land.climate = &climate->climate;
    } catch (const std::bad_alloc&) {
        ORB_LOG(Error, "Not enough memory for the climate of the planet; it is exported with the heights' colours.");
        land.view = ClimateView::Heights;
        asAsked = false;
    }
    std::vector<std::uint32_t> rivers;
    if (holdsLines(target.name())) {
        const bool found = runAtBoundary([&] { rivers = riverSegments(waterOf(planet, snapshot)); },
                                         {"Not enough memory for the rivers of the planet; it is exported without them.",
                                          "Could not find the rivers of the planet"});
        land.rivers = found && !rivers.empty() ? &rivers : nullptr;
        asAsked = asAsked && found;
    }
    MeshInfo info = meshInfoOf(planet, snapshot);
    info.settings = settingsRecordOf(planet, info, land.view);
    MeshTextures textures;
    land.textures =
        texturesFor(planet, snapshot, target, form.textureWidth, land.view, {headerComment(info), info.settings}, textures);
    asAsked = asAsked && (land.textures || form.textureWidth <= 0 || !holdsTextures(target.name()));
    if (!exportMesh(target, land, info, error, &written)) {
        ORB_LOG(Error, "Could not export the planet to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (%s) exported to %s", planetLabel(planet).c_str(), written.c_str());
    return asAsked;
}

bool saveMapsOf(Planet& planet, const MapTargets& targets, int width, ClimateView view)
{
    return saveMapsCounted(planet, targets, width, view) ==
           int(targets.colour.has_value()) + int(targets.height.has_value()) + int(targets.normal.has_value()) +
               int(targets.dem.has_value());
}

bool saveCubeFacesOf(Planet& planet, const CubeFaceTarget& targetFor, int size, ClimateView view)
{
    bool written = false;
    const bool ran = runAtBoundary([&] { written = writeCubeFaces(planet, targetFor, size, view); },
                                   {"Not enough memory for the cube faces of the planet; they are not saved.",
                                    "Could not start the thread that makes the cube faces"});
    return ran && written;
}

bool saveRiversOf(Planet& planet, const SaveTarget& target, ClimateView view)
{
    std::string error, written;
    bool saved = false;
    const bool ran = runAtBoundary(
        [&] {
            const LandSnapshot snapshot(planet);
            const LandWater water = waterOf(planet, snapshot);
            const MeshInfo info = meshInfoOf(planet, snapshot);
            saved = writeRiverFile(target, water, planet.weld, physicalScaleOf(planet, snapshot), headerComment(info),
                                   settingsRecordOf(planet, info, view), error, &written);
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

void oweAskedFiles(const Options& options)
{
    run.asked += filesAsked(options);
}

void saveAskedFiles(Planet& planet, const Options& options)
{
    if (!savesAsked(options) || planet.exported || !generationFinished(planet))
        return;
    planet.exported = true;
    run.asked += filesAsked(options);
    const int number = ++run.planets;
    std::size_t written = 0;
    if (!options.exportPath.empty())
        written += exportPlanetTo(planet, SaveTarget::replacing(planetPath(options.exportPath, number)), options.view,
                                  {options.compress, options.glbTextureWidth});
    if (mapsAsked(options)) {
        MapTargets targets;
        if (!options.mapPath.empty())
            targets.colour = SaveTarget::replacing(planetPath(options.mapPath, number));
        if (!options.heightMapPath.empty())
            targets.height = SaveTarget::replacing(planetPath(options.heightMapPath, number));
        if (!options.normalMapPath.empty())
            targets.normal = SaveTarget::replacing(planetPath(options.normalMapPath, number));
        if (!options.demPath.empty())
            targets.dem = SaveTarget::replacing(planetPath(options.demPath, number));
        written += std::size_t(saveMapsCounted(planet, targets, options.mapWidth, options.view));
    }
    if (!options.riversPath.empty())
        written += saveRiversOf(planet, SaveTarget::replacing(planetPath(options.riversPath, number)), options.view);
    if (!options.cubeFacesPrefix.empty())
        written += saveCubeFacesOf(planet, [&](const std::string& ending) {
            return SaveTarget::replacing(planetPath(options.cubeFacesPrefix + ending, number));
        }, options.cubeSize, options.view);
    if (!options.biomeMapPath.empty() || !options.climateMapsPrefix.empty())
        written += saveClimateFilesOf(planet, options, number);
    // The files of a planet without the sea level or the erosion asked for
    // are written, but none of them is the planet asked for.
    run.written += planet.shapeShort ? 0 : written;
}

bool savesAskedFailed()
{
    return run.written < run.asked;
}

void savePoster(const Planet& planet, const Image& poster, const std::string& notDrawn, const Options& options)
{
    const SaveTarget target = SaveTarget::replacing(planetPath(options.renderPath, run.planets));
    std::string error = notDrawn, written;
    const MeshInfo info = meshInfoOf(planet);
    const PngTexts texts{headerComment(info), settingsRecordOf(planet, info, options.view)};
    if (poster.width > 0 && writePng(target, poster, texts, error, &written)) {
        run.written += !planet.shapeShort;
        ORB_LOG(Info, "Planet (%s): picture saved to %s", planetLabel(planet).c_str(), written.c_str());
    } else {
        ORB_LOG(Error, "Could not save the picture %s: %s", target.name().c_str(), error.c_str());
    }
}
