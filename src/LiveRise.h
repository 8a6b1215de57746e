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

    // For each of count planes in turn, scales every vertex by
    // 1 + sign / 1500 on the plane's outer side and by 1 - sign / 1500 on its
    // inner side, as the literal loop does. It works a block of vertices at a
    // time: each vertex takes the same steps in the same order, so the land
    // is the same bit for bit, but a block stays in the cache for all the
    // planes instead of the whole land passing through memory once a plane.
    void applyAll(const FaultPlane* planes, std::size_t count);

    // How many planes make one applyAll of about BATCH_WORK vertex steps
    // (about 7 ms here): 1 to MAX_BATCH.
    int batchPlanes() const;
    static constexpr std::size_t BATCH_WORK = std::size_t(1) << 24;
    static constexpr int MAX_BATCH = 64;

    // Writes every welded vertex to its first corner in soup: what the window,
    // the smooth shading and the snapshots read while the land rises.
    void publishFirstCorners(float* soup) const;

    // Writes every welded vertex to all its corners in soup: the land whole,
    // once the generation has ended.
    void publishAllCorners(float* soup) const;

private:
    // The planes' steps on the vertices from first to last (exclusive).
    void applyBlock(const FaultPlane* planes, std::size_t count, std::size_t first, std::size_t last);

    const IcosphereWeld& weld;
    std::vector<float> x, y, z;
};
