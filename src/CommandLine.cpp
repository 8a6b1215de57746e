#include "CommandLine.h"

#include "MeshExport.h"
#include "WorldMap.h"

#include <charconv>
#include <ostream>
#include <string_view>

#ifndef ORBIVANE_VERSION
#define ORBIVANE_VERSION "unknown"
#endif

namespace {

std::optional<std::uint32_t> parseSeed(std::string_view text)
{
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<int> parseMapWidth(std::string_view text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < MAP_WIDTH_MIN || value > MAP_WIDTH_MAX)
        return std::nullopt;
    return value;
}

// True when the file name of path ends in ".png", in any case, after a name.
bool isPngPath(std::string_view path)
{
    const std::string_view name = path.substr(path.find_last_of('/') + 1);
    if (name.size() <= 4)
        return false;
    std::string extension(name.substr(name.size() - 4));
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".png";
}

// Splits "--name=value" into name and value; a bare option has no value.
std::pair<std::string_view, std::optional<std::string_view>> splitOption(std::string_view arg)
{
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos || arg.substr(0, 2) != "--")
        return {arg, std::nullopt};
    return {arg.substr(0, eq), arg.substr(eq + 1)};
}

ParsedCommandLine refuse(std::ostream& err, const std::string& why)
{
    err << "orbivane: " << why << "\n\n" << usageText();
    ParsedCommandLine parsed;
    parsed.exitStatus = 2;
    return parsed;
}

} // namespace

std::string usageText()
{
    return "Usage: orbivane [--seed N] [--export FILE] [--map FILE.png] [--heightmap FILE.png] [--map-width W]\n"
           "Generates a random planet and shows it turning in a window.\n"
           "\n"
           "It asks three questions on the console:\n"
           "  the number of subdivisions of the icosahedron (4 is quick, 8 is detailed),\n"
           "  the number of landscape iterations (5000 gives continents),\n"
           "  whether to watch the generation live (y/n).\n"
           "Closing the window asks again; the end of input ends the program.\n"
           "\n"
           "Options:\n"
           "  --seed N              make every planet from seed N (0 to 4294967295) instead of the time\n"
           "  --export FILE         write every planet to FILE (.ply or .obj) once it is generated\n"
           "  --map FILE.png        write every planet's colour map (equirectangular) once it is generated\n"
           "  --heightmap FILE.png  write every planet's 16-bit greyscale height map once it is generated\n"
           "  --map-width W         width of the maps in pixels, 16 to 16384 (default 2048); the height is W / 2\n"
           "  --help                show this text and exit\n"
           "  --version             show the version and exit\n"
           "\n"
           "Keys in the window:\n"
           "  Esc  close the window; the questions come back\n"
           "  P    save the frame as Orbivane-SEED-N.png\n"
           "  E    export the planet shown as Orbivane-SEED-N.ply\n"
           "  M    save the maps of the planet shown as Orbivane-SEED-N-map.png and Orbivane-SEED-N-height.png\n"
           "  F    show the land by its facets, each triangle flat, or smooth again\n"
           "\n"
           "Holding the planet in the window:\n"
           "  drag with the left button  turn the planet under the pointer\n"
           "  mouse wheel                come nearer or go farther (1.5 to 8 radii, 3 at the start)\n"
           "  Space                      pause or resume the turning\n"
           "  Home or R                  bring back the starting view\n";
}

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    ParsedCommandLine parsed;
    for (int i = 1; i < argc; ++i) {
        auto [name, value] = splitOption(argv[i]);
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
        if (name != "--seed" && name != "--export" && name != "--map" && name != "--heightmap" && name != "--map-width")
            return refuse(err, "unknown option " + std::string(argv[i]));
        if (!value) {
            if (i + 1 >= argc)
                return refuse(err, std::string(name) + " needs a value");
            value = argv[++i];
        }
        if (name == "--seed") {
            parsed.options.seed = parseSeed(*value);
            if (!parsed.options.seed)
                return refuse(err, "--seed takes a whole number from 0 to 4294967295, not '" + std::string(*value) + "'");
        } else if (name == "--map-width") {
            const std::optional<int> width = parseMapWidth(*value);
            if (!width)
                return refuse(err, "--map-width takes a whole number from 16 to 16384, not '" + std::string(*value) + "'");
            parsed.options.mapWidth = *width;
        } else if (name == "--export") {
            if (!isExportPath(std::string(*value)))
                return refuse(err, "--export takes a file name ending in .ply or .obj, not '" + std::string(*value) + "'");
            parsed.options.exportPath = *value;
        } else {
            if (!isPngPath(*value))
                return refuse(err, std::string(name) + " takes a file name ending in .png, not '" + std::string(*value) + "'");
            (name == "--map" ? parsed.options.mapPath : parsed.options.heightMapPath) = *value;
        }
    }
    return parsed;
}
