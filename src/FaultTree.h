#pragma once

#include "Landscape.h"
#include "StopRequest.h"

#include <cstdint>
#include <functional>
#include <vector>

// Applies fault planes to an icosphere through the tree its depth-first
// emission makes: every triangle of every subdivision level owns one
// contiguous range of the vertex array. A node that a plane leaves wholly on
// one side takes the plane's step as a whole; only nodes the plane may cut are
// opened, and at the leaves sideValue decides vertex by vertex. The result is
// the same, bit for bit, as testing every vertex against every plane.

// A ball holding every vertex of one node, in unit radii.
struct NodeBall {
    float centre[3];
    float radius;
};

enum class NodeSide { Outer, Inner, Cut };

// sideValue differs from the exact (v - P).P by less than 1e-6 |P| for
// vertices of length about 1 (five roundings of terms no larger than 2 |P|).
// A node is taken whole only when its ball clears the plane by this margin,
// in unit radii along the plane's normal: ten times that bound, which also
// covers the float rounding of the node test itself.
constexpr float SIDE_MARGIN = 1e-5f;

// How far, in unit radii, a vertex may lie outside the cap through its node's
// three corners: float rounding of the edge points at every level, and
// vertex lengths that differ from 1 by a few float steps.
constexpr double MESH_DRIFT = 4e-6;

// Vertices of a leaf node: 16 triangles.
constexpr int LEAF_VERTICES = 48;

// Planes drawn and applied per pass; a generation with more planes keeps one
// counter per vertex between passes.
constexpr int PLANES_PER_PASS = 16384;

// Subdivisions of an icosphere of vertexCount vertices (60 * 4^n), or -1.
int treeDepthOf(int vertexCount);

// The ball of the node whose count vertices start at vertex first; its
// corners are the first vertices of its first three children.
NodeBall nodeBall(const float* xyz, int first, int count);

// Where the node lies for the plane; Cut also when it is too close to tell.
NodeSide classifyNode(const NodeBall& ball, const FaultPlane& plane);

// Radius a vertex ends at after the given sum of +-1 steps, as
// scaleByCounters gives it for counters that started at 750 each. The float
// result depends on the sum alone: (a + b) / 1500 lies at least 2e-11
// relative away from any float rounding boundary unless it is a multiple of
// 1/4, while the two double quotients and their sum err by about 1e-16.
float scaleForSteps(int steps);

// Instruction sets the side-test kernels are built for; every one gives the
// same result.
enum class TreeKernel { Plain, Avx2, Avx512 };

// The widest kernel this processor runs.
TreeKernel bestTreeKernel();

// Chooses the kernels of later passes (tests run each); it must be one the
// processor runs.
void setTreeKernel(TreeKernel kernel);

// Reports progress of a pass, done out of total units of work; called by the
// first worker only, with done rising to total.
using TreeProgress = std::function<void(int done, int total)>;

// Adds to counts[j] the sum over planes of +sign (outer side) or -sign
// (inner side) for vertex j, with the given number of threads (1 or 2).
// Set, stop ends the pass between two of its tasks (a node of the tree's
// upper levels), leaving counts part done.
void countByTree(const float* xyz, int vertexCount, const std::vector<FaultPlane>& planes, int* counts,
                 int threads, const TreeProgress& progress = TreeProgress(), StopRequest stop = nullptr);

// Scales every vertex by scaleForSteps of its steps from the planes plus
// carried[j] (carried may be null), with two threads; stop as countByTree's,
// leaving some vertices unscaled.
void deformByTree(float* xyz, int vertexCount, const std::vector<FaultPlane>& planes, const int* carried,
                  const TreeProgress& progress, StopRequest stop = nullptr);

// Bytes of working memory a pass over planeCount planes takes besides the
// planes themselves.
std::uint64_t treeWorkingBytes(int vertexCount, int planeCount);
