#pragma once

#include "Drainage.h"
#include "OptionTable.h"

#include <cstdint>
#include <optional>
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

// The catchment a river needs by default on a land of vertexCount vertices,
// as area on the unit sphere: a 4000th of the sphere up to 7 subdivisions'
// 163,842 vertices, and on finer lands the area of as many vertices as that
// is at 7 (about 41), so that a finer land shows smaller rivers and higher
// orders (5 or more at 9 subdivisions) while the coarse ones keep their look.
double defaultRiverArea(std::size_t vertexCount);

// The least flow of a river on a land of vertexCount vertices: the rain of
// UNIFORM_RAIN on a catchment of areaKm2 on a planet of radiusKm, or on
// defaultRiverArea without one, and never less than on 16 vertices, so that
// no river is one vertex's noise and coarse lands are not all river.
double riverThreshold(std::size_t vertexCount, std::optional<double> areaKm2 = std::nullopt,
                      double radiusKm = RADIUS_KM_DEFAULT);

// The rivers of drainage carrying threshold or more. Throws std::bad_alloc.
RiverNetwork findRivers(const Drainage& drainage, double threshold);

// A land's water: its drainage, its rivers at a riverThreshold, and what
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
// sea of seaRadius, land and sea told apart against unit (DrainageInput),
// its rivers carrying threshold (riverThreshold) or more. Throws std::bad_alloc.
LandWater landWater(const IcosphereWeld& weld, const float* positions, double seaRadius, const float* unit,
                    double threshold);
