#pragma once

#include <cstdint>
#include <vector>

// Which corners of an icosphere's triangle soup are one vertex, found once on
// the undeformed sphere, where every copy of a shared vertex has the same bits
// and distinct vertices differ. The tables hold whatever the land does later:
// a welded mesh of any state, even one caught half-way through a fault plane,
// is closed, with 10 x 4^n + 2 vertices and every edge shared by two faces.
//
// The soup's triangles run clockwise seen from outside. Corner c of the soup
// is vertex cornerToVertex[c]; a welded face drawn counter-clockwise from
// outside is soup triangle t's corners (3t, 3t + 2, 3t + 1).
struct IcosphereWeld {
    // Per soup corner, in emission order: its welded vertex.
    std::vector<std::uint32_t> cornerToVertex;
    // Per welded vertex, numbered by first appearance: the soup corner of its
    // first copy, where the vertex's position is read.
    std::vector<std::uint32_t> vertexToCorner;

    std::size_t vertexCount() const { return vertexToCorner.size(); }
    std::size_t faceCount() const { return cornerToVertex.size() / 3; }
};

// Welds cornerCount corners (x, y, z each) of an undeformed icosphere soup by
// their bits: +0.0 and -0.0 stay apart. A trailing incomplete triangle is
// left out. Throws std::bad_alloc when the tables cannot be had.
IcosphereWeld weldIcosphere(const float* corners, std::size_t cornerCount);

// Bytes weldIcosphere needs for cornerCount corners: the tables it keeps and,
// while it runs, its hash table.
std::uint64_t weldBytes(std::uint64_t cornerCount);
