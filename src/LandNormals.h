#pragma once

#include "IcosphereWeld.h"

#include <vector>

// Smooth normals of the welded land: per welded vertex the sum of its faces'
// normals, each weighted by the face's area (the icosphere's triangles are
// nearly regular, so this is as unbiased as angle weighting and costs only a
// cross product a face). Unit length, pointing outward; a vertex whose faces
// cancel out (never on a planet) gets its direction from the centre.
//
// positions: x, y, z per welded vertex, in the weld's vertex order. Returns
// x, y, z per welded vertex, in the same order. Each of smoothingPasses
// then averages every normal with its neighbours', widening the shading's
// smallest detail by about one vertex spacing. Throws std::bad_alloc when the
// arrays cannot be had.
std::vector<float> weldedLandNormals(const IcosphereWeld& weld, const float* positions, int smoothingPasses = 0);

// The passes that keep a planet's shading from showing relief much finer than
// the window's pixels: none up to 5 subdivisions, where a triangle spans
// several pixels at the starting view, and one more for each subdivision
// beyond, each of which halves the triangles' size.
int smoothingPassesFor(int subdivisions);

// The same from the land's triangle soup: x, y, z per corner, as the weld
// numbers them.
std::vector<float> landNormals(const IcosphereWeld& weld, const float* soup);

// The welded positions of a soup: x, y, z per welded vertex, read from each
// vertex's first corner, into `out` (resized; its memory is kept from call to
// call). Throws std::bad_alloc when the array cannot be had.
void gatherWelded(const IcosphereWeld& weld, const float* soup, std::vector<float>& out);

