#pragma once

#include "Drainage.h"

#include <cstdint>
#include <vector>

// The rivers of a drained land: the vertices whose flow reaches a threshold,
// each with its Strahler order (a source is 1; where two of order k meet the
// river below is k + 1, otherwise it keeps the larger order), drawn as lines
// of one order each.

// Where a river's line ends.
enum class RiverEnd { Sea, Lake, River };

struct River {
    // Welded vertices from its start (a source, a confluence that raised the
    // order, or a lake's outlet) downstream; the last is where it ends: a
    // sea vertex, a lake's vertex, or a vertex of a river of higher order.
    // No vertex but the last lies in a lake.
    std::vector<std::uint32_t> path;
    int order = 1;
    double flow = 0.0; // at its last vertex before the end (as Drainage::flow)
    RiverEnd end = RiverEnd::Sea;
};

struct RiverNetwork {
    double threshold = 0.0;          // the least flow a river carries
    std::vector<std::uint8_t> order; // per vertex: its Strahler order, 0 off the rivers
    std::vector<River> rivers;       // by their first vertex's place upstream in Drainage::stack, last first
};

// The least flow of a river on a land of vertexCount vertices: the rain of
// UNIFORM_RAIN on a 4000th of the sphere, and never less than on 16 vertices,
// so that coarse lands are not all river.
double riverThreshold(std::size_t vertexCount);

// The rivers of drainage carrying threshold or more. Throws std::bad_alloc.
RiverNetwork findRivers(const Drainage& drainage, double threshold);

// A land's water: its drainage, its rivers at riverThreshold, and what
// drained it, for the files and maps.
struct LandWater {
    SphereGeometry geometry;
    Drainage drainage;
    RiverNetwork network;
};

// Per welded vertex how much of it is fresh water, for the maps to look up
// between vertices: 1 in a lake; on a river outside lakes 0.5 + 0.1 x its
// order, up to 0.95, so that the pixels of larger rivers (share 0.5 or
// more) reach farther towards the land beside them; 0 elsewhere.
std::vector<double> freshWaterShares(const LandWater& water);

// Every river vertex outside the lakes with the vertex its water goes to,
// as pairs, in Drainage::stack's order: the lines a mesh draws the rivers with.
std::vector<std::uint32_t> riverSegments(const LandWater& water);

// The water of the welded land positions (x, y, z per welded vertex) over a
// sea of seaRadius, land and sea told apart against unit (DrainageInput).
// Throws std::bad_alloc.
LandWater landWater(const IcosphereWeld& weld, const float* positions, double seaRadius, const float* unit);
