#pragma once

#include "Screenshot.h"
#include "TerrainColours.h"

struct HeightGrid;

// The light of the shaded relief, as cartographers draw it: from the
// north-west (azimuth 315 degrees, clockwise from north), 45 degrees above
// the horizon.
constexpr double RELIEF_AZIMUTH_DEGREES = 315.0;
constexpr double RELIEF_ALTITUDE_DEGREES = 45.0;

// How steep the shading draws the land against how steep it is: at the scale
// of a triangle the fault steps leave most land sloping 15 to 30 degrees,
// which true to scale would darken half of it past reading its colour.
constexpr double RELIEF_VERTICAL_SCALE = 0.5;

// The hill shade of pixel (i, j) of grid: Horn's method on its 3x3
// neighbourhood of the surface as seen (the sea's radius 1 over land below
// it), the east-west differences taken over cells narrower by cos(latitude),
// the neighbours across a pole on the other side of it. The cosine between the
// surface's normal and the light, clamped at 0: sin(altitude) on flat land.
// The sea stands at seaRadius.
float hillShade(const HeightGrid& grid, int i, int j, float seaRadius = 1.0f);

// colour under a hill shade: on flat land (shade sin(altitude)) exactly
// colour; a darker shade multiplies it down, a lighter one lifts it part way
// towards white, so no channel saturates (a soft overlay). strength, 0 to 1,
// scales how far the shade departs from flat land's.
Rgb reliefShaded(const Rgb& colour, float shade, float strength = 1.0f);

// How much of the relief's shading shows through the polar cap, which buries
// the land's roughness (and on the map would streak east-west near the poles).
constexpr float RELIEF_UNDER_ICE = 0.25f;

// The colour map: the land in the land shader's colours by height and
// latitude, under hill shading from the north-west (fainter under the polar
// cap); the sea darker with depth and unshaded; the polar cap over both;
// the grid's rivers and lakes, when it has them, over the land.
// Heights are measured from the sea at seaRadius, as generated: a relief
// stretches the saved land, not its colours.
Image colourMapOf(const HeightGrid& grid, double seaRadius = 1.0);
