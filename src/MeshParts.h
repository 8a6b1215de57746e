#pragma once

#include "IcosphereWeld.h"

#include <cstdint>
#include <vector>

// A welded mesh cut into parts whose indices fit 16 bits, as a glTF
// primitive with UNSIGNED_SHORT indices takes them: values up to 65,534
// (65,535 is reserved), so at most 65,535 vertices a part. Each part is a run
// of the faces in order, as long as its vertices allow; a vertex on a cut
// belongs to every part it touches. The icosphere's faces run quadrant by
// quadrant, so each run is a compact patch and few vertices repeat (about
// 1 % at 8 subdivisions). Within a part, vertices are numbered as the weld
// numbers them, by first appearance in the soup: a mesh of one part keeps the
// weld's numbering.
struct MeshPart {
    std::uint64_t firstFace;
    std::uint64_t faceCount;
    std::uint32_t firstVertex; // its first entry in MeshParts::vertices
    std::uint32_t vertexCount;
};

struct MeshParts {
    std::vector<MeshPart> parts;
    // Per part vertex, the parts one after the other: its welded vertex.
    std::vector<std::uint32_t> vertices;
    // 3 per face, counter-clockwise from outside (faceVertex's order): the
    // part's own numbers of the face's vertices.
    std::vector<std::uint16_t> indices;
    // Per welded vertex: its first entry in vertices.
    std::vector<std::uint32_t> firstCopy;
};

constexpr std::uint32_t PART_VERTICES_MAX = 65535;

// weld's faces cut into parts of at most partVerticesMax vertices (3 or
// more). Throws std::bad_alloc when the tables cannot be had.
MeshParts splitIntoParts(const IcosphereWeld& weld, std::uint32_t partVerticesMax = PART_VERTICES_MAX);
