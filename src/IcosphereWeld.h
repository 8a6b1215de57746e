#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Which corners of an icosphere's triangle soup are one vertex, found from the
// subdivision's structure alone: a corner is a point of its icosahedron
// face's triangular grid, and grid points on a shared edge or corner of the
// icosahedron are one vertex. No position is compared, so the tables hold for
// every state of the land: a welded mesh of any state, even one caught
// half-way through a fault plane, is closed, with 10 x 4^n + 2 vertices and
// every edge shared by two faces. On the undeformed sphere they agree with
// the positions bit for bit (copies of a vertex are equal, vertices differ).
//
// The soup's triangles run clockwise seen from outside. Corner c of the soup
// is vertex cornerToVertex[c]; a welded face drawn counter-clockwise from
// outside is soup triangle t's corners (3t, 3t + 2, 3t + 1).
struct IcosphereWeld {
    // Per soup corner, in emission order: its welded vertex.
    std::vector<std::uint32_t> cornerToVertex;
    // Per welded vertex, numbered by first appearance in the soup: the soup
    // corner of its first copy, where the vertex's position is read.
    std::vector<std::uint32_t> vertexToCorner;

    std::size_t vertexCount() const { return vertexToCorner.size(); }
    std::size_t faceCount() const { return cornerToVertex.size() / 3; }
};

// The weld of the soup that splitting each of the 20 faces (indices into the
// icosahedron's 12 vertices, as the soup is built) subdivisions times in four
// emits; subdivisions from 0 to 12. Throws std::bad_alloc when the tables
// cannot be had.
IcosphereWeld weldIcosphere(const int (&faces)[20][3], int subdivisions);

// Bytes weldIcosphere needs for cornerCount soup corners: the tables it keeps
// and, while it runs, one entry per vertex.
std::uint64_t weldBytes(std::uint64_t cornerCount);
