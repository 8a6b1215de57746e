#pragma once

#include "Screenshot.h"
#include "LandRadii.h"
#include "TerrainColours.h"

#include <array>

struct HeightGrid;

// The light of the shaded relief: from the fixed direction RELIEF_LIGHT in
// the planet's frame (x, y, z; +y is north), raised RELIEF_ALTITUDE_DEGREES
// above every horizon. At a point whose direction from the centre is up, the
// light is sin(altitude) up + cos(altitude) g (l - (l . up) up), l the unit
// RELIEF_LIGHT and g = sqrt(3/2) the gain that makes it a unit vector on the
// map's middle (latitude 0, longitude 0, the +x axis), where it comes from
// the north-west as cartographers draw it. Flat land is lit alike
// everywhere, and a slope by how far it faces l's part along the ground,
// which turns smoothly over the whole sphere (the poles too: at the north
// pole it comes from longitude 135 degrees west) and fades only around l and
// -l (latitude 35 degrees north, longitude 135 west, and its antipode).
constexpr double RELIEF_LIGHT[3] = {-1.0, 1.0, 1.0};
constexpr double RELIEF_ALTITUDE_DEGREES = 45.0;

// How steep the shading draws the land against how steep it is: at the scale
// of a triangle the fault steps leave most land sloping 15 to 30 degrees,
// which true to scale would darken half of it past reading its colour.
constexpr double RELIEF_VERTICAL_SCALE = 0.5;

// The hill shade of a surface with outward unit normal `normal` where the
// unit direction from the centre is `up` (both in the planet's frame): the
// cosine between the normal, its slope scaled by RELIEF_VERTICAL_SCALE, and
// the light, clamped at 0; sin(altitude) on flat land.
float hillShade(const std::array<double, 3>& normal, const std::array<double, 3>& up);

// Row j of grid's hill shades, grid.width of them into shades: hillShade of
// the surface as seen (the sea at seaRadius over land below it), its normals
// found as the normal map's (NormalMap.h mapSurfaceRow). directions:
// mapRows(grid.width).
void hillShadeRow(const HeightGrid& grid, const RowDirections& directions, int j, float seaRadius, float* shades);

// colour under a hill shade: on flat land (shade sin(altitude)) exactly
// colour; a darker shade multiplies it down, a lighter one lifts it part way
// towards white, so no channel saturates (a soft overlay). strength, 0 to 1,
// scales how far the shade departs from flat land's.
Rgb reliefShaded(const Rgb& colour, float shade, float strength = 1.0f);

// How much of the relief's shading shows through the climate's ice, which
// buries the land's roughness.
constexpr float RELIEF_UNDER_ICE = 0.25f;

// The colour map: the land in the land shader's colours by height and
// latitude, under hill shading (fainter under ice); the sea darker with depth
// and unshaded; the grid's ice (the climate's, when it has it) over both; the
// grid's rivers and lakes, when it has them, over the land.
// Heights are measured from the sea at seaRadius, as generated: a relief
// stretches the saved land, not its colours.
Image colourMapOf(const HeightGrid& grid, double seaRadius = 1.0);
