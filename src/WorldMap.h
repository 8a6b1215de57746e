#pragma once

#include "OptionTable.h"
#include "Screenshot.h"
#include "WorldShape.h"

#include <array>
#include <cstdint>
#include <functional>
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
};

// The unit direction through the centre of pixel (i, j) of a map width wide.
std::array<double, 3> mapDirection(int i, int j, int width);

// Radius of every welded vertex of land, a snapshot of planet's: its distance
// from the centre in sea radii (the land's length over the undeformed
// sphere's). Exactly 1 where no plane moved it.
std::vector<double> vertexRadii(const Planet& planet, const LandSnapshot& land);

// The rows of directions a lookup takes: row(j, directions) fills the
// directions of row j, one per column. Called from two threads at once.
using RowDirections = std::function<void(int j, std::array<double, 3>* directions)>;

// The land triangle a direction passes through: its three welded vertices
// and their weights where the ray crosses it (0 or more, summing to 1).
struct PixelCorners {
    std::uint32_t vertex[3];
    float weight[3];
};

// What a corners lookup hands on: row j's corners, one per column. Called
// from two threads at once, for different rows.
using RowCorners = std::function<void(int j, const PixelCorners* corners)>;

// mapDirection's directions, row by row, for a map width wide.
RowDirections mapRows(int width);

// The land's radius seen from the centre in any direction: the land triangle
// whose undeformed copy the direction passes through, found down the
// icosphere's own subdivision, and the corners' radii interpolated where the
// ray crosses that flat triangle. The maps and the cube faces look up through
// it. The planet must outlive it.
class LandRadii {
public:
    // Reads the vertices' radii (vertexRadii) from land, a snapshot of
    // planet's land. Throws std::bad_alloc.
    LandRadii(const Planet& planet, const LandSnapshot& land);
    // The same from the land as it stands at the end of the plane under way.
    explicit LandRadii(Planet& planet);
    // Any value per welded vertex looked up the same way, in place of the
    // radius (minRadius and maxRadius are the values').
    LandRadii(const Planet& planet, std::vector<double> values);

    // radius[j * columns + i] for the directions of rows x columns, each
    // within [minRadius, maxRadius]. Rows are shared with one more thread.
    // Throws std::system_error when the thread cannot start (nothing is left
    // running).
    void lookUp(int columns, int rows, const RowDirections& row, float* radius) const;

    // The triangle under each direction of rows x columns, found as lookUp
    // finds it, handed to use row by row: for values kept per welded vertex
    // (the climate). Throws as lookUp does.
    void lookUpCorners(int columns, int rows, const RowDirections& row, const RowCorners& use) const;

    float minRadius = 1.0f; // the smallest and largest vertex radius
    float maxRadius = 1.0f;

private:
    const Planet& planet;
    std::vector<double> radii; // per welded vertex
};

// The grid of a map width wide (MAP_WIDTH_MIN to MAP_WIDTH_MAX), each
// pixel's radius looked up by LandRadii along mapDirection. Throws std::bad_alloc without memory and
// std::system_error when the thread cannot start (nothing is left running).
HeightGrid buildHeightGrid(const Planet& planet, const LandSnapshot& land, int width);

// The same with the fresh water's share per welded vertex looked up into
// the grid's water.
HeightGrid buildHeightGrid(const Planet& planet, const LandSnapshot& land, int width, std::vector<double> water);

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
