#include "PlanetSaving.h"

#include "BiomeLegend.h"
#include "ClimateMaps.h"
#include "CommandLine.h"
#include "CubeFaces.h"
#include "ElevationMap.h"
#include "Failure.h"
#include "GeoTiff.h"
#include "LandSnapshot.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MapGeoreference.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "ColourMap.h"
#include "SaveSet.h"
#include "SettingsRecord.h"
#include "Screenshot.h"
#include "LandNormals.h"
#include "NormalMap.h"
#include "RiverFile.h"
#include "WorldMap.h"

#include <memory>
#include <new>
#include <string>
#include <type_traits>
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

// What became of one map: the name it was written to, or the whole
// message saying why it was not.
struct MapOutcome {
    bool written = false;
    std::string text;
};

// A map into file: a GeoTIFF for a name ending in .tif (which holds what a
// PNG keeps beside it), else a PNG; a DEM is only ever a GeoTIFF.
template <typename Picture>
bool encodeMap(SafeFile& file, const Picture& picture, const PngTexts& texts, const MapMetadata& metadata,
               bool geoTiff, std::string& error)
{
    if constexpr (std::is_same_v<Picture, FloatImage>)
        return encodeGeoTiff(file, picture, texts, metadata, error);
    else
        return geoTiff ? encodeGeoTiff(file, picture, texts, metadata, error)
                       : encodePng(file, picture, texts, error, PngCompression::Fast);
}

// Writes one map, a PNG with its world file and coordinate system beside it
// or a GeoTIFF alone, and any extra files that belong to it (a legend), all
// as one set; what names the map in the messages.
template <typename Picture>
MapOutcome placeMap(const Picture& picture, const SaveTarget& target, const PngTexts& texts,
                    const std::string& what, const MapMetadata& metadata, std::vector<Sidecar> extra = {})
{
    std::string error;
    const bool geoTiff = isGeoTiffPath(target.isNumbered ? target.suffix : target.path);
    SafeFile map(target);
    if (!encodeMap(map, picture, texts, metadata, geoTiff, error))
        return {false, "Could not save the " + what + " " + target.name() + ": " + error};
    SaveSet set;
    set.add(map);
    std::vector<std::unique_ptr<SafeFile>> sidecars;
    std::vector<Sidecar> beside;
    if (!geoTiff)
        beside = sidecarsOf(target, picture.width, picture.height, metadata);
    beside.insert(beside.end(), extra.begin(), extra.end());
    for (const Sidecar& sidecar : beside) {
        sidecars.push_back(std::make_unique<SafeFile>(sidecar.target));
        sidecars.back()->write(sidecar.text);
        set.add(*sidecars.back());
    }
    if (set.commit())
        return {true, map.finalPath};
    error = failureText(set.failed->failure);
    if (set.failed == &map)
        return {false, "Could not save the " + what + " " + set.failedName + ": " + error};
    const std::string mapName =
        target.isNumbered && set.number > 0 ? target.prefix + std::to_string(set.number) + target.suffix : target.name();
    return {false, "Could not save " + set.failedName + " beside the " + what + " " + mapName + ": " + error +
                       (set.undone ? (beside.size() == 2 ? "; none of the three files is saved."
                                                         : "; none of its " + std::to_string(beside.size() + 1) +
                                                               " files is saved.")
                                   : "; the files named above hold the new planet.")};
}

// Makes one map's picture by make() and writes it as placeMap does. A map
// without the memory to be made or written fails alone: the other map of the
// pair is still saved.
template <typename MakePicture>
MapOutcome writeMap(const MakePicture& make, const SaveTarget& target, const PngTexts& texts,
                    const std::string& what, const MapMetadata& metadata)
{
    try {
        return placeMap(make(), target, texts, what, metadata);
    } catch (const std::bad_alloc&) {
        return {false, "Could not save the " + what + " " + target.name() + ": not enough memory"};
    }
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

// The colour map of grid as --map writes it: in the heights' colours when
// channels (viewVertexChannels) is empty, else in the view's.
Image colourPictureOf(const HeightGrid& grid, const LandRadii& radii, const std::vector<float>& channels,
                      double seaRadius)
{
    return channels.empty() ? colourMapOf(grid, seaRadius) : climateColourMapOf(grid, radii, channels, seaRadius);
}

// The maps of one snapshot of the land. The colour map is made and written on
// a second thread while this one does the height map, except for a numbered
// pair, whose height map must wait for the number the colour map takes; the
// outcomes are logged in a fixed order afterwards. The DEM and the normal map
// (numbered as the colour map) come last, from the same grid. Returns how
// many of the maps asked for were written.
int writeMaps(Planet& planet, const MapTargets& targets, int width, ClimateView view)
{
    const LandSnapshot land(planet);
    const LandRadii radii(planet, land);
    const HeightGrid grid = targets.colour ? buildHeightGrid(planet, land, width, freshWaterOf(planet, land))
                                           : buildHeightGrid(radii, width);
    const MeshInfo info = meshInfoOf(planet, land);
    const std::string header = headerComment(info), settings = settingsRecordOf(planet, info, view);
    const MapMetadata metadata{1000.0 * info.radiusKm, std::nullopt};
    const PhysicalScale scale = physicalScaleOf(planet, land);
    std::vector<float> channels;
    if (targets.colour && needsClimate(view))
        channels = viewVertexChannels(climateOf(planet, land)->climate, view);
    std::optional<MapOutcome> colour, height;
    const auto writeColour = [&] {
        colour = writeMap(
            [&] { return colourPictureOf(grid, radii, channels, planet.shape.seaRadius); }, *targets.colour,
            {header, settings}, "map", metadata);
    };
    const auto writeHeight = [&](const SaveTarget& target) {
        height = writeMap([&] { return heightMapOf(grid); }, target,
                          {heightMapComment(header, grid.minRadius, grid.maxRadius, planet.shape), settings},
                          "height map", {metadata.radiusMetres, heightMapBand(grid, scale)});
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
    std::optional<MapOutcome> dem, normal;
    if (targets.dem)
        dem = writeMap([&] { return elevationMapOf(grid, scale); }, *targets.dem, PngTexts{header, settings}, "DEM",
                       {metadata.radiusMetres, ELEVATION_BAND});
    if (targets.normal)
        normal = writeMap([&] { return normalMapOf(grid, planet.shape); },
                          colour && colour->written ? sameNumberAs(*targets.normal, *targets.colour, colour->text)
                                                    : *targets.normal,
                          {header, settings}, "normal map", metadata);
    return int(targets.colour && logged(colour, "map", planet)) +
           int(targets.height && logged(height, "height map", planet)) +
           int(targets.dem && logged(dem, "DEM", planet)) + int(targets.normal && logged(normal, "normal map", planet));
}

// Writes one cube face picture into a new member of faces; false (logged)
// when it could not be.
template <typename Picture>
bool writeFace(const Picture& picture, const SaveTarget& target, const PngTexts& texts,
               std::vector<std::unique_ptr<SafeFile>>& faces, SaveSet& set)
{
    std::string error;
    faces.push_back(std::make_unique<SafeFile>(target));
    set.add(*faces.back());
    if (encodePng(*faces.back(), picture, texts, error, PngCompression::Fast))
        return true;
    ORB_LOG(Error, "Could not save the cube face %s: %s; none of the faces is saved.", target.name().c_str(),
            error.c_str());
    return false;
}

// Face by face, so that only one face's pictures are held at a time; the
// eighteen files are one set, saved whole or not at all.
bool writeCubeFaces(Planet& planet, const CubeFaceTarget& targetFor, int size, ClimateView view)
{
    const LandSnapshot snapshot(planet);
    const LandRadii land(planet, snapshot);
    std::vector<float> channels;
    if (needsClimate(view))
        channels = viewVertexChannels(climateOf(planet, snapshot)->climate, view);
    const double sea = planet.shape.seaRadius;
    const LandRadii freshWater(planet, freshWaterOf(planet, snapshot));
    const auto colourFace = [&](const std::vector<float>& radii, int face, const std::vector<float>& water) {
        return channels.empty() ? cubeColourFace(radii, face, size, sea, &water)
                                : climateCubeColourFace(radii, land, face, size, channels, sea, &water);
    };
    const MeshInfo info = meshInfoOf(planet, snapshot);
    const PngTexts colourTexts{headerComment(info), settingsRecordOf(planet, info, view)};
    const PngTexts heightTexts{
        heightMapComment(colourTexts.comment, land.minRadius, land.maxRadius, planet.shape), colourTexts.settings};
    std::vector<std::unique_ptr<SafeFile>> faces;
    SaveSet set;
    for (int face = 0; face < CUBE_FACES; ++face) {
        const std::string name = std::string("-") + CUBE_FACE_NAMES[face];
        const std::vector<float> radii = cubeFaceRadii(land, face, size);
        const std::vector<float> water = cubeFaceRadii(freshWater, face, size);
        if (!writeFace(cubeHeightFace(radii, size, land.minRadius, land.maxRadius), targetFor(name + ".png"),
                       heightTexts, faces, set) ||
            !writeFace(colourFace(radii, face, water), targetFor(name + "-colour.png"), colourTexts, faces, set) ||
            !writeFace(cubeNormalFace(radii, face, size, planet.shape), targetFor(name + "-normal.png"), colourTexts,
                       faces, set))
            return false;
    }
    if (!set.commit()) {
        ORB_LOG(Error, "Could not save the cube face %s: %s; %s.", set.failedName.c_str(),
                failureText(set.failed->failure).c_str(),
                set.undone ? "none of the faces is saved"
                           : "the faces named above hold the new planet, the others the old");
        return false;
    }
    const std::string& first = faces.front()->finalPath;
    const std::string stem = first.substr(0, first.size() - std::string("-px.png").size());
    ORB_LOG(Info, "Planet (%s): cube faces saved to %s-{px,nx,py,ny,pz,nz}{,-colour,-normal}.png", planetLabel(planet).c_str(),
            stem.c_str());
    return true;
}

// The colour map and the normal map of land, a snapshot of planet's, width
// pixels wide, the colours showing view, as PNG files. Throws std::bad_alloc
// when they cannot be made.
MeshTextures texturesOf(Planet& planet, const LandSnapshot& land, int width, ClimateView view,
                        const PngTexts& texts)
{
    const LandRadii radii(planet, land);
    const HeightGrid grid = buildHeightGrid(planet, land, width, freshWaterOf(planet, land));
    std::vector<float> channels;
    if (needsClimate(view))
        channels = viewVertexChannels(climateOf(planet, land)->climate, view);
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

// Whether a mesh of that name carries the biome classes: a .glb does.
bool carriesBiomes(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name.ends_with(".glb");
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

// The biome map at path with its legend beside it (path's FILE.json); false
// (logged) when either is not written.
bool writeBiomeMap(const IndexedImage& map, const std::string& path, const PngTexts& texts,
                   const MapMetadata& metadata, const Planet& planet)
{
    const Sidecar legend{SaveTarget::replacing(biomeLegendPath(path)), biomeLegendJson(2) + "\n"};
    if (!logged(placeMap(map, SaveTarget::replacing(path), texts, "biome map", metadata, {legend}), "biome map", planet))
        return false;
    ORB_LOG(Info, "Planet (%s): biome legend saved to %s", planetLabel(planet).c_str(), legend.target.path.c_str());
    return true;
}

// Both climate maps of prefix, the planet-th planet's; stops at the first
// that is not written.
bool writeClimateMaps(const LandRadii& radii, const Climate& climate, const std::string& prefix, int number,
                      int width, const PngTexts& texts, MapMetadata metadata, const Planet& planet)
{
    for (const char* kind : CLIMATE_MAP_NAMES) {
        const bool temperature = std::string(kind) == "temperature";
        metadata.band = temperature ? TEMPERATURE_BAND : RAIN_BAND;
        const std::string what = std::string(kind) + " map";
        const std::vector<float>& values = temperature ? climate.temperature : climate.rain;
        const GreyImage16 map = climateMapOf(radii, width, values, *metadata.band);
        const SaveTarget target = SaveTarget::replacing(planetPath(climateMapPath(prefix, kind), number));
        if (!logged(placeMap(map, target, texts, what, metadata), what.c_str(), planet))
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
    const PngTexts texts{headerComment(info), settingsRecordOf(planet, info, options.view)};
    const MapMetadata metadata{1000.0 * info.radiusKm, std::nullopt};
    std::size_t written = 0;
    if (!options.biomeMapPath.empty())
        written += writeBiomeMap(biomeMapOf(radii, options.mapWidth, climate->climate.biome),
                                 planetPath(options.biomeMapPath, number), texts, metadata, planet);
    if (!options.climateMapsPrefix.empty())
        written += writeClimateMaps(radii, climate->climate, options.climateMapsPrefix, number, options.mapWidth,
                                    texts, metadata, planet);
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

std::string settingsRecordOf(const Planet& planet, const MeshInfo& info, ClimateView view)
{
    PlanetSettings settings;
    settings.seed = planet.seed;
    settings.subdivisions = planet.subdivisions;
    // A live land caught part-way is the whole live land of the planes it holds.
    settings.iterations = info.applied >= 0 && info.applied < info.iterations ? info.applied : info.iterations;
    settings.live = planet.liveJob != nullptr;
    settings.landPercent = planet.landPercent;
    settings.relief = planet.shape.relief;
    settings.radiusKm = planet.radiusKm;
    settings.highestMetres = planet.highestMetres;
    settings.view = view;
    settings.erosionSteps = planet.erosionSteps;
    return settingsRecord(settings);
}

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
    info.radiusKm = planet.radiusKm;
    try {
        info.metresPerUnit = physicalScaleOf(planet, land).metresPerUnit;
    } catch (const std::bad_alloc&) {
        info.metresPerUnit = 0.0; // not known: the headers leave the size out
    }
    info.erosionSteps = planet.erosionSteps;
    if (planet.liveJob) {
        info.applied = land.applied();
        info.stopped = land.stopped();
    }
    return info;
}

bool exportPlanetTo(Planet& planet, const SaveTarget& target, ClimateView view, ExportForm form)
{
    std::string error, written;
    const LandSnapshot snapshot(planet);
    LandView land{planet.weld, planet.vertices.data(), snapshot.copied(),
                  planet.water ? planet.water->vertices.data() : nullptr};
    land.shape = planet.shape;
    land.view = view;
    land.compress = form.compress;
    std::shared_ptr<const PlanetClimate> climate;
    if (needsClimate(view) || carriesBiomes(target.name())) {
        try {
            climate = climateOf(planet, snapshot);
            land.climate = &climate->climate;
        } catch (const std::bad_alloc&) {
            ORB_LOG(Error, "Not enough memory for the climate of the planet; it is exported with the heights' colours.");
            land.view = ClimateView::Heights;
        }
    }
    std::vector<std::uint32_t> rivers;
    if (holdsLines(target.name())) {
        const bool found = runAtBoundary([&] { rivers = riverSegments(waterOf(planet, snapshot)); },
                                         {"Not enough memory for the rivers of the planet; it is exported without them.",
                                          "Could not find the rivers of the planet"});
        land.rivers = found && !rivers.empty() ? &rivers : nullptr;
    }
    MeshInfo info = meshInfoOf(planet, snapshot);
    info.settings = settingsRecordOf(planet, info, land.view);
    MeshTextures textures;
    land.textures =
        texturesFor(planet, snapshot, target, form.textureWidth, land.view, {headerComment(info), info.settings}, textures);
    if (!exportMesh(target, land, info, error, &written)) {
        ORB_LOG(Error, "Could not export the planet to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (%s) exported to %s", planetLabel(planet).c_str(), written.c_str());
    return true;
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
            saved = writeRiverFile(target, water, planet.weld, headerComment(info), settingsRecordOf(planet, info, view),
                                   error, &written);
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
    if (!options.exportPath.empty())
        run.written +=
            exportPlanetTo(planet, SaveTarget::replacing(planetPath(options.exportPath, number)), options.view,
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
        run.written += std::size_t(saveMapsCounted(planet, targets, options.mapWidth, options.view));
    }
    if (!options.riversPath.empty())
        run.written +=
            saveRiversOf(planet, SaveTarget::replacing(planetPath(options.riversPath, number)), options.view);
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

void savePoster(const Planet& planet, const Image& poster, const Options& options)
{
    const SaveTarget target = SaveTarget::replacing(planetPath(options.renderPath, run.planets));
    std::string error = "it could not be drawn", written;
    const MeshInfo info = meshInfoOf(planet);
    const PngTexts texts{headerComment(info), settingsRecordOf(planet, info, options.view)};
    if (poster.width > 0 && writePng(target, poster, texts, error, &written)) {
        ++run.written;
        ORB_LOG(Info, "Planet (%s): picture saved to %s", planetLabel(planet).c_str(), written.c_str());
    } else {
        ORB_LOG(Error, "Could not save the picture %s: %s", target.name().c_str(), error.c_str());
    }
}
