#pragma once

#include "BigArray.h"
#include "VertexNeighbours.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Where the prevailing wind blows at a latitude (degrees, -90 to 90): its
// eastward and northward parts, a direction (|east, north| = 1). Easterly
// trades below 30°, westerlies from 30° to 60°, polar easterlies beyond;
// the trades and the polar easterlies blow towards the equator, the
// westerlies away from it.
struct Wind {
    float east;
    float north;
};
Wind prevailingWind(float latitudeDegrees);

// How the prevailing wind crosses the welded land. Vertices are visited in
// the order the wind reaches them: where it blows east by growing longitude,
// then where it blows west by falling longitude; a vertex's place in that
// order is its position, and everything here is by position.
struct WindField {
    BigArray<std::uint32_t> order; // per position: its vertex
    BigArray<std::uint32_t> start; // per position, and one past the last: where its upwind entries begin
    BigArray<std::uint32_t> from;  // per upwind entry: the neighbour's position
    BigArray<float> weight;        // per upwind entry: the share of the air coming from it; 1 over a position's entries
    BigArray<float> hopKm;         // per position: how far upwind its entries lie, weighted, km
    float meanEdgeKm = 0.0f;          // the mean length of an edge on the sea's surface

    std::size_t size() const { return order.size(); }
};

// up: unit x, y, z per vertex (+y north); latitude: degrees per vertex;
// kmPerUnit: km per model unit on the sea's surface. A vertex with no
// neighbour upwind (none on a planet) keeps what it carries. threads: how
// many share the work; the field is the same for any count. Throws
// std::invalid_argument when a vertex has more than six neighbours (none of a
// weld's has).
WindField windField(const VertexNeighbours& nb, const float* up, const float* latitude, float kmPerUnit, int threads);

// Carries a quantity along the wind, Gauss-Seidel in the wind's order:
// each position's incoming value is its upwind entries' carried values,
// weighted (its own when it has none), and step(position, incoming) gives
// what it carries on. passes over every position; the wind's circuits around
// the globe close from the second on. carried: per position.
template <class Step>
void sweepAlongWind(const WindField& wind, BigArray<float>& carried, int passes, Step step)
{
    for (int pass = 0; pass < passes; ++pass)
        for (std::size_t i = 0; i < wind.size(); ++i) {
            float incoming = wind.start[i] == wind.start[i + 1] ? carried[i] : 0.0f;
            for (std::uint32_t k = wind.start[i]; k < wind.start[i + 1]; ++k)
                incoming += wind.weight[k] * carried[wind.from[k]];
            carried[i] = step(i, incoming);
        }
}
