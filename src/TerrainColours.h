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

// The one definition of the planet's colours: the land shader's terrainColour
// is generated from it, and the world map colours its pixels with it.
struct TerrainPalette {
    ColourBand seaFloor;  // below the sea: deepFloor blends into it up to the shore
    Rgb deepFloor;
    Rgb beach;            // the land at the shore, before the first band
    ColourBand bands[4];  // lowland, highland, rock, snow, from low to high
    ColourBand shallowSea; // the map's sea: deepSea blends into it towards the shore
    Rgb deepSea;
};

extern const TerrainPalette TERRAIN;

// The land shader's colour at a height in steps (negative: the sea floor),
// with GLSL's smoothstep and mix in single precision, as the shader has it.
Rgb terrainColour(float steps);

// The map's sea over land `steps` below the sea (steps < 0): darker with depth.
Rgb seaColour(float steps);

// The line of res/land.frag that the generated terrainColour replaces.
inline constexpr const char* TERRAIN_COLOUR_MARKER = "// @terrainColour";

// GLSL 1.20 source of `vec3 terrainColour(float steps)`, from TERRAIN.
std::string terrainColourGlsl();
