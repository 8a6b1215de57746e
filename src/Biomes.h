#pragma once

#include "TerrainColours.h"

#include <cstddef>
#include <cstdint>

// What covers the ground, from the annual mean temperature and rain.
enum class Biome : std::uint8_t {
    Ocean,
    SeaIce,
    Ice,
    Tundra,
    BorealForest,
    TemperateGrassland,
    TemperateForest,
    TemperateRainforest,
    HotDesert,
    Savanna,
    TropicalSeasonalForest,
    TropicalRainforest,
    ColdDesert,
    Shrubland,
    Count
};

struct BiomeClass {
    const char* name; // lower case words, e.g. "tropical rainforest"
    Rgb colour;       // linear 0..1
};

// The one definition of the classes' names and colours, in Biome's order:
// the shader, the maps and the legends take them from here.
extern const BiomeClass BIOME_CLASSES[std::size_t(Biome::Count)];

// Annual means below which the ground is frozen for good, °C: land ice on
// land, sea ice on the sea's surface.
inline constexpr float LAND_ICE_BELOW_C = -10.0f;
inline constexpr float SEA_ICE_BELOW_C = -2.0f;

// A Whittaker-type diagram: temperature in °C (annual mean), rain in mm a
// year. sea: Ocean or SeaIce, whatever the rain.
Biome classifyBiome(float temperatureC, float rainMm, bool sea);

inline const BiomeClass& biomeClass(Biome biome)
{
    return BIOME_CLASSES[std::size_t(biome)];
}
