#pragma once

#include "IcosphereWeld.h"

#include <cstdint>
#include <vector>

// Texture coordinates of the welded land on the equirectangular maps
// (WorldMap.h): u = (longitude + 180 degrees) / 360 degrees, 0 at the 180th
// meridian west, 0.5 at longitude 0 (+x), rising to the east (-z); v =
// (90 degrees - latitude) / 180 degrees, 0 at the north pole (+y). No
// triangle spans the map: a triangle crossing the 180th meridian takes copies
// of its western vertices with u + 1 (a sampler that repeats in u reads them
// on the map's west edge), and a vertex on a pole, where every u is right,
// is copied into each of its triangles with u midway between the other two
// corners'.
struct TexturedMesh {
    // The welded vertex each vertex after the weld's own copies; the weld's
    // vertices come first, as they are.
    std::vector<std::uint32_t> copied;
    std::vector<float> uv;              // u, v per vertex: the weld's, then the copies'
    std::vector<std::uint32_t> indices; // 3 per face, counter-clockwise from outside, as faceVertex

    std::size_t vertexCount() const { return uv.size() / 2; }
};

// The texture coordinates of the land welded by weld, its directions read
// from positions (x, y, z per welded vertex, the weld's order). Throws
// std::bad_alloc when the arrays cannot be had.
TexturedMesh texturedMesh(const IcosphereWeld& weld, const std::vector<float>& positions);

// values (components per welded vertex) with each copy's values appended
// after the weld's, so they number as mesh's vertices; empty values (an
// array the land does not carry) stay empty.
template <typename T>
void appendCopies(std::vector<T>& values, int components, const TexturedMesh& mesh)
{
    if (values.empty())
        return;
    values.reserve(values.size() + components * mesh.copied.size());
    for (std::uint32_t v : mesh.copied)
        for (int k = 0; k < components; ++k)
            values.push_back(values[std::size_t(components) * v + k]);
}

// The unit vector pointing east at texture coordinate u (any longitude's
// u, u + 1 alike): (-sin longitude, 0, -cos longitude).
void eastAt(float u, float* xyz);
