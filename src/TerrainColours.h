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

// Ice and snow towards the poles. Latitudes are given as their sine,
// y / |p| in the planet's own frame (+y is north): -1 at the south pole, 0 on
// the equator, 1 at the north pole.
struct PolarIce {
    Rgb colour;
    float capFrom;      // |sine of latitude| where the cap starts to cover land and sea (0.96: 74 degrees)
    float capTo;        // ... and where it covers them whole (smoothstep between)
    float snowLineFall; // steps the snow band lies lower at a pole than on the equator; it falls with sin^4
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
    PolarIce ice;
    Rgb freshWater; // rivers and lakes on the maps and cube faces, and the rivers in the window
};

extern const TerrainPalette TERRAIN;

// How much of a point at `latitude` (a sine) the polar cap covers: 0 to 1.
float iceCover(float latitude);

// The land shader's colour at a height in steps (negative: the sea floor)
// and a latitude (its sine), with GLSL's smoothstep and mix in single
// precision, as the shader has it: the snow band lower towards the poles,
// the polar cap over everything.
Rgb terrainColour(float steps, float latitude);

// The map's sea over land `steps` below the sea (steps < 0): darker with
// depth, under the polar cap near the poles.
Rgb seaColour(float steps, float latitude);

// The map's open sea, without the polar cap: seaColour at the equator.
Rgb openSeaColour(float steps);

// GLSL's mix(x, y, a) in single precision.
Rgb mixColours(const Rgb& x, const Rgb& y, float a);
// A map pixel's colour with the rivers and lakes over it: land (its colour,
// shaded or not) where share, the fresh water looked up through the pixel
// (Rivers.h freshWaterShares), is below one half; otherwise fresh water
// under the polar cap.
Rgb withFreshWater(const Rgb& land, float share, float latitude);

// colour as three 8-bit channels at out, each rounded from 0 to 1 (clamped).
void putRgb8(const Rgb& colour, unsigned char* out);

// The shortest text that reads back as the same float, always with a point
// or an exponent: GLSL 1.20 reads "2" as an int.
std::string glslFloat(float value);

// "    vec3 NAME = vec3(R, G, B);\n", each channel as glslFloat writes it.
std::string glslVec3(const char* name, const Rgb& colour);

// The line of res/land.frag that the generated iceCover and terrainColour
// replace, and the line of res/water.frag that the generated iceCover does.
inline constexpr const char* TERRAIN_COLOUR_MARKER = "// @terrainColour";
inline constexpr const char* ICE_COVER_MARKER = "// @iceCover";

// GLSL 1.20 source of `const vec3 iceColour` and `float iceCover(float
// latitude)`, from TERRAIN.ice.
std::string iceCoverGlsl();

// GLSL 1.20 source of iceCover (as iceCoverGlsl) and of `vec3
// terrainColour(float steps, float latitude)`, from TERRAIN.
std::string terrainColourGlsl();
