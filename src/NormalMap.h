#pragma once

#include "Screenshot.h"
#include "WorldMap.h"
#include "WorldShape.h"

#include <vector>

// Normal maps made from the land's heights, for engines that light a smooth
// or coarse sphere with the relief of the land. Each pixel holds the unit
// normal of the land as saved (its radius as shape shows it) in the pixel's
// tangent space: red along the picture's rows to the right, green up the
// picture, blue out of the planet; each component c (-1 to 1) as the byte
// round((c + 1) / 2 x 255), so flat land is (128, 128, 255). On the
// equirectangular map red points east and green north. The normal is found by
// central differences between the neighbouring pixels' surface points (one
// side only on a picture's edge, the map's columns wrapping round the
// 180th meridian).

// The normal map of grid, as wide and high as grid, rows from the north.
Image normalMapOf(const HeightGrid& grid, const WorldShape& shape = {});

// The normal face of cube face `face` (CubeFaces.h) from its radii
// (cubeFaceRadii), size pixels square.
Image cubeNormalFace(const std::vector<float>& radii, int face, int size, const WorldShape& shape = {});

// Row j of grid's surface as the colour map shades it: per pixel the
// outward unit normal in the planet's frame (x, y, z), found as the normal
// map finds it, of the land with the sea's surface at seaRadius over land
// below it, and the unit direction from the centre (up). directions:
// mapRows(grid.width). normals and ups hold grid.width entries each.
void mapSurfaceRow(const HeightGrid& grid, const RowDirections& directions, int j, float seaRadius,
                   std::array<double, 3>* normals, std::array<double, 3>* ups);

// A normal map's pixel read back: the unit normal's components in the
// pixel's tangent space (right, up the picture, outward).
std::array<double, 3> decodeNormal(const unsigned char* rgb);
