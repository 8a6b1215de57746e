#pragma once

#include "MapGeoreference.h"
#include "PhysicalScale.h"
#include "Screenshot.h"
#include "WorldShape.h"

#include <string>

struct HeightGrid;

// The maps' heights in metres above the sea (PhysicalScale.h), below it
// negative: what a DEM holds, and what a height map's samples stand for.

// A DEM's one band: elevations in metres, as they are.
inline constexpr MapBand ELEVATION_BAND{0.0, 1.0, "m", "elevation above the sea"};

// The elevation of every pixel of grid: scale.elevationMetres of its radius.
// Throws std::bad_alloc.
FloatImage elevationMapOf(const HeightGrid& grid, const PhysicalScale& scale);

// The metres a sample of grid's height map (elevationHeightMapOf) stands
// for: offset the elevation of the lowest radius, scale the span's
// elevation over 65535 (0 on a flat planet).
MapBand heightMapBand(const HeightGrid& grid, const PhysicalScale& scale);

// The 16-bit height map of grid, its samples linear in metres from the
// lowest radius's elevation (0) to the highest's (65535): with a linear
// scale, heightMapOf's very samples (linear in radius too); with a curve,
// each pixel's elevation placed in that span.
GreyImage16 elevationHeightMapOf(const HeightGrid& grid, const PhysicalScale& scale);

// The height map's comment: heightMapComment's radii, followed for a curve,
// whose samples are not linear in radius, by ", samples linear in elevation
// from LOW to HIGH m" (to 9 significant digits).
std::string elevationHeightMapComment(const std::string& header, const HeightGrid& grid, const PhysicalScale& scale,
                                      const WorldShape& shape);
