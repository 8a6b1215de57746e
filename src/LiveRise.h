#pragma once

#include "IcosphereWeld.h"

#include <cstddef>
#include <vector>

struct FaultPlane;

// The land of a live generation while it rises: one copy of each welded
// vertex, by coordinate (x, y and z in arrays of their own, so a plane's test
// and scaling run vectorised), private to the generation thread. The copies
// of a welded vertex in the soup take the same steps bit for bit, so working
// each out once and writing it to every copy gives the land of the literal
// loop over the soup, with no lock per vertex.
class LiveRise {
public:
    // Takes each welded vertex's position from its first corner of soup.
    // Throws std::bad_alloc (12 bytes a welded vertex).
    LiveRise(const IcosphereWeld& weld, const float* soup);

    // Scales every vertex by 1 + sign / 1500 on the plane's outer side and by
    // 1 - sign / 1500 on its inner side, as the literal loop does.
    void apply(const FaultPlane& plane);

    // Writes every welded vertex to its first corner in soup: what the window,
    // the smooth shading and the snapshots read while the land rises.
    void publishFirstCorners(float* soup) const;

    // Writes every welded vertex to all its corners in soup: the land whole,
    // once the generation has ended.
    void publishAllCorners(float* soup) const;

private:
    const IcosphereWeld& weld;
    std::vector<float> x, y, z;
};
