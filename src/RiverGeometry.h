#pragma once

#include "Drainage.h"
#include "IcosphereWeld.h"
#include "Rivers.h"
#include "WorldShape.h"

#include <cstdint>
#include <vector>

// What the window draws of the water on the land, made from a drained land
// and its rivers. No GL here: the arrays are ready to be sent as they are.

// The least depth a lake is seen with, in sea radii: 20 fault plane steps,
// so that its water reads as open water, blue and nearly opaque, and not
// as the land below tinted (most lakes are only a few steps deep).
inline constexpr double LAKE_SEEN_DEPTH = 20.0 / 1500.0;

// The rivers of one Strahler order: lines[first] .. lines[first + count - 1].
struct RiverOrderLines {
    int order = 1;
    std::uint32_t first = 0; // index into RiverGeometry::lines
    std::uint32_t count = 0; // indices, two a segment
};

struct RiverGeometry {
    // Welded vertices, two a segment (a vertex and the next one downstream):
    // the land's own edges, so a line lies on the land as it is shown.
    // Grouped by order, lowest first.
    std::vector<std::uint32_t> lines;
    std::vector<RiverOrderLines> orders; // one a Strahler order present, lowest first
    // Triangles of the lakes, three indices into the lakes' corners each, in
    // the land's winding (clockwise seen from outside): every triangle with a
    // corner in a lake, flat at that lake's shown level, so the land above it
    // stands out of the water and the land below it is hidden. A corner is a
    // welded vertex and a lake it touches, shared by that lake's triangles.
    std::vector<std::uint32_t> lakeTriangles;
    // Per lake corner, x, y, z at its lake's shown level.
    std::vector<float> lakeSurface;
    // Per corner, what the sea's program reads as the land below the water
    // when the sea is at radius 1: a point in the corner's direction as far
    // below radius 1 as the land there is below the lake's surface, as shown,
    // and never less than LAKE_SEEN_DEPTH.
    std::vector<float> lakeFloor;

    bool empty() const { return lines.empty() && lakeTriangles.empty(); }
};

// The geometry of network's rivers and drainage's lakes on the welded land
// (positions: x, y, z per welded vertex, as generated), the lakes at the
// radii shape shows their levels at. Throws std::bad_alloc.
RiverGeometry riverGeometry(const Drainage& drainage, const RiverNetwork& network, const IcosphereWeld& weld,
                            const float* positions, const WorldShape& shape);
