#pragma once

#include "Climate.h"
#include "ClimateView.h"
#include "MapGeoreference.h"
#include "Screenshot.h"

#include <cstdint>
#include <vector>

class LandRadii;
struct HeightGrid;

// The climate's pictures: the colour map and the cube faces' colours in a
// climate view, the biome map and the 16-bit temperature and rain maps. Each
// pixel takes the welded vertices of the land triangle under it
// (LandRadii::lookUpCorners), as the heights take their radius.

// Per welded vertex what a climate view's colours are interpolated from:
// the land's colour (climateVertexColour, red, green, blue) and whether the
// sea over it is frozen (1) or open (0): four floats a vertex.
std::vector<float> viewVertexChannels(const Climate& climate, ClimateView view);

// Per welded vertex 1 where the climate's class is ice (isIceClass: land ice
// or sea ice), else 0: where every view draws ice, looked up as the heights
// are (HeightGrid::ice, a cube face's ice).
std::vector<double> iceShares(const Climate& climate);

// The colour map of a climate view: the land in its corners' colours under
// the heights' hill shading; the sea darker with depth and white where its
// corners' sea is frozen, unshaded. channels: viewVertexChannels. The grid
// must come from land. Fresh water (the grid's water) over the land, frozen
// by the grid's ice, as colourMapOf paints it.
Image climateColourMapOf(const HeightGrid& grid, const LandRadii& land, const std::vector<float>& channels,
                         double seaRadius);

// A cube face's colours in a climate view, unshaded (CubeFaces.h); radii:
// cubeFaceRadii of land; water, when given, the fresh water's share through
// every pixel, and ice the climate's ice through every pixel, as
// cubeColourFace takes them.
Image climateCubeColourFace(const std::vector<float>& radii, const LandRadii& land, int face, int size,
                            const std::vector<float>& channels, double seaRadius,
                            const std::vector<float>* water = nullptr, const std::vector<float>* ice = nullptr);

// The biome map, width wide and half as high: each pixel the class number
// of the corner nearest it, the palette BIOME_CLASSES' colours.
IndexedImage biomeMapOf(const LandRadii& land, int width, const std::vector<Biome>& biomes);

// The physical values of the climate maps' samples.
inline constexpr MapBand TEMPERATURE_BAND{-273.15, 0.01, "°C", "annual mean temperature"}; // 0 is absolute zero
inline constexpr MapBand RAIN_BAND{0.0, 0.5, "mm/a", "annual rain"};                    // up to 32767.5 mm

// value's sample: round((value - offset) / scale), clamped to 0..65535.
std::uint16_t bandSample(double value, const MapBand& band);

// A 16-bit map of values (per welded vertex) interpolated at each pixel,
// width wide and half as high, as band's samples.
GreyImage16 climateMapOf(const LandRadii& land, int width, const std::vector<float>& values, const MapBand& band);
