#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class LandSnapshot;
class Planet;

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
