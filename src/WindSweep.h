#pragma once

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

// How the prevailing wind crosses the welded land.
struct WindField {
    std::vector<float> weight;        // per slot of the neighbour table: the share of the air coming from that neighbour, summing to 1 over a vertex's upwind neighbours
    std::vector<float> hopKm;         // per vertex: how far upwind those neighbours lie, km
    std::vector<std::uint32_t> order; // vertices in the order the wind reaches them: where it blows east by growing longitude, then where it blows west by falling longitude
};

// up: unit x, y, z per vertex (+y north); latitude: degrees per vertex;
// kmPerUnit: km per model unit on the sea's surface; edgeKm: what a vertex
// with no neighbour upwind (none on a planet) takes as its hop.
WindField windField(const VertexNeighbours& nb, const float* up, const float* latitude, float kmPerUnit, float edgeKm);

// Carries a quantity along the wind, Gauss-Seidel in the wind's order: each
// vertex's incoming value is its upwind neighbours' carried values, weighted,
// and step(v, incoming) gives what it carries on. Sweeps passes over every
// vertex; the wind's circuits around the globe close after the first.
template <class Step>
void sweepAlongWind(const VertexNeighbours& nb, const WindField& wind, std::vector<float>& carried, int passes, Step step)
{
    for (int pass = 0; pass < passes; ++pass)
        for (const std::uint32_t v : wind.order) {
            float incoming = 0.0f;
            for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k)
                incoming += wind.weight[k] * carried[nb.ids[k]];
            carried[v] = step(v, incoming);
        }
}
