#pragma once

#include "IcosphereWeld.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Which welded vertices share an edge of the land: what climate and drainage
// walk over. Compressed rows: vertex v's neighbours are
// ids[offsets[v]] .. ids[offsets[v + 1] - 1], in increasing order; five for
// the icosahedron's twelve corners, six for every other vertex.
struct VertexNeighbours {
    std::vector<std::uint32_t> offsets; // vertexCount + 1 entries
    std::vector<std::uint32_t> ids;

    std::size_t vertexCount() const { return offsets.empty() ? 0 : offsets.size() - 1; }
    const std::uint32_t* begin(std::size_t v) const { return ids.data() + offsets[v]; }
    const std::uint32_t* end(std::size_t v) const { return ids.data() + offsets[v + 1]; }
};

// The neighbours of every welded vertex of weld. Throws std::bad_alloc when
// the tables (about 28 bytes a vertex) cannot be had.
VertexNeighbours vertexNeighbours(const IcosphereWeld& weld);
