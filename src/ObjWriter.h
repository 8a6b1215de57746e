#pragma once

#include "SafeFile.h"
#include "SavedLand.h"

// The welded land as text OBJ: the header comment, then per vertex
// "v x y z r g b" (the colour from 0 to 1, sRGB as the window shows it, see
// vertexColour), then "vn x y z" (unit, outward) per vertex and faces
// "f a//a b//b c//c", 1-based, counter-clockwise from outside. With the sea
// (land.sea set) the land is object "o land" and the sea sphere follows it
// as "o sea", written the same way: the .glb's sea (weldedSea: at most
// SAVED_SEA_SUBDIVISIONS_MAX subdivisions) at the sea radius, every vertex
// in seaSurfaceColour, its numbers after the land's. Floats print as the
// shortest text that reads back to the same bits. Throws std::bad_alloc
// when the welded copies cannot be had.
void writeObj(SafeFile& out, const LandView& land, const MeshInfo& info);
