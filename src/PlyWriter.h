#pragma once

#include "SafeFile.h"
#include "SavedLand.h"

// The welded land as binary little-endian PLY: per vertex x, y, z, the unit
// outward normal nx, ny, nz (floats) and its colour red, green, blue (uchar,
// sRGB as the window shows it, see vertexColour); faces as uchar-counted uint
// lists, counter-clockwise from outside. One mesh, as PLY readers expect one
// vertex and one face element: the sea is not in it, so its floor takes the
// sea's colours by depth, as the colour map has them (colourWithoutSea).
// Throws std::bad_alloc when the welded copy cannot be had.
void writePly(SafeFile& out, const LandView& land, const MeshInfo& info);
