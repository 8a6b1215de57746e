#pragma once

#include "IcosphereWeld.h"

#include <cstdint>
#include <vector>

// Which parts of an icosphere's triangles can be seen from a point outside
// it. A level-L index buffer (DetailLevels.h levelTriangles) lists its
// triangles in the order of the subdivision's nodes, so each node at
// PATCH_LEVEL is one run of 4^(L - PATCH_LEVEL) triangles: a patch. Every
// point of a patch lies in a cone about its axis (its land moves only
// along the radius). Land that holds a ball of radius `inner` inside it
// hides every point beyond that ball's horizon, so a patch wholly beyond it
// need not be drawn: the picture is the same to the bit, and the driver
// shades about a third of the vertices at the starting view. No GL here.

// 20 x 4^3 = 1280 patches: fine enough to follow the horizon, few enough to
// test each frame.
constexpr int PATCH_LEVEL = 3;

struct PatchCone {
    double axis[3];   // unit
    double halfAngle; // radians: no point of the patch lies farther from the axis
};

// The weld's patches, from the directions of its vertices: soup holds
// x, y, z per corner (any length: the sea's unit sphere, say). Empty for a
// weld coarser than PATCH_LEVEL.
std::vector<PatchCone> patchCones(const IcosphereWeld& weld, const float* soup);

// The camera's place in the coordinates a GL model-view matrix (column
// major) maps to the eye's; false when the matrix has no inverse.
bool eyeOf(const double (&modelView)[16], double (&eye)[3]);

// Where the triangles are seen from, and how far from the centre they lie.
struct Sight {
    double eye[3];   // the camera, in the triangles' own coordinates
    double nearest;  // no vertex of the land drawn lies nearer the centre (radius)
    double farthest; // nor any vertex of land or sea farther
};

// A run of a level's index buffer: `count` indices from the `first`-th.
struct IndexRun {
    std::uint32_t first;
    std::uint32_t count;
};

// The runs of the level-`level` index buffer that may be seen, adjacent
// patches merged; the whole buffer as one run when the patches cannot tell
// (a level coarser than PATCH_LEVEL, no cones, an eye inside the land).
std::vector<IndexRun> seenRuns(const std::vector<PatchCone>& cones, int level, const Sight& sight);
