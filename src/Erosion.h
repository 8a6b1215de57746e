#pragma once

#include "IcosphereWeld.h"
#include "StopRequest.h"
#include "VertexNeighbours.h"

#include <functional>
#include <vector>

// Water and gravity wearing the land down, step by step. Each step drains
// the land (Drainage.h) and then:
//  - rivers cut their beds by the stream-power law dz/dt = U - K A^m S,
//    solved implicitly down the receiver tree, outlets first, in one pass
//    (after Braun and Willett), so any step length is stable;
//  - what they carry away settles in the depressions the drainage filled
//    (lakes and dry basins), up to their level; the rest is lost to the sea,
//    whose floor stays as it is;
//  - slopes steeper than the talus angle collapse half-way towards it,
//    onto their lowest neighbour;
//  - the land rises (U) by a share of what each vertex has lost, never
//    above its height as generated (ErosionRates::uplift).
// Plain model code; deterministic byte for byte.

struct ErosionRates {
    double cutting = 0.05;  // K x step length: the share of the bed's drop a river of unit area removes
    double areaExponent = 0.5; // m: how the cutting grows with the area drained (n, the slope's, is 1)
    double talus = 0.06;   // the steepest slope that stands: radius per unit of chord on the unit sphere
    double collapse = 0.5; // share of the excess over the talus slope that falls in one step
    // The land's uplift, balancing the wear: each step a land vertex rises
    // by this share of what it has lost since the erosion began, never above
    // its height as generated, so the relief the faults made is kept while
    // the rivers cut into it (where incision matches it, a bed stays).
    double uplift = 0.25;
};

// Threads erodeLand shares its per-vertex work among unless told otherwise.
inline constexpr int EROSION_THREADS = 2;

// Told, on erodeLand's thread, that done of steps steps have ended.
using ErosionProgress = std::function<void(int done, int steps)>;

// Erodes land (x, y, z per welded vertex, weld's order) for steps steps
// over a sea of seaRadius; each vertex moves along its direction from the
// centre, the sea's vertices (aboveSea, SeaLevel.h, against unit: the same
// vertices undeformed; null: lengths of exactly 1) stay. The same land comes
// out byte for byte for any count of threads (1 or more; a thread that
// cannot start leaves its share to the caller's). Returns false when stop
// was set before the last step ended: the land is then part worn, to be
// dropped. stop is read inside each step's passes, every STOP_CHECK_EVERY
// vertices, so a stop ends even a 9-subdivision erosion within a small part
// of one step. progress, when given, hears of every step's end. Throws
// std::bad_alloc.
bool erodeLand(const IcosphereWeld& weld, const VertexNeighbours& neighbours, std::vector<float>& positions,
               double seaRadius, int steps, const ErosionRates& rates = {}, int threads = EROSION_THREADS,
               const float* unit = nullptr, StopRequest stop = nullptr,
               const ErosionProgress& progress = ErosionProgress());

// Mean over the land's vertices of |radius - mean radius of its neighbours|:
// how rough the land is at the scale of one vertex spacing.
double landRoughness(const VertexNeighbours& neighbours, const std::vector<float>& positions, double seaRadius);
