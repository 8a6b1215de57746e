#pragma once

#include "IcosphereWeld.h"
#include "SavedLand.h"

#include <cstdint>
#include <string>
#include <vector>

// Where each array lies in a .glb's BIN chunk and the JSON that describes it.
// Blocks are written in this order, each 4-byte aligned: land POSITION,
// NORMAL, COLOR_0, the indices, then the sea's POSITION and NORMAL, then the
// land's biome classes (_BIOME, one byte a vertex in a 4-byte element, as
// glTF aligns every vertex attribute's elements), then the rivers' line
// indices. Buffer view i and accessor i are block i. A textured land
// (GlbTexturing) has TEXCOORD_0 (float VEC2) in COLOR_0's place, every
// vertex array over its vertices with the seams' copies, and two more kinds
// of block at the end: the land's TANGENT (float VEC4), then the colour map
// and the normal map as PNG files, buffer views without accessors.

struct GlbBlock {
    std::uint64_t offset;  // bytes from the start of the BIN chunk's data
    std::uint64_t count;   // elements
    std::uint64_t bytes;
    int componentType;     // 5126 FLOAT, 5125 UNSIGNED_INT or 5121 UNSIGNED_BYTE; 0: a picture's bytes
    const char* type;      // "VEC2", "VEC3", "VEC4" or "SCALAR"
    int target;            // 34962 vertex attributes or 34963 indices; 0: none (a picture)
    std::string bounds;    // ,"min":[...],"max":[...] for positions; else empty
    int byteStride = 0;    // bytes from one element to the next when padded; 0: packed
};

struct GlbLayout {
    std::vector<GlbBlock> blocks;
    std::uint64_t binBytes = 0;
    bool sea = false;
    bool biomes = false; // the land carries _BIOME, the block after the sea's
    bool rivers = false; // a last block of line indices into the land's positions
    bool textured = false; // TEXCOORD_0, TANGENT and the two pictures (GlbTexturing)
};

// What a textured land adds: its vertices with the seams' copies
// (TextureSeams.h) and the sizes of the colour map's and the normal map's PNG
// files in bytes.
struct GlbTexturing {
    std::uint64_t vertices;
    std::uint64_t colourBytes;
    std::uint64_t normalBytes;
};

// The blocks of a planet welded by weld; land and sea: x, y, z per welded
// vertex (sea null when there is none), for the positions' bounds; biomes:
// whether the land's classes go with it; riverIndices, the rivers' line
// indices (none: no rivers mesh); texturing, when set, the textured land's
// parts (land and sea then over its vertices).
GlbLayout glbLayout(const IcosphereWeld& weld, const std::vector<float>& land, const std::vector<float>* sea,
                    bool biomes = false, std::uint64_t riverIndices = 0, const GlbTexturing* texturing = nullptr);

// The JSON chunk's text (unpadded): asset with extras (with the classes'
// legend when the land carries them, and the planet's size when known),
// scene, nodes, meshes, materials, accessors, buffer views and the one buffer.
std::string glbJson(const GlbLayout& layout, const MeshInfo& info);
