#pragma once

#include "IcosphereWeld.h"

#include <cmath>

// Where the sea must stand for a share of the surface to be land.
//
// A triangle of the land counts as land when its height, the mean of its
// corners' radii (each generatedRadius, the three summed from the smallest),
// is above the sea radius; it weighs its share of
// the surface: the area of its undeformed copy on the sea sphere. Exact to
// the triangle: the share reached differs from the share asked by less than
// the largest triangle's share, unless triangles of one equal height must be
// taken or left together. A share of 0 puts the sea above the highest
// vertex and a share of 1 below the lowest, so that no corner of a triangle
// left or taken breaks it.
struct SeaLevel {
    double seaRadius = 1.0;         // strictly between the highest height left and the lowest taken
    double landShare = 0.0;         // 0 to 1: the share of the surface above seaRadius
    double largestTriangleShare = 0.0;
};

// land and sea: x, y, z per soup corner, as weld numbers them; share 0 to 1.
// Throws std::bad_alloc when the working arrays (16 bytes a triangle) cannot
// be had.
SeaLevel seaLevelForLand(const IcosphereWeld& weld, const float* land, const float* sea, double share);

// A triangle's height as seaLevelForLand measures it, from its corners' radii.
double triangleHeight(double a, double b, double c);

// A vertex's radius as generated, in radii of the undeformed sphere: the
// length of its land (x, y, z) over that of its undeformed copy on the sea
// sphere (unit, x, y, z), each in double precision. Exactly 1 where no plane
// moved the vertex, since its land is then its copy's very floats; the
// copy's own length is 1 only within rounding, so the land's length alone
// would put such a vertex above or below a sea at 1 by chance. unit null:
// an undeformed length of exactly 1 (land made by hand).
double generatedRadius(const float* land, const float* unit);

// Whether a vertex is land: its generatedRadius above seaRadius. The one
// test of land and sea: the sea level, climate, drainage, erosion and the
// physical scale all decide by it, as the maps do by generatedRadius.
// Plain square roots, within a few units in the last place of
// generatedRadius's hypot, decide wherever a margin of a millionth of a
// millionth of the sea radius leaves no doubt (and cost a fraction of it:
// drainage asks for every vertex at every erosion step); generatedRadius
// decides the rest.
inline bool aboveSea(const float* land, const float* unit, double seaRadius)
{
    const auto length = [](const float* p) {
        return std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
    };
    const double quick = unit ? length(land) / length(unit) : length(land);
    if (std::abs(quick - seaRadius) > 1e-12 * std::abs(seaRadius))
        return quick > seaRadius;
    return generatedRadius(land, unit) > seaRadius;
}
