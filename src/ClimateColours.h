#pragma once

#include "Biomes.h"
#include "ClimateView.h"
#include "TerrainColours.h"

#include <cstddef>
#include <string>

// The colours of the climate views, defined once: the land shader's
// climateColour is generated from them, and the colour map, the cube faces
// and the meshes colour their pixels and vertices with the same functions.

// A value's colour between stops: linear from one stop to the next (GLSL's
// mix, in single precision), the end colours beyond the ends.
struct RampStop {
    float value;
    Rgb colour;
};

struct ColourRamp {
    static constexpr std::size_t STOPS = 6;
    RampStop stops[STOPS]; // in increasing value
};

extern const ColourRamp TEMPERATURE_RAMP; // degrees C, from polar purple to desert red
extern const ColourRamp RAIN_RAMP;        // mm a year, from dry brown to wet blue

Rgb rampColour(const ColourRamp& ramp, float value);

// A welded vertex's colour in a climate view (biomes, temperature or rain):
// its class's colour (BIOME_CLASSES) or its value on the ramp. A vertex
// under the sea or its ice takes the beach's colour, so the land's colour
// runs into the shore as the heights view's does.
Rgb climateVertexColour(ClimateView view, float temperature, float rain, Biome biome);

// Whether the class is the sea's (open or frozen): shown by the sea, not the land.
bool isSeaClass(Biome biome);

// Whether the class is frozen ground: land ice or sea ice. Every view takes
// its ice from these classes, none from the latitude.
bool isIceClass(Biome biome);

// The climate views' sea on the maps, over land `steps` below it (steps <
// 0): openSeaColour by depth under the sea ice's class colour, by the share
// `frozen` (0 to 1) of sea ice there.
Rgb climateSeaColour(float steps, float frozen);

// The class numbers as they go to the GL, the biome map and the .glb.
inline unsigned biomeNumber(Biome biome)
{
    return static_cast<unsigned>(biome);
}

// The line of res/land.vert that climateColourGlsl replaces, and the one of
// res/water.vert that seaIceGlsl replaces.
inline constexpr const char* CLIMATE_COLOUR_MARKER = "// @climateColour";
inline constexpr const char* SEA_ICE_MARKER = "// @seaIce";

// GLSL 1.20 source of `vec3 climateColour(int view, vec3 climate)`: climate
// is (temperature, rain, class number) as the vertex attribute holds it, view
// the ClimateView's number; the same colours as climateVertexColour. And
// `float iceClass(float biome)`: 1 for isIceClass's class numbers, else 0.
std::string climateColourGlsl();

// GLSL 1.20 source of `const int HEIGHTS_VIEW`, the heights view's number
// as the shaders' uniform `view` gives it.
std::string viewNumbersGlsl();

// GLSL 1.20 source of `float seaIce(float biome)`, 1 for the sea ice's class
// number and 0 for any other, and `const vec3 seaIceColour`.
std::string seaIceGlsl();
