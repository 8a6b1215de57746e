#pragma once

#include "IcosphereWeld.h"
#include "MeshParts.h"
#include "SavedLand.h"

#include <cstdint>
#include <string>
#include <vector>

// Where each array lies in a .glb's BIN chunk, and the accessors over them
// (GlbJson.h writes the JSON that describes them).
// Each block is a buffer view, 4-byte aligned, in this order: land POSITION,
// NORMAL, COLOR_0, the indices, then the sea's POSITION and NORMAL (and its
// own indices when its sphere is coarser than the land's, or the land is
// textured), then the land's biome classes (_BIOME, one byte a vertex in a
// 4-byte element, as glTF aligns every vertex attribute's elements), then
// the rivers' line indices. A textured land (GlbTexturing) has TEXCOORD_0
// (float VEC2) in COLOR_0's place, the land's vertex arrays over its
// vertices with the seams' copies (the sea keeps its own), and two more kinds
// of block at the end: the land's TANGENT (float VEC4), then the colour map
// and the normal map as PNG files, buffer views without accessors.
//
// The plain file (MeshParts given) keeps every index in 16 bits: the land's
// vertex arrays run over its parts' vertices, one part after another, each
// part a primitive of its own whose accessors are slices of the land's
// blocks; COLOR_0 is 8-bit (normalised, in a 4-byte element). The rivers'
// lines index the land's positions whole (32-bit). A textured or compressed
// land is one primitive with 32-bit indices and an accessor per block.

struct GlbBlock {
    std::uint64_t offset;  // bytes from the start of the BIN chunk's data (compressed: of the decoded buffer)
    std::uint64_t count;   // elements
    std::uint64_t bytes;   // compressed: decoded
    int componentType;     // 5126 FLOAT, 5125 UNSIGNED_INT, 5123 UNSIGNED_SHORT, 5121 UNSIGNED_BYTE; compressed
                           // also 5120 BYTE or 5122 SHORT; 0: a picture's bytes
    const char* type;      // "VEC2", "VEC3", "VEC4" or "SCALAR"
    int target;            // 34962 vertex attributes or 34963 indices; 0: none (a picture)
    int byteStride = 0;    // bytes from one element to the next when padded; 0: packed
    bool normalized = false; // integers read as -1 to 1 (signed) or 0 to 1 (unsigned)
    // Compressed: EXT_meshopt_compression's "ATTRIBUTES", "TRIANGLES" or
    // "INDICES", and where the encoded bytes lie in the BIN chunk.
    const char* mode = nullptr;
    std::uint64_t encodedOffset = 0;
    std::uint64_t encodedBytes = 0;
};

// A slice of a block read as its elements.
struct GlbAccessor {
    std::size_t block;
    std::uint64_t byteOffset; // from the block's start
    std::uint64_t count;      // elements
    std::string bounds;       // ,"min":[...],"max":[...] for positions; else empty
};

// A primitive's accessors by number; -1: the attribute is absent.
struct GlbPrimitive {
    int position = -1;
    int normal = -1;
    int colour = -1; // COLOR_0, or TEXCOORD_0 on a textured land
    int tangent = -1;
    int biome = -1;
    int indices = -1;
};

struct GlbLayout {
    std::vector<GlbBlock> blocks;
    std::vector<GlbAccessor> accessors;
    std::vector<GlbPrimitive> land; // a primitive per part
    GlbPrimitive seaSurface;        // position -1: no sea
    int riverPositions = -1;        // -1: no rivers mesh
    int riverLines = -1;
    std::uint64_t binBytes = 0;
    bool sea = false;
    bool biomes = false; // the land carries _BIOME
    bool rivers = false; // line indices into the land's positions
    bool textured = false; // TEXCOORD_0, TANGENT and the two pictures (GlbTexturing)
    // Compressed (EXT_meshopt_compression, KHR_mesh_quantization): the
    // decoded blocks' buffer, which holds no data of its own, and each
    // node's ,"translation":[...],"scale":[...] from its quantised positions.
    bool compressed = false;
    std::uint64_t decodedBytes = 0;
    std::string landPlacement;
    std::string seaPlacement;
};

// What a textured land adds: its vertices with the seams' copies
// (TextureSeams.h) and the sizes of the colour map's and the normal map's PNG
// files in bytes.
struct GlbTexturing {
    std::uint64_t vertices;
    std::uint64_t colourBytes;
    std::uint64_t normalBytes;
};

// The blocks and accessors of a planet welded by weld. land: x, y, z per
// welded vertex (the textured land's vertex when texturing is set), for the
// positions' bounds; sea: its
// mesh, null when there is none; biomes: whether the land's classes go with
// it; riverIndices, the rivers' line indices (none: no rivers mesh);
// texturing, when set, the textured land's vertices and pictures (the sea
// then with its own indices); parts, when set, the plain file's parts (the
// sea shares the land's indices only when the land is one part).
GlbLayout glbLayout(const IcosphereWeld& weld, const std::vector<float>& land, const SeaMesh* sea,
                    bool biomes = false, std::uint64_t riverIndices = 0, const GlbTexturing* texturing = nullptr,
                    const MeshParts* parts = nullptr);

// How one block of a layout is stored compressed.
struct GlbEncoding {
    int componentType;
    bool normalized;
    int byteStride;         // a vertex attribute's decoded element in bytes; 0: indices, 4 bytes each
    const char* mode;       // "ATTRIBUTES", "TRIANGLES" or "INDICES"
    std::uint64_t encodedBytes;
    std::string bounds;     // positions' min and max as quantised; else empty
};

// plain's blocks as encodings say (one for each, in order), the encoded
// bytes one after the other in the BIN chunk, each 4-byte aligned.
GlbLayout compressedGlbLayout(GlbLayout plain, const std::vector<GlbEncoding>& encodings);

// [a,b,...]: count floats, each at its exact value (JSON text).
std::string glbVector(const float* values, int count);

// A node's ,"translation":[...],"scale":[s,s,s] (JSON text).
std::string glbPlacement(const float (&translation)[3], float scale);

// min and max of an accessor of integers (JSON text).
std::string glbBounds(const std::int16_t (&low)[3], const std::int16_t (&high)[3]);
