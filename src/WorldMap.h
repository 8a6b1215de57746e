#pragma once

#include "LandRadii.h"
#include "OptionTable.h"
#include "Screenshot.h"
#include "WorldShape.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class LandSnapshot;
class Planet;

// The land's radius seen from the centre through every pixel of an
// equirectangular map: north (+y) at the top, longitude 0 (+x) in the middle
// and +90 degrees (-z) right of it. Radius 1 is the sea.
struct HeightGrid {
    int width = 0;
    int height = 0;
    std::vector<float> radius; // per pixel, rows from the north
    float minRadius = 1.0f;    // the smallest and largest vertex radius; every pixel lies between
    float maxRadius = 1.0f;
    std::vector<float> water;  // per pixel the fresh water's share (Rivers.h); empty: none drawn
    std::vector<float> ice;    // per pixel the climate's ice, 0 to 1 (ClimateMaps.h iceShares); empty: none known
};

// The unit direction through the centre of pixel (i, j) of a map width wide.
std::array<double, 3> mapDirection(int i, int j, int width);

// mapDirection's directions, row by row, for a map width wide.
RowDirections mapRows(int width);

// The grid of a map width wide (MAP_WIDTH_MIN to MAP_WIDTH_MAX), each
// pixel's radius looked up by LandRadii along mapDirection. Throws std::bad_alloc without memory and
// std::system_error when the thread cannot start (nothing is left running).
HeightGrid buildHeightGrid(const Planet& planet, const LandSnapshot& land, int width);

// The same with the fresh water's share per welded vertex looked up into
// the grid's water, and the climate's ice per welded vertex, when given,
// into its ice.
HeightGrid buildHeightGrid(const Planet& planet, const LandSnapshot& land, int width, std::vector<double> water,
                           std::vector<double> ice = {});

// The same for the planet's land as it stands at the end of the plane under way.
HeightGrid buildHeightGrid(Planet& planet, int width);

// The same from land's radii.
HeightGrid buildHeightGrid(const LandRadii& land, int width);

// A height map's sample for radius: round((r - rmin) / (rmax - rmin) *
// 65535), 0 when the planet is flat (rmax == rmin).
std::uint16_t heightSample(float radius, float minRadius, float maxRadius);

// The height map: heightSample of every pixel, 0 everywhere on a flat planet.
GreyImage16 heightMapOf(const HeightGrid& grid);

// header followed by ", radius RMIN to RMAX", the radii to 9 significant
// digits, as shape shows and saves them (a relief stretches the span, not
// the picture).
std::string heightMapComment(const std::string& header, float minRadius, float maxRadius,
                             const WorldShape& shape = {});
