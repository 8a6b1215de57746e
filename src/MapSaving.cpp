#include "MapSaving.h"

#include "BiomeLegend.h"
#include "ClimateMaps.h"
#include "CommandLine.h"
#include "CubeFaces.h"
#include "ElevationMap.h"
#include "Failure.h"
#include "GeoTiff.h"
#include "LandRadii.h"
#include "LandSnapshot.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MapGeoreference.h"
#include "NormalMap.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "SaveSet.h"
#include "SavedPlanet.h"
#include "Screenshot.h"
#include "WorldMap.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {
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

// One map's files as members of a set: the map, and the files beside it.
struct MapFiles {
    std::unique_ptr<SafeFile> map;
    std::vector<std::unique_ptr<SafeFile>> beside;
    SaveTarget target; // the map's
    bool geoTiff = false;
};

// Writes one map, a PNG with its world file and coordinate system beside it
// or a GeoTIFF alone, and any extra files that belong to it (a legend), into
// new members of set; false with error when the map cannot be encoded.
template <typename Picture>
bool addMap(const Picture& picture, const SaveTarget& target, const PngTexts& texts, const MapMetadata& metadata,
            std::vector<Sidecar> extra, MapFiles& files, SaveSet& set, std::string& error)
{
    files.target = target;
    files.geoTiff = isGeoTiffPath(target.isNumbered ? target.suffix : target.path);
    files.map = std::make_unique<SafeFile>(target);
    if (!encodeMap(*files.map, picture, texts, metadata, files.geoTiff, error))
        return false;
    set.add(*files.map);
    std::vector<Sidecar> beside;
    if (!files.geoTiff)
        beside = sidecarsOf(target, picture.width, picture.height, metadata);
    beside.insert(beside.end(), extra.begin(), extra.end());
    for (const Sidecar& sidecar : beside) {
        files.beside.push_back(std::make_unique<SafeFile>(sidecar.target));
        files.beside.back()->write(sidecar.text);
        set.add(*files.beside.back());
    }
    return true;
}

// The name a set's member map has, or was to have, in messages.
std::string mapNameIn(const SaveSet& set, const MapFiles& files)
{
    const SaveTarget& target = files.target;
    if (!files.map->finalPath.empty())
        return files.map->finalPath;
    return target.isNumbered && set.number > 0 ? target.prefix + std::to_string(set.number) + target.suffix
                                               : target.name();
}

// Writes one map and the files that belong to it as one set, as addMap
// makes them; what names the map in the messages.
template <typename Picture>
MapOutcome placeMap(const Picture& picture, const SaveTarget& target, const PngTexts& texts,
                    const std::string& what, const MapMetadata& metadata, std::vector<Sidecar> extra = {})
{
    std::string error;
    MapFiles files;
    SaveSet set;
    if (!addMap(picture, target, texts, metadata, std::move(extra), files, set, error))
        return {false, "Could not save the " + what + " " + target.name() + ": " + error};
    if (set.commit())
        return {true, files.map->finalPath};
    error = failureText(set.failed->failure);
    if (set.failed == files.map.get())
        return {false, "Could not save the " + what + " " + set.failedName + ": " + error};
    const std::size_t beside = files.beside.size();
    return {false, "Could not save " + set.failedName + " beside the " + what + " " + mapNameIn(set, files) +
                       ": " + error +
                       (set.undone ? (beside == 2 ? "; none of the three files is saved."
                                                  : "; none of its " + std::to_string(beside + 1) + " files is saved.")
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

// The names the eighteen faces were written to, in one: the part they share
// before and after the face's own, such as cf-{px,...}{,-colour,-normal}-2.png
// for the second planet; each name in full where they do not have that shape.
std::string facesWritten(const std::vector<std::unique_ptr<SafeFile>>& faces)
{
    std::string_view head = faces.front()->finalPath, tail = head;
    for (const std::unique_ptr<SafeFile>& face : faces) {
        const std::string_view name = face->finalPath;
        head = head.substr(0, std::size_t(std::mismatch(head.begin(), head.end(), name.begin(), name.end()).first -
                                          head.begin()));
        tail = tail.substr(tail.size() - std::size_t(std::mismatch(tail.rbegin(), tail.rend(), name.rbegin(),
                                                                   name.rend()).first - tail.rbegin()));
    }
    bool shaped = head.size() + tail.size() <= faces.front()->finalPath.size();
    for (std::size_t at = 0; at < faces.size() && shaped; ++at) {
        const std::string& name = faces[at]->finalPath;
        const char* kind = at % 3 == 0 ? "" : at % 3 == 1 ? "-colour" : "-normal"; // writeCubeFaces' order
        const std::string own = std::string(CUBE_FACE_NAMES[at / 3]) + kind;
        shaped = name.size() == head.size() + own.size() + tail.size() &&
                 name.compare(head.size(), own.size(), own) == 0;
    }
    if (shaped)
        return std::string(head) + "{px,nx,py,ny,pz,nz}{,-colour,-normal}" + std::string(tail);
    std::string all;
    for (const std::unique_ptr<SafeFile>& face : faces)
        all += (all.empty() ? "" : ", ") + face->finalPath;
    return all;
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

// Why the climate maps' set was not placed, and which files hold which planet.
void logClimateFailure(const SaveSet& set, const MapFiles (&files)[2])
{
    std::size_t kind = 0, members = 0;
    for (std::size_t k = 0; k < 2; ++k) {
        members += 1 + files[k].beside.size();
        for (const std::unique_ptr<SafeFile>& file : files[k].beside)
            if (set.failed == file.get())
                kind = k;
        if (set.failed == files[k].map.get())
            kind = k;
    }
    const std::string map = mapNameIn(set, files[kind]), error = failureText(set.failed->failure);
    const std::string outcome = set.undone ? "none of the climate maps' " + std::to_string(members) + " files is saved"
                                           : "the files named above hold the new planet, the others the old";
    if (set.failed == files[kind].map.get())
        ORB_LOG(Error, "Could not save the %s map %s: %s; %s.", CLIMATE_MAP_NAMES[kind], map.c_str(), error.c_str(),
                outcome.c_str());
    else
        ORB_LOG(Error, "Could not save %s beside the %s map %s: %s; %s.", set.failedName.c_str(),
                CLIMATE_MAP_NAMES[kind], map.c_str(), error.c_str(), outcome.c_str());
}

// Both climate maps of prefix, the number-th planet's, with the files beside
// them as one set: the temperature map never holds another planet than the
// rain map. False (logged) when they are not written.
bool writeClimateMaps(const LandRadii& radii, const Climate& climate, const std::string& prefix, int number,
                      int width, const PngTexts& texts, MapMetadata metadata, const Planet& planet)
{
    SaveSet set;
    MapFiles files[2];
    for (std::size_t kind = 0; kind < 2; ++kind) {
        const bool temperature = kind == 0;
        metadata.band = temperature ? TEMPERATURE_BAND : RAIN_BAND;
        const GreyImage16 map =
            climateMapOf(radii, width, temperature ? climate.temperature : climate.rain, *metadata.band);
        const std::string path = climateMapPath(prefix, CLIMATE_MAP_NAMES[kind]);
        const SaveTarget target = SaveTarget::replacing(planetPath(path, number));
        std::string error;
        if (!addMap(map, target, texts, metadata, {}, files[kind], set, error)) {
            ORB_LOG(Error, "Could not save the %s map %s: %s; neither climate map is saved.", CLIMATE_MAP_NAMES[kind],
                    target.name().c_str(), error.c_str());
            return false;
        }
    }
    if (!set.commit()) {
        logClimateFailure(set, files);
        return false;
    }
    for (std::size_t kind = 0; kind < 2; ++kind)
        ORB_LOG(Info, "Planet (%s): %s map saved to %s", planetLabel(planet).c_str(), CLIMATE_MAP_NAMES[kind],
                files[kind].map->finalPath.c_str());
    return true;
}

} // namespace

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
    // Every view's colours take their ice from the climate.
    const std::shared_ptr<const PlanetClimate> climate = targets.colour ? climateOf(planet, land) : nullptr;
    const HeightGrid grid = targets.colour ? buildHeightGrid(planet, land, width, freshWaterOf(planet, land),
                                                             iceShares(climate->climate))
                                           : buildHeightGrid(radii, width);
    const MeshInfo info = meshInfoOf(planet, land);
    const std::string header = headerComment(info), settings = settingsRecordOf(planet, info, view);
    const MapMetadata metadata{1000.0 * info.radiusKm, std::nullopt};
    const PhysicalScale scale = physicalScaleOf(planet, land);
    std::vector<float> channels;
    if (targets.colour && needsClimate(view))
        channels = viewVertexChannels(climate->climate, view);
    std::optional<MapOutcome> colour, height;
    const auto writeColour = [&] {
        colour = writeMap(
            [&] { return colourPictureOf(grid, radii, channels, planet.shape.seaRadius); }, *targets.colour,
            {header, settings}, "map", metadata);
    };
    const auto writeHeight = [&](const SaveTarget& target) {
        height = writeMap([&] { return elevationHeightMapOf(grid, scale); }, target,
                          {elevationHeightMapComment(header, grid, scale, planet.shape), settings},
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

// Face by face, so that only one face's pictures are held at a time; the
// eighteen files are one set, saved whole or not at all.
bool writeCubeFaces(Planet& planet, const CubeFaceTarget& targetFor, int size, ClimateView view)
{
    const LandSnapshot snapshot(planet);
    const LandRadii land(planet, snapshot);
    // Every view's colours take their ice from the climate.
    const std::shared_ptr<const PlanetClimate> climate = climateOf(planet, snapshot);
    std::vector<float> channels;
    if (needsClimate(view))
        channels = viewVertexChannels(climate->climate, view);
    const double sea = planet.shape.seaRadius;
    const LandRadii freshWater(planet, freshWaterOf(planet, snapshot));
    const LandRadii frozen(planet, iceShares(climate->climate));
    const auto colourFace = [&](const std::vector<float>& radii, int face, const std::vector<float>& water) {
        const std::vector<float> ice = cubeFaceRadii(frozen, face, size);
        return channels.empty() ? cubeColourFace(radii, face, size, sea, &water, &ice)
                                : climateCubeColourFace(radii, land, face, size, channels, sea, &water, &ice);
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
    ORB_LOG(Info, "Planet (%s): cube faces saved to %s", planetLabel(planet).c_str(), facesWritten(faces).c_str());
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

