#pragma once

#include "MapGeoreference.h"
#include "PhysicalScale.h"
#include "Screenshot.h"

struct HeightGrid;

// The maps' heights in metres above the sea (PhysicalScale.h), below it
// negative: what a DEM holds, and what a height map's samples stand for.

// A DEM's one band: elevations in metres, as they are.
inline constexpr MapBand ELEVATION_BAND{0.0, 1.0, "m", "elevation above the sea"};

// The elevation of every pixel of grid: scale.elevationMetres of its radius.
// Throws std::bad_alloc.
FloatImage elevationMapOf(const HeightGrid& grid, const PhysicalScale& scale);

// The metres a sample of grid's height map (heightMapOf) stands for: offset
// the elevation of the lowest radius, scale the span's elevation over 65535
// (0 on a flat planet).
MapBand heightMapBand(const HeightGrid& grid, const PhysicalScale& scale);
