#include "CommandLine.h"

#include "FileIdentity.h"
#include "OptionValues.h"
#include "SettingsFile.h"
#include "SettingsRecord.h"
#include "WorldShape.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <ostream>
#include <string_view>
#include <vector>

#ifndef ORBIVANE_VERSION
#define ORBIVANE_VERSION "unknown"
#endif

namespace {

// Where the extension of the file name in path starts (its last dot after
// a name), or the end of path.
std::size_t extensionAt(const std::string& path)
{
    const std::size_t name = path.find_last_of('/') + 1;
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot <= name ? path.size() : dot;
}

// The K of 2 or more for which planetPath(first, K) has path's file name; 0
// for none.
int laterPlanetNumber(const std::string& path, const std::string& first)
{
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const std::string firstName = first.substr(first.find_last_of('/') + 1);
    const std::size_t at = extensionAt(firstName);
    const std::string stem = firstName.substr(0, at) + "-", extension = firstName.substr(at);
    if (name.size() <= stem.size() + extension.size() || !name.starts_with(stem) || !name.ends_with(extension))
        return 0;
    const std::string_view digits(name.data() + stem.size(), name.size() - stem.size() - extension.size());
    int planet = 0;
    const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), planet);
    return error == std::errc() && stop == digits.data() + digits.size() && digits[0] != '0' ? planet : 0;
}

} // namespace

std::vector<std::pair<const char*, std::string>> outputFiles(const Options& options)
{
    const std::pair<const char*, const std::string*> paths[] = {
        {"--export", &options.exportPath}, {"--map", &options.mapPath}, {"--heightmap", &options.heightMapPath},
        {"--biome-map", &options.biomeMapPath}, {"--rivers", &options.riversPath}, {"--dem", &options.demPath},
        {"--render", &options.renderPath}, {"--normal-map", &options.normalMapPath}};
    std::vector<std::pair<const char*, std::string>> files;
    for (const auto& [option, path] : paths)
        if (!path->empty())
            files.emplace_back(option, *path);
    if (!options.biomeMapPath.empty())
        files.emplace_back("--biome-map", biomeLegendPath(options.biomeMapPath));
    if (!options.climateMapsPrefix.empty())
        for (const char* kind : CLIMATE_MAP_NAMES)
            files.emplace_back("--climate-maps", climateMapPath(options.climateMapsPrefix, kind));
    if (!options.cubeFacesPrefix.empty())
        for (const char* face : CUBE_FACE_NAMES)
            for (const char* kind : {".png", "-colour.png", "-normal.png"})
                files.emplace_back("--cube-faces", options.cubeFacesPrefix + "-" + face + kind);
    return files;
}

namespace {

// "--map A and --heightmap B name the same file" for the first two options
// that would write one file, the later replacing the earlier; empty if none.
std::string sameFileClash(const Options& options)
{
    const auto files = outputFiles(options);
    std::vector<std::string> identities;
    for (const auto& file : files)
        identities.push_back(fileIdentity(file.second));
    for (std::size_t a = 0; a < files.size(); ++a)
        for (std::size_t b = 0; b < files.size(); ++b) {
            const int planet = a == b ? 0 : laterPlanetNumber(files[b].second, files[a].second);
            if ((a < b && identities[a] == identities[b]) ||
                (planet > 1 && fileIdentity(planetPath(files[a].second, planet)) == identities[b]))
                return std::string(files[a].first) + " " + files[a].second + " and " + files[b].first + " " +
                       files[b].second + " name the same file" +
                       (planet > 1 ? " for planet " + std::to_string(planet) + " of a run" : "");
        }
    return {};
}

ParsedCommandLine refuse(std::ostream& err, const std::string& why)
{
    err << refusalText(why);
    ParsedCommandLine parsed;
    parsed.exitStatus = 2;
    return parsed;
}

} // namespace

std::string refusalText(const std::string& why)
{
    return "orbivane: " + why + "\n\n" + usageText();
}


namespace {

// Takes the value of a numeric option into options; the reason it is
// refused, or nothing.
std::optional<std::string> takeNumber(std::string_view name, std::string_view value, const std::string& quoted,
                                      Options& options)
{
    if (name == "--subdivisions" || name == "--iterations") {
        const bool subdivisions = name == "--subdivisions";
        const int high = subdivisions ? SUBDIVISIONS_OPTION_MAX : std::numeric_limits<int>::max();
        const std::optional<int> count = parseCount(value, 0, high);
        if (!count)
            return std::string(name) + " takes a whole number from 0 to " + std::to_string(high) + ", not " + quoted;
        (subdivisions ? options.answers.subdivisions : options.answers.iterations) = count;
    } else if (name == "--seed") {
        options.seed = parseSeed(value);
        if (!options.seed)
            return "--seed takes a whole number from 0 to 4294967295, not " + quoted;
    } else if (name == "--map-width") {
        const std::optional<int> width = parseCount(value, MAP_WIDTH_MIN, MAP_WIDTH_MAX);
        if (!width)
            return "--map-width takes a whole number from 16 to 16384, not " + quoted;
        options.mapWidth = *width;
    } else if (name == "--cube-size") {
        const std::optional<int> size = parseCount(value, CUBE_SIZE_MIN, CUBE_SIZE_MAX);
        if (!size)
            return "--cube-size takes a whole number from " + std::to_string(CUBE_SIZE_MIN) + " to " +
                   std::to_string(CUBE_SIZE_MAX) + ", not " + quoted;
        options.cubeSize = *size;
    } else if (name == "--glb-textures") {
        const std::optional<int> width = parseCount(value, GLB_TEXTURE_MIN, GLB_TEXTURE_MAX);
        if (!width)
            return "--glb-textures takes a whole number from " + std::to_string(GLB_TEXTURE_MIN) + " to " +
                   std::to_string(GLB_TEXTURE_MAX) + ", not " + quoted;
        options.glbTextureWidth = *width;
    } else if (name == "--live-seconds") {
        const std::optional<double> seconds = parseNumber(value, 0.0, 86400.0, false);
        if (!seconds)
            return "--live-seconds takes a number of seconds from 0 to 86400, not " + quoted;
        options.liveSeconds = *seconds;
    } else if (name == "--radius-km") {
        const std::optional<double> radius = parseNumber(value, 0.0, RADIUS_KM_MAX, true);
        if (!radius)
            return "--radius-km takes a number above 0, up to 1000000, not " + quoted;
        options.radiusKm = *radius;
    } else if (name == "--river-area") {
        options.riverAreaKm2 = parseNumber(value, 0.0, RIVER_AREA_KM2_MAX, true);
        if (!options.riverAreaKm2)
            return "--river-area takes a number of square km above 0, up to 10000000000000, not " + quoted;
    } else if (name == "--highest") {
        const std::optional<double> highest = parseNumber(value, 0.0, HIGHEST_METRES_MAX, true);
        if (!highest)
            return "--highest takes a number of metres above 0, up to 100000, not " + quoted;
        options.highestMetres = *highest;
    } else if (name == "--erosion") {
        const std::optional<int> steps = parseCount(value, 1, EROSION_STEPS_MAX);
        if (!steps)
            return "--erosion takes a whole number from 1 to " + std::to_string(EROSION_STEPS_MAX) + ", not " + quoted;
        options.erosionSteps = *steps;
    } else if (name == "--land") {
        options.landPercent = parseNumber(value, 0.0, 100.0, false);
        if (!options.landPercent)
            return "--land takes a number from 0 to 100, not " + quoted;
    } else {
        const std::optional<double> relief = parseNumber(value, WorldShape::RELIEF_MIN, WorldShape::RELIEF_MAX, true);
        if (!relief)
            return "--relief takes a number above 0, up to 10, not " + quoted;
        options.relief = *relief;
    }
    return std::nullopt;
}

// Takes the value of option name into options; the reason it is refused, or
// nothing.
std::optional<std::string> takeValue(std::string_view name, std::string_view value, Options& options)
{
    // Appended piece by piece: g++ 12 warns wrongly about "'" + string.
    std::string quoted(1, '\'');
    quoted.append(value).push_back('\'');
    if (name == "--export") {
        if (!isExportPath(std::string(value)))
            return "--export takes a file name ending in .ply, .obj or .glb, not " + quoted;
        options.exportPath = value;
    } else if (name == "--rivers") {
        if (!isGeoJsonPath(std::string(value)) && !isGeoPackagePath(std::string(value)))
            return "--rivers takes a file name ending in .geojson or .gpkg, not " + quoted;
        options.riversPath = value;
    } else if (name == "--cube-faces") {
        if (value.empty() || value.back() == '/')
            return "--cube-faces takes the start of the faces' file names, such as faces/planet, not " + quoted;
        options.cubeFacesPrefix = value;
    } else if (name == "--climate-maps") {
        if (value.empty() || value.back() == '/')
            return "--climate-maps takes the start of the maps' file names, such as maps/planet, not " + quoted;
        options.climateMapsPrefix = value;
    } else if (name == "--look-at") {
        options.lookAt = parseLookAt(value);
        if (!options.lookAt)
            return "--look-at takes LAT,LON or LAT,LON,DISTANCE (latitude -90 to 90, longitude -180 to 180, "
                   "distance 1.5 to 8), not " + quoted;
    } else if (name == "--hypsometry") {
        const std::optional<Hypsometry> hypsometry = hypsometryNamed(value);
        if (!hypsometry)
            return "--hypsometry takes earth or linear, not " + quoted;
        options.hypsometry = *hypsometry;
    } else if (name == "--view") {
        const std::optional<ClimateView> view = viewNamed(value);
        if (!view)
            return "--view takes biomes, heights, temperature or rain, not " + quoted;
        options.view = *view;
    } else if (name == "--dem") {
        if (!isGeoTiffPath(value))
            return "--dem takes a file name ending in .tif, not " + quoted;
        options.demPath = value;
    } else if (name == "--normal-map") {
        if (!isPngPath(value))
            return "--normal-map takes a file name ending in .png, not " + quoted;
        options.normalMapPath = value;
    } else if (name == "--map" || name == "--heightmap" || name == "--biome-map") {
        if (!isPngPath(value) && !isGeoTiffPath(value))
            return std::string(name) + " takes a file name ending in .png or .tif, not " + quoted;
        (name == "--map" ? options.mapPath : name == "--heightmap" ? options.heightMapPath : options.biomeMapPath) =
            value;
    } else {
        return takeNumber(name, value, quoted, options);
    }
    return std::nullopt;
}

// Takes switch name into options; the reason it is refused, or nothing.
std::optional<std::string> takeSwitch(std::string_view name, Options& options)
{
    if (name == "--no-window" || name == "--compress") {
        (name == "--compress" ? options.compress : options.noWindow) = true;
        return std::nullopt;
    }
    const char render = name == "--live" ? 'y' : 'n';
    if (options.answers.render && *options.answers.render != render)
        return "--live and --batch answer the same question; give one of them";
    options.answers.render = render;
    return std::nullopt;
}

// Takes the options of the settings record in the file at path into
// options, each unless the command line gave it (given): its own value wins.
// The reason the file is refused, or nothing.
std::optional<std::string> takeLike(const std::string& path, const std::vector<std::string_view>& given,
                                    Options& options)
{
    std::string why;
    const std::optional<std::string> record = readSettingsRecord(path, why);
    const std::optional<std::vector<std::string>> words = record ? settingsArguments(*record, why) : std::nullopt;
    if (!words)
        return "--like takes a file Orbivane saved; " + path + " " + why;
    const auto isGiven = [&](std::string_view name) {
        return std::find(given.begin(), given.end(), name) != given.end();
    };
    for (std::size_t w = 0; w < words->size(); ++w) {
        const std::string& name = (*words)[w];
        if (isSwitch(name)) {
            if (!isGiven("--live") && !isGiven("--batch"))
                takeSwitch(name, options);
            continue;
        }
        const std::string& value = (*words)[++w];
        if (isGiven(name))
            continue;
        if (const std::optional<std::string> refused = takeValue(name, value, options))
            return "--like " + path + ": its settings record is refused: " + *refused;
    }
    return std::nullopt;
}

// Completes options once the command line is read: the settings record
// --like names, then the checks that no two options name one file and that
// --compress and --glb-textures have a .glb, and not both. The reason they
// are refused, or nothing.
std::optional<std::string> completeOptions(const std::optional<std::string>& likePath,
                                           const std::vector<std::string_view>& given, Options& options)
{
    if (likePath)
        if (std::optional<std::string> why = takeLike(*likePath, given, options))
            return why;
    if (std::string clash = sameFileClash(options); !clash.empty())
        return clash;
    if (options.compress && !compressible(options.exportPath))
        return "--compress needs --export FILE.glb: only a .glb can be compressed";
    if (options.glbTextureWidth > 0 && !holdsTextures(options.exportPath))
        return "--glb-textures textures a .glb: it needs --export FILE.glb";
    if (options.glbTextureWidth > 0 && options.compress)
        return "--glb-textures and --compress do not go together: a textured .glb is written plain";
    return std::nullopt;
}

// --render's size and file, the two arguments after it (the size may be
// joined to it by '='); i moves past them. The reason it is refused, or nothing.
std::optional<std::string> takeRender(std::optional<std::string_view> size, int argc, const char* const* argv,
                                      int& i, Options& options)
{
    if (!size) {
        if (i + 1 >= argc)
            return "--render needs a size WxH and a file name";
        size = argv[++i];
    }
    const std::optional<std::pair<int, int>> pixels = parseSize(*size, RENDER_SIZE_MIN, RENDER_SIZE_MAX);
    if (!pixels)
        return "--render takes a size WxH with W and H from 16 to 8192, not '" + std::string(*size) + "'";
    if (i + 1 >= argc)
        return "--render needs a file name ending in .png after its size";
    const std::string_view path = argv[++i];
    if (!isPngPath(path))
        return "--render takes a file name ending in .png, not '" + std::string(path) + "'";
    options.renderWidth = pixels->first;
    options.renderHeight = pixels->second;
    options.renderPath = path;
    return std::nullopt;
}

} // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    ParsedCommandLine parsed;
    std::optional<std::string> likePath;
    // The options seen so far: a second --map would silently replace the first.
    std::vector<std::string_view> given;
    for (int i = 1; i < argc; ++i) {
        auto [name, value] = splitOption(argv[i]);
        const std::string_view option = name == "-h" ? "--help" : name;
        if (std::find(given.begin(), given.end(), option) != given.end())
            return refuse(err, std::string(option) + " is given more than once");
        given.push_back(option);
        if ((name == "--help" || name == "--version") && value)
            return refuse(err, std::string(name) + " takes no value");
        if (name == "--help" || name == "-h") {
            out << usageText();
            parsed.exitStatus = 0;
            return parsed;
        }
        if (name == "--version") {
            out << "orbivane " << ORBIVANE_VERSION << "\n";
            parsed.exitStatus = 0;
            return parsed;
        }
        if (isSwitch(name)) {
            if (value)
                return refuse(err, std::string(name) + " takes no value");
            if (const std::optional<std::string> why = takeSwitch(name, parsed.options))
                return refuse(err, *why);
            continue;
        }
        if (name == "--render") {
            if (const std::optional<std::string> why = takeRender(value, argc, argv, i, parsed.options))
                return refuse(err, *why);
            continue;
        }
        if (!takesValue(name))
            return refuse(err, "unknown option " + std::string(argv[i]));
        if (!value) {
            if (i + 1 >= argc)
                return refuse(err, std::string(name) + " needs a value");
            value = argv[++i];
        }
        if (name == "--like")
            likePath = *value;
        else if (const std::optional<std::string> why = takeValue(name, *value, parsed.options))
            return refuse(err, *why);
    }
    if (const std::optional<std::string> why = completeOptions(likePath, given, parsed.options))
        return refuse(err, *why);
    return parsed;
}

std::string biomeLegendPath(const std::string& mapPath)
{
    return mapPath.substr(0, extensionAt(mapPath)) + ".json";
}

std::string climateMapPath(const std::string& prefix, const char* kind)
{
    if (isGeoTiffPath(prefix))
        return prefix.substr(0, prefix.size() - 4) + "-" + kind + prefix.substr(prefix.size() - 4);
    return prefix + "-" + kind + ".png";
}

std::string planetPath(const std::string& path, int planet)
{
    if (planet <= 1)
        return path;
    const std::size_t at = extensionAt(path);
    return path.substr(0, at) + "-" + std::to_string(planet) + path.substr(at);
}
