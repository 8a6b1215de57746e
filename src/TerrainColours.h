#pragma once

#include <array>
#include <string>

// Linear RGB, each channel from 0 to 1.
using Rgb = std::array<float, 3>;

// The land's height in generation steps: one fault plane moves the land by
// 1/1500 of the sea's radius. The land shader measures heights the same way.
constexpr float STEPS_PER_UNIT = 1500.0f;

// A colour the land blends into between two heights, in steps above the sea
// (smoothstep from `from` to `to`).
struct ColourBand {
    const char* name; // its variable in the generated GLSL
    Rgb colour;
    float from;
    float to;
};

// Ice and snow in the heights' colours. The ice lies where the climate has
// it (Biomes.h: land ice and sea ice), never by latitude alone; the snow band
// on high ground lies lower towards the poles. Latitudes are given as their
// sine, y / |p| in the planet's own frame (+y is north): -1 at the south
// pole, 0 on the equator, 1 at the north pole.
struct IceAndSnow {
    Rgb colour;         // the climate's land ice and sea ice
    // Steps the snow band lies lower at a pole than on the equator; it falls
    // with sin^4. Less than the band's lower edge: polar lowland is white
    // only where the climate has ice, never as a cap.
    float snowLineFall;
};

// The one definition of the planet's colours: the land shader's terrainColour
// is generated from it, and the world map colours its pixels with it.
struct TerrainPalette {
    ColourBand seaFloor;  // below the sea: deepFloor blends into it up to the shore
    Rgb deepFloor;
    Rgb beach;            // the land at the shore, before the first band
    ColourBand bands[4];  // lowland, highland, rock, snow, from low to high
    ColourBand shallowSea; // the map's sea: deepSea blends into it towards the shore
    Rgb deepSea;
    IceAndSnow ice;
    Rgb freshWater; // rivers and lakes on the maps and cube faces, and the rivers in the window
};

extern const TerrainPalette TERRAIN;

// The land shader's colour at a height in steps (negative: the sea floor)
// and a latitude (its sine), with GLSL's smoothstep and mix in single
// precision, as the shader has it: the snow band lower towards the poles.
// No ice: that comes from the climate (iceCovered).
Rgb terrainColour(float steps, float latitude);

// colour under the climate's ice: ice, 0 to 1, is the share of the ground
// frozen there (the corners' land ice or sea ice, interpolated).
Rgb iceCovered(const Rgb& colour, float ice);

// The map's open sea over land `steps` below the sea (steps < 0): darker
// with depth.
Rgb openSeaColour(float steps);

// GLSL's mix(x, y, a) in single precision.
Rgb mixColours(const Rgb& x, const Rgb& y, float a);
// A map pixel's colour with the rivers and lakes over it: land (its colour,
// shaded or not) where share, the fresh water looked up through the pixel
// (Rivers.h freshWaterShares), is below one half; otherwise fresh water,
// frozen as far as the climate's ice (0 to 1) covers the ground there.
Rgb withFreshWater(const Rgb& land, float share, float ice);

// colour as three 8-bit channels at out, each rounded from 0 to 1 (clamped).
void putRgb8(const Rgb& colour, unsigned char* out);

// The shortest text that reads back as the same float, always with a point
// or an exponent: GLSL 1.20 reads "2" as an int.
std::string glslFloat(float value);

// "    vec3 NAME = vec3(R, G, B);\n", each channel as glslFloat writes it.
std::string glslVec3(const char* name, const Rgb& colour);

// The line of res/land.frag that the generated iceColour and terrainColour
// replace, and the line of res/water.frag that the generated iceColour does.
inline constexpr const char* TERRAIN_COLOUR_MARKER = "// @terrainColour";
inline constexpr const char* ICE_COLOUR_MARKER = "// @iceColour";

// GLSL 1.20 source of `const vec3 iceColour`, from TERRAIN.ice.
std::string iceColourGlsl();

// GLSL 1.20 source of iceColour (as iceColourGlsl) and of `vec3
// terrainColour(float steps, float latitude)`, from TERRAIN.
std::string terrainColourGlsl();
