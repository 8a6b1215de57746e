#pragma once

#include "Biomes.h"
#include "IcosphereWeld.h"
#include "PhysicalScale.h"
#include "StopRequest.h"
#include "VertexNeighbours.h"
#include "WindSweep.h"

#include <vector>

// The planet's climate, computed on top of the land without changing it.
struct Climate {
    std::vector<float> temperature; // °C, annual mean at the surface (sea vertices: at the sea's surface), per welded vertex
    std::vector<float> rain;        // mm a year, per welded vertex, the sea's own rain over the sea
    std::vector<Biome> biome;       // per welded vertex
};

// The annual mean at sea level over the open sea, °C, at a latitude in
// degrees: about 27 °C on the equator, -25 °C at the poles.
float seaLevelTemperature(float latitudeDegrees);

// How much colder the air is per kilometre above the sea, °C.
inline constexpr float LAPSE_C_PER_KM = 6.5f;

// Threads computeClimate shares its work among unless told otherwise.
inline constexpr int CLIMATE_THREADS = 2;

// A vertex is land when it is above scale.seaRadius (aboveSea, SeaLevel.h).
// welded: x, y, z per welded vertex, in the weld's order; +y is north. unit:
// the same vertices undeformed, on the sea sphere (null: lengths of exactly 1). neighbours: of weld.
// The same land gives the same climate, byte for byte, for any count of
// threads (1 or more; a thread that cannot start leaves its share to the
// caller's). Throws std::invalid_argument when neighbours are not weld's,
// std::bad_alloc when the working arrays (about 130 bytes a vertex) cannot be
// had. Set, stop ends it between two of its passes: the climate handed back
// is then empty (no vertex), never one to use.
Climate computeClimate(const IcosphereWeld& weld, const VertexNeighbours& neighbours, const float* welded,
                       const PhysicalScale& scale, int threads = CLIMATE_THREADS, const float* unit = nullptr,
                       StopRequest stop = nullptr);
