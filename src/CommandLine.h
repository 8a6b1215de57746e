#pragma once

#include "CubeFaces.h"
#include "WorldMap.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

struct Options {
    std::optional<std::uint32_t> seed; // every generation's seed, instead of the time
    std::string exportPath;            // .ply, .obj or .glb written after each generation; empty: none
    std::string mapPath;               // colour map (.png) written after each generation; empty: none
    std::string heightMapPath;         // 16-bit height map (.png) written after each generation; empty: none
    int mapWidth = MAP_WIDTH_DEFAULT;  // pixels, MAP_WIDTH_MIN to MAP_WIDTH_MAX; the maps are half as high
    std::string cubeFacesPrefix;       // PREFIX-px.png ... PREFIX-nz-colour.png after each generation; empty: none
    int cubeSize = CUBE_SIZE_DEFAULT;  // a cube face's side in pixels, CUBE_SIZE_MIN to CUBE_SIZE_MAX
    std::optional<double> landPercent; // 0 to 100: the sea stands where this share of the surface is land
    double relief = 1.0;               // heights from the sea stretched by this, above 0 up to 10
    std::string riversPath;            // rivers, lakes and coasts (.geojson) written after each generation; empty: none
    int erosionSteps = 0;              // 0: the land as generated; 1 to EROSION_STEPS_MAX steps of erosion
};

constexpr int EROSION_STEPS_MAX = 1000;

struct ParsedCommandLine {
    Options options;
    // -1: run the program; otherwise exit at once with this status (0 after
    // --help or --version, 2 after a bad option with the usage on err).
    int exitStatus = -1;
};

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

std::string usageText();

// The file the planet-th planet of a run is saved to under an option's path:
// path itself for the first, NAME-K.EXT beside it for the K-th.
std::string planetPath(const std::string& path, int planet);
