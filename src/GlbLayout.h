#pragma once

#include "IcosphereWeld.h"
#include "SavedLand.h"

#include <cstdint>
#include <string>
#include <vector>

// Where each array lies in a .glb's BIN chunk and the JSON that describes it.
// Blocks are written in this order, each 4-byte aligned (every component is
// 4 bytes): land POSITION, NORMAL, COLOR_0, the indices, then the sea's
// POSITION and NORMAL, then the rivers' line indices. Buffer view i and
// accessor i are block i.

struct GlbBlock {
    std::uint64_t offset;  // bytes from the start of the BIN chunk's data
    std::uint64_t count;   // elements
    std::uint64_t bytes;
    int componentType;     // 5126 FLOAT or 5125 UNSIGNED_INT
    const char* type;      // "VEC3" or "SCALAR"
    int target;            // 34962 vertex attributes or 34963 indices
    std::string bounds;    // ,"min":[...],"max":[...] for positions; else empty
};

struct GlbLayout {
    std::vector<GlbBlock> blocks;
    std::uint64_t binBytes = 0;
    bool sea = false;
    bool rivers = false; // a last block of line indices into the land's positions
};

// The blocks of a planet welded by weld; land and sea: x, y, z per welded
// vertex (sea null when there is none), for the positions' bounds;
// riverIndices, the rivers' line indices (none: no rivers mesh).
GlbLayout glbLayout(const IcosphereWeld& weld, const std::vector<float>& land, const std::vector<float>* sea,
                    std::uint64_t riverIndices = 0);

// The JSON chunk's text (unpadded): asset with extras, scene, nodes, meshes,
// materials, accessors, buffer views and the one buffer.
std::string glbJson(const GlbLayout& layout, const MeshInfo& info);
