#include "GlbLayout.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr int FLOAT = 5126;
constexpr int UNSIGNED_INT = 5125;
constexpr int UNSIGNED_SHORT = 5123;
constexpr int UNSIGNED_BYTE = 5121;
constexpr int ARRAY_BUFFER = 34962;
constexpr int ELEMENT_ARRAY_BUFFER = 34963;

// The float's exact value: the validator compares min and max with the data
// read as floats, so no rounding may pass between them.
std::string number(float value)
{
    char text[40];
    return std::string(text, std::to_chars(text, text + sizeof text, double(value)).ptr);
}

// The bounds of vertices (x, y, z each): all of them, or those numbered
// order[first] to order[first + count - 1].
std::string boundsOf(const std::vector<float>& xyz, const std::uint32_t* order = nullptr, std::uint64_t first = 0,
                     std::uint64_t count = 0)
{
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    const std::uint64_t end = order ? first + count : xyz.size() / 3;
    for (std::uint64_t i = order ? first : 0; i < end; ++i) {
        const float* point = &xyz[3 * std::uint64_t(order ? order[i] : i)];
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], point[k]);
            high[k] = std::max(high[k], point[k]);
        }
    }
    return ",\"min\":" + glbVector(low, 3) + ",\"max\":" + glbVector(high, 3);
}

int componentBytes(int componentType)
{
    return componentType == FLOAT || componentType == UNSIGNED_INT ? 4 : componentType == UNSIGNED_BYTE ? 1 : 2;
}

std::uint64_t elementBytes(const GlbBlock& block)
{
    const std::string name = block.type;
    const std::uint64_t components = name == "SCALAR" ? 1 : std::uint64_t(name[3] - '0');
    return block.byteStride ? std::uint64_t(block.byteStride) : components * std::uint64_t(componentBytes(block.componentType));
}

// A block of vertex attributes: every element takes a multiple of 4 bytes
// (a byte's element is padded to 4); indices are packed. Each block starts
// 4-byte aligned. Its number.
std::size_t add(GlbLayout& layout, std::uint64_t count, int componentType, const char* type, bool indices = false,
                bool normalized = false)
{
    GlbBlock block{layout.binBytes, count, 0, componentType, type, indices ? ELEMENT_ARRAY_BUFFER : ARRAY_BUFFER};
    block.normalized = normalized;
    const std::uint64_t packed = elementBytes(block);
    if (!indices && packed % 4)
        block.byteStride = int((packed + 3) / 4 * 4);
    block.bytes = count * elementBytes(block);
    layout.binBytes += (block.bytes + 3) / 4 * 4;
    layout.blocks.push_back(block);
    return layout.blocks.size() - 1;
}

// An accessor over count elements of block from the first; its number.
// A slice of vertex attributes states its view's stride, as glTF asks of a
// view that two accessors read.
int access(GlbLayout& layout, std::size_t block, std::uint64_t first, std::uint64_t count, std::string bounds = {})
{
    GlbBlock& b = layout.blocks[block];
    if (b.target == ARRAY_BUFFER && (first != 0 || count != b.count))
        b.byteStride = int(elementBytes(b));
    layout.accessors.push_back({block, first * elementBytes(layout.blocks[block]), count, std::move(bounds)});
    return int(layout.accessors.size() - 1);
}

// An accessor over the whole of block; its number.
int accessWhole(GlbLayout& layout, std::size_t block, std::string bounds = {})
{
    return access(layout, block, 0, layout.blocks[block].count, std::move(bounds));
}

// A picture's bytes, padded with zeros to a multiple of 4.
void addPicture(GlbLayout& layout, std::uint64_t bytes)
{
    layout.blocks.push_back({layout.binBytes, 0, bytes, 0, "", 0, {}});
    layout.binBytes += (bytes + 3) / 4 * 4;
}

// One primitive over the land's blocks, each accessor the whole block.
void wholeLand(GlbLayout& layout, const std::vector<float>& land, std::size_t colour, std::size_t indices)
{
    GlbPrimitive& p = layout.land.emplace_back();
    p.position = accessWhole(layout, 0, boundsOf(land));
    p.normal = accessWhole(layout, 1);
    p.colour = accessWhole(layout, colour);
    p.indices = accessWhole(layout, indices);
}

// A primitive per part, each accessor its part's slice of a land block.
void partedLand(GlbLayout& layout, const std::vector<float>& land, const MeshParts& parts)
{
    for (const MeshPart& part : parts.parts) {
        GlbPrimitive& p = layout.land.emplace_back();
        p.position = access(layout, 0, part.firstVertex, part.vertexCount,
                            boundsOf(land, parts.vertices.data(), part.firstVertex, part.vertexCount));
        p.normal = access(layout, 1, part.firstVertex, part.vertexCount);
        p.colour = access(layout, 2, part.firstVertex, part.vertexCount);
        p.indices = access(layout, 3, 3 * part.firstFace, 3 * part.faceCount);
    }
}

// The sea's blocks and primitive: its own indices when its sphere is
// coarser than the land's or the land's vertices are not the weld's.
void addSea(GlbLayout& layout, const SeaMesh& sea, bool ownFaces, int indexType)
{
    const std::uint64_t seaVertices = sea.weld.vertexCount();
    layout.seaSurface.position = accessWhole(layout, add(layout, seaVertices, FLOAT, "VEC3"), boundsOf(sea.mesh.positions));
    layout.seaSurface.normal = accessWhole(layout, add(layout, seaVertices, FLOAT, "VEC3"));
    layout.seaSurface.indices = ownFaces ? accessWhole(layout, add(layout, 3 * std::uint64_t(sea.weld.faceCount()),
                                                                   indexType, "SCALAR", true))
                                         : layout.land.front().indices;
    layout.sea = true;
}

// The biome classes, one block over the land's vertices, sliced as the
// land's positions are.
void addBiomes(GlbLayout& layout, std::uint64_t vertices)
{
    const std::size_t block = add(layout, vertices, UNSIGNED_BYTE, "SCALAR");
    for (GlbPrimitive& p : layout.land)
        p.biome = access(layout, block, layout.accessors[std::size_t(p.position)].byteOffset / elementBytes(layout.blocks[0]),
                         layout.accessors[std::size_t(p.position)].count);
    layout.biomes = true;
}

// The rivers' lines over the land's positions whole.
void addRivers(GlbLayout& layout, const std::vector<float>& land, std::uint64_t riverIndices)
{
    layout.riverPositions = layout.land.size() == 1 ? layout.land.front().position
                                                    : accessWhole(layout, 0, boundsOf(land));
    layout.riverLines = accessWhole(layout, add(layout, riverIndices, UNSIGNED_INT, "SCALAR", true));
    layout.rivers = true;
}

} // namespace

GlbLayout glbLayout(const IcosphereWeld& weld, const std::vector<float>& land, const SeaMesh* sea,
                    bool biomes, std::uint64_t riverIndices, const GlbTexturing* texturing, const MeshParts* parts)
{
    GlbLayout layout;
    const std::uint64_t vertices = texturing ? texturing->vertices : parts ? parts->vertices.size() : weld.vertexCount();
    const int indexType = parts ? UNSIGNED_SHORT : UNSIGNED_INT;
    add(layout, vertices, FLOAT, "VEC3");
    add(layout, vertices, FLOAT, "VEC3");
    const std::size_t colour = parts ? add(layout, vertices, UNSIGNED_BYTE, "VEC3", false, true)
                                     : add(layout, vertices, FLOAT, texturing ? "VEC2" : "VEC3");
    const std::size_t indices = add(layout, 3 * std::uint64_t(weld.faceCount()), indexType, "SCALAR", true);
    if (parts)
        partedLand(layout, land, *parts);
    else
        wholeLand(layout, land, colour, indices);
    // A textured land's indices count its seams' copies, which the sea has not.
    if (sea)
        addSea(layout, *sea, sea->ownFaces || texturing || layout.land.size() > 1, indexType);
    if (biomes)
        addBiomes(layout, vertices);
    if (riverIndices > 0)
        addRivers(layout, land, riverIndices);
    if (texturing) {
        layout.land.front().tangent = accessWhole(layout, add(layout, vertices, FLOAT, "VEC4"));
        addPicture(layout, texturing->colourBytes);
        addPicture(layout, texturing->normalBytes);
        layout.textured = true;
    }
    return layout;
}

GlbLayout compressedGlbLayout(GlbLayout plain, const std::vector<GlbEncoding>& encodings)
{
    plain.compressed = true;
    plain.binBytes = plain.decodedBytes = 0;
    for (std::size_t i = 0; i < plain.blocks.size() && i < encodings.size(); ++i) {
        GlbBlock& b = plain.blocks[i];
        const GlbEncoding& e = encodings[i];
        b.componentType = e.componentType;
        b.normalized = e.normalized;
        b.byteStride = e.byteStride;
        b.mode = e.mode;
        b.offset = plain.decodedBytes;
        b.bytes = b.count * std::uint64_t(e.byteStride ? e.byteStride : 4);
        plain.decodedBytes += b.bytes;
        b.encodedOffset = plain.binBytes;
        b.encodedBytes = e.encodedBytes;
        plain.binBytes += (e.encodedBytes + 3) / 4 * 4;
    }
    for (GlbAccessor& a : plain.accessors)
        if (a.block < encodings.size() && !encodings[a.block].bounds.empty())
            a.bounds = encodings[a.block].bounds;
    return plain;
}

std::string glbVector(const float* values, int count)
{
    std::string text = "[";
    for (int k = 0; k < count; ++k)
        text.append(k ? "," : "").append(number(values[k]));
    return text + "]";
}

std::string glbPlacement(const float (&translation)[3], float scale)
{
    const float scales[3] = {scale, scale, scale};
    return ",\"translation\":" + glbVector(translation, 3) + ",\"scale\":" + glbVector(scales, 3);
}

std::string glbBounds(const std::int16_t (&low)[3], const std::int16_t (&high)[3])
{
    std::string text = ",\"min\":[";
    for (int k = 0; k < 3; ++k)
        text.append(k ? "," : "").append(std::to_string(low[k]));
    text += "],\"max\":[";
    for (int k = 0; k < 3; ++k)
        text.append(k ? "," : "").append(std::to_string(high[k]));
    return text + "]";
}
