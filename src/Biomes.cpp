#include "Biomes.h"

const BiomeClass BIOME_CLASSES[std::size_t(Biome::Count)] = {
    {"ocean", {0.02f, 0.09f, 0.28f}},
    {"sea ice", {0.78f, 0.87f, 0.95f}},
    {"ice", {0.97f, 0.97f, 0.99f}},
    {"tundra", {0.55f, 0.55f, 0.47f}},
    {"boreal forest", {0.09f, 0.25f, 0.19f}},
    {"temperate grassland", {0.60f, 0.68f, 0.28f}},
    {"temperate forest", {0.16f, 0.45f, 0.12f}},
    {"temperate rainforest", {0.03f, 0.33f, 0.24f}},
    {"hot desert", {0.91f, 0.76f, 0.46f}},
    {"savanna", {0.78f, 0.68f, 0.22f}},
    {"tropical seasonal forest", {0.42f, 0.58f, 0.08f}},
    {"tropical rainforest", {0.01f, 0.30f, 0.04f}},
    {"cold desert", {0.68f, 0.63f, 0.55f}},
    {"shrubland", {0.55f, 0.50f, 0.30f}},
};

namespace {

// Köppen's line between desert and steppe for rain spread over the year:
// mm a year, 10 per °C of annual mean plus 70. Cold air takes up little
// water, so cold land is a desert only where it is very dry.
float desertBelow(float temperatureC)
{
    return 10.0f * temperatureC + 70.0f;
}

// The warm side of the diagram: mean 20 °C and above.
Biome tropical(float rainMm)
{
    if (rainMm < 400.0f)
        return Biome::HotDesert;
    if (rainMm < 1000.0f)
        return Biome::Savanna;
    if (rainMm < 2000.0f)
        return Biome::TropicalSeasonalForest;
    return Biome::TropicalRainforest;
}

// 5 to 20 °C.
Biome temperate(float temperatureC, float rainMm)
{
    if (rainMm < desertBelow(temperatureC))
        return Biome::ColdDesert;
    if (rainMm < 600.0f)
        return temperatureC < 12.0f ? Biome::TemperateGrassland : Biome::Shrubland;
    if (rainMm < 2000.0f)
        return Biome::TemperateForest;
    return Biome::TemperateRainforest;
}

} // namespace

Biome classifyBiome(float temperatureC, float rainMm, bool sea)
{
    if (sea)
        return temperatureC < SEA_ICE_BELOW_C ? Biome::SeaIce : Biome::Ocean;
    if (temperatureC < LAND_ICE_BELOW_C)
        return Biome::Ice;
    if (temperatureC < -2.0f)
        return Biome::Tundra;
    if (temperatureC < 5.0f)
        return rainMm < desertBelow(temperatureC) ? Biome::ColdDesert : Biome::BorealForest;
    if (temperatureC < 20.0f)
        return temperate(temperatureC, rainMm);
    return tropical(rainMm);
}
