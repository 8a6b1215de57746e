#pragma once

#include "IcosphereWeld.h"
#include "StopRequest.h"
#include "VertexNeighbours.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Where the rain that falls on the land runs: every depression above the sea
// filled to its spill point, one downhill neighbour (receiver) per land
// vertex on that filled surface, and the rain gathered down the tree it
// makes. Plain model code over the welded land; deterministic byte for byte,
// ties broken by the flood's order and so by vertex number.

// Rain in mm a year on every vertex when no climate gives it.
constexpr double UNIFORM_RAIN = 1000.0;

// How deep a filled depression must be at its deepest to hold a lake: half
// of one fault plane's step (1/1500 of the sea radius). Shallower ones are
// flats the water runs across.
constexpr double LAKE_DEPTH_MIN = 0.5 / 1500.0;

// The water a depression must gather to stay full against evaporation: its
// inflow (as Drainage::flow, so a climate's rain counts) at least this many
// times UNIFORM_RAIN on its own surface, i.e. a catchment 15 times the lake
// under uniform rain. Drier depressions are dry basins the water runs across.
constexpr double LAKE_CATCHMENT_MIN = 15.0;

// The least water a lake holds, in sea radii times area on the unit sphere:
// one fault step deep over a 4000th of the sphere. Smaller ones are ponds
// too small to show.
constexpr double LAKE_VOLUME_MIN = 4.0 * 3.14159265358979323846 / 4000.0 / 1500.0;

// The grid heights are rounded to: a 64th of one fault plane's step, so every
// height as generated lies on it.
constexpr double HEIGHT_QUANTUM = 1.0 / 96000.0;

// A depression that holds water: the flooded vertices of one level that
// touch one another, at least LAKE_DEPTH_MIN deep and LAKE_VOLUME_MIN in
// volume, fed by LAKE_CATCHMENT_MIN. Other depressions are filled for the
// water's way but stay land.
struct Lake {
    double level = 0.0;          // radius of its surface, in sea radii
    double deepest = 0.0;        // level less its lowest vertex's radius
    std::uint32_t outlet = 0;    // the vertex its water leaves by: on its shore, at its level
    std::uint32_t vertices = 0;  // flooded vertices
    double inflow = 0.0;         // the flow leaving it through the outlet (as Drainage::flow)
};

// What drainage needs of the land that its heights leave as they are.
struct SphereGeometry {
    std::vector<double> direction; // unit x, y, z per welded vertex
    // Each vertex's share of the unit sphere: a third of every face around
    // it, the faces' corners taken at their directions; all sum to 4 pi.
    std::vector<double> area;
    // Per neighbour slot (VertexNeighbours::ids' order) the chord between
    // the two directions, as the flood would work it out: kept by a caller
    // that drains the same land many times (erosion), which spares every
    // drainage a square root and a far read per neighbour. Empty: worked out
    // when needed.
    std::vector<double> chord;
};

// The geometry of the welded land positions (x, y, z per welded vertex).
// Throws std::bad_alloc. Set, stop ends it part way: nothing is to be made
// of what it returns.
SphereGeometry sphereGeometry(const IcosphereWeld& weld, const float* positions, StopRequest stop = nullptr);

// Fills geometry.chord for neighbours; stop as sphereGeometry's. Throws
// std::bad_alloc.
void keepChords(SphereGeometry& geometry, const VertexNeighbours& neighbours, StopRequest stop = nullptr);

// What drainage works from: the welded land (x, y, z per welded vertex in the
// weld's order), its neighbours and the sea. rain, when given, is mm a year
// per welded vertex (0 or more); otherwise UNIFORM_RAIN everywhere. Heights
// are rounded to HEIGHT_QUANTUM.
struct DrainageInput {
    const IcosphereWeld& weld;
    const VertexNeighbours& neighbours;
    const float* positions;
    double seaRadius = 1.0;
    const float* rain = nullptr;
    const SphereGeometry* geometry = nullptr; // of these positions; worked out when not given
    // false leaves lakeOf, lakes and area empty: erosion, which needs only the
    // way down and has the geometry's areas, is spared them.
    bool lakes = true;
    // How many threads share the per-vertex passes (1 or more); the result
    // is the same byte for byte for any count.
    int threads = 1;
    // The same vertices undeformed, on the sea sphere: land and sea are told
    // apart by aboveSea (SeaLevel.h). Null: lengths of exactly 1.
    const float* unit = nullptr;
    StopRequest stop = nullptr; // set: the drainage ends early, Drainage::stopped
};

struct Drainage {
    static constexpr std::uint32_t NO_LAKE = 0xFFFFFFFFu;

    // Radius per vertex in sea radii, rounded to HEIGHT_QUANTUM: the single
    // precision of the land's positions never makes a slope on a flat.
    std::vector<double> height;
    std::vector<std::uint8_t> sea; // 1 where the radius, as it stands, is at or below the sea's
    std::vector<double> filled;   // the surface water flows over: height, depressions raised to their spill
    std::vector<double> area;     // as SphereGeometry::area
    // Per vertex the neighbour its water flows to; a sink (a sea vertex, or
    // on a world without sea its lowest vertex) is its own receiver.
    std::vector<std::uint32_t> receiver;
    // Land vertices, each after its receiver: from the outlets upstream.
    std::vector<std::uint32_t> stack;
    // Rain gathered at each vertex from itself and all upstream of it: rain
    // in mm a year times area on the unit sphere. A sea vertex holds what the
    // land sends it.
    std::vector<double> flow;
    std::vector<std::uint32_t> lakeOf; // per vertex: index into lakes, or NO_LAKE
    std::vector<Lake> lakes;           // in the order of their smallest vertex number
    double landRain = 0.0;             // rain on all land vertices, as flow counts it
    std::vector<std::uint32_t> work;   // the flood's working memory, kept for the next drainLand into this
    // The input's stop was set and the drainage ended part way: nothing
    // above holds, and nothing may be made of it.
    bool stopped = false;

    std::size_t vertexCount() const { return height.size(); }
    bool isSink(std::uint32_t v) const { return receiver[v] == v; }
    bool isSea(std::uint32_t v) const { return sea[v] != 0; }
};

// Drains the land of input. Throws std::bad_alloc when the arrays (about 80
// bytes a vertex) cannot be had, or the land's heights span more than 2^26
// quanta (about 700 sea radii).
Drainage drainLand(const DrainageInput& input);

// The same into out, whose memory is kept from call to call.
void drainLand(const DrainageInput& input, Drainage& out);

