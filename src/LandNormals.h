#pragma once

#include "IcosphereWeld.h"

#include <vector>

// Smooth normals of the welded land: per welded vertex the sum of its faces'
// normals, each weighted by the face's area (the icosphere's triangles are
// nearly regular, so this is as unbiased as angle weighting and costs only a
// cross product a face). Unit length, pointing outward; a vertex whose faces
// cancel out (never on a planet) gets its direction from the centre.
//
// soup: x, y, z per corner of the land's triangle soup, as the weld numbers
// them. Returns x, y, z per welded vertex, in the weld's vertex order.
// Throws std::bad_alloc when the array cannot be had.
std::vector<float> landNormals(const IcosphereWeld& weld, const float* soup);

// The same from welded positions (x, y, z per welded vertex, in the weld's
// vertex order), as a saved mesh holds them: equal to landNormals wherever
// the copies of each vertex agree.
std::vector<float> weldedNormals(const IcosphereWeld& weld, const float* positions);
