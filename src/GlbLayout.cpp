#include "GlbLayout.h"

#include "BiomeLegend.h"
#include "SettingsRecord.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>

namespace {

constexpr int FLOAT = 5126;
constexpr int UNSIGNED_INT = 5125;
constexpr int UNSIGNED_SHORT = 5123;
constexpr int UNSIGNED_BYTE = 5121;
constexpr int ARRAY_BUFFER = 34962;
constexpr int ELEMENT_ARRAY_BUFFER = 34963;
// The sea's opacity: enough to tint it, little enough to see the floor.
constexpr float SEA_ALPHA = 0.6f;

// The float's exact value: the validator compares min and max with the data
// read as floats, so no rounding may pass between them.
std::string number(float value)
{
    char text[40];
    return std::string(text, std::to_chars(text, text + sizeof text, double(value)).ptr);
}

std::string vec(const float* values, int count)
{
    std::string text = "[";
    for (int k = 0; k < count; ++k)
        text.append(k ? "," : "").append(number(values[k]));
    return text + "]";
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
    return ",\"min\":" + vec(low, 3) + ",\"max\":" + vec(high, 3);
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

// A compressed block's encoded bytes in buffer 0, and how they decode.
std::string meshoptView(const GlbBlock& b)
{
    std::string text = ",\"extensions\":{\"EXT_meshopt_compression\":{\"buffer\":0,\"byteOffset\":";
    text.append(std::to_string(b.encodedOffset)).append(",\"byteLength\":").append(std::to_string(b.encodedBytes));
    text.append(",\"byteStride\":").append(std::to_string(b.bytes / std::max<std::uint64_t>(b.count, 1)));
    text.append(",\"count\":").append(std::to_string(b.count)).append(",\"mode\":\"").append(b.mode);
    return text + "\"}}";
}

std::string views(const GlbLayout& layout)
{
    std::string text = "\"bufferViews\":[";
    for (std::size_t i = 0; i < layout.blocks.size(); ++i) {
        const GlbBlock& b = layout.blocks[i];
        text.append(i ? "," : "").append(b.mode ? "{\"buffer\":1" : "{\"buffer\":0");
        text.append(",\"byteOffset\":").append(std::to_string(b.offset));
        text.append(",\"byteLength\":").append(std::to_string(b.bytes));
        if (b.byteStride)
            text.append(",\"byteStride\":").append(std::to_string(b.byteStride));
        if (b.target)
            text.append(",\"target\":").append(std::to_string(b.target)).append(b.mode ? meshoptView(b) : "");
        text.append("}");
    }
    return text + "]";
}

std::string accessors(const GlbLayout& layout)
{
    std::string text = "\"accessors\":[";
    for (std::size_t i = 0; i < layout.accessors.size(); ++i) {
        const GlbAccessor& a = layout.accessors[i];
        const GlbBlock& b = layout.blocks[a.block];
        text.append(i ? "," : "").append("{\"bufferView\":").append(std::to_string(a.block));
        text.append(",\"componentType\":").append(std::to_string(b.componentType));
        text.append(",\"count\":").append(std::to_string(a.count));
        if (a.byteOffset)
            text.append(",\"byteOffset\":").append(std::to_string(a.byteOffset));
        text.append(b.normalized ? ",\"normalized\":true" : "");
        text.append(",\"type\":\"").append(b.type).append("\"").append(a.bounds).append("}");
    }
    return text + "]";
}

// The buffers, and with compression the extensions every reader needs.
std::string buffers(const GlbLayout& layout)
{
    std::string text = "\"buffers\":[{\"byteLength\":" + std::to_string(layout.binBytes) + "}";
    if (!layout.compressed)
        return text + "]";
    text += ",{\"byteLength\":" + std::to_string(layout.decodedBytes) +
            ",\"extensions\":{\"EXT_meshopt_compression\":{\"fallback\":true}}}]";
    const std::string names = "[\"EXT_meshopt_compression\",\"KHR_mesh_quantization\"]";
    return text + ",\"extensionsUsed\":" + names + ",\"extensionsRequired\":" + names;
}

// The rivers' mesh: lines over the land's positions; empty without rivers.
std::string riversMesh(const GlbLayout& layout)
{
    if (!layout.rivers)
        return {};
    return ",{\"name\":\"rivers\",\"primitives\":[{\"attributes\":{\"POSITION\":" +
           std::to_string(layout.riverPositions) + "},\"indices\":" + std::to_string(layout.riverLines) +
           ",\"mode\":1,\"material\":" + std::to_string(layout.sea ? 2 : 1) + "}]}";
}

// The rivers' material, in the fresh water's colour; empty without rivers.
std::string riversMaterial(const GlbLayout& layout)
{
    if (!layout.rivers)
        return {};
    const Rgb& fresh = TERRAIN.freshWater;
    const float colour[4] = {linearFromSrgb(fresh[0]), linearFromSrgb(fresh[1]), linearFromSrgb(fresh[2]), 1.0f};
    return ",{\"name\":\"rivers\",\"pbrMetallicRoughness\":{\"baseColorFactor\":" + vec(colour, 4) +
           ",\"metallicFactor\":0,\"roughnessFactor\":0.25}}";
}

std::string landMaterial(const GlbLayout& layout)
{
    if (!layout.textured)
        return "{\"name\":\"land\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,1,1,1],"
               "\"metallicFactor\":0,\"roughnessFactor\":1}}";
    return "{\"name\":\"land\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0},"
           "\"metallicFactor\":0,\"roughnessFactor\":1},\"normalTexture\":{\"index\":1}}";
}

// The two pictures of a textured land, the last two buffer views: repeated
// round the meridians, clamped at the poles; empty without textures.
std::string texturesAndImages(const GlbLayout& layout)
{
    if (!layout.textured)
        return {};
    const std::string colour = std::to_string(layout.blocks.size() - 2);
    const std::string normal = std::to_string(layout.blocks.size() - 1);
    return ",\"samplers\":[{\"magFilter\":9729,\"minFilter\":9987,\"wrapS\":10497,\"wrapT\":33071}],"
           "\"textures\":[{\"sampler\":0,\"source\":0},{\"sampler\":0,\"source\":1}],"
           "\"images\":[{\"name\":\"colour map\",\"bufferView\":" + colour + ",\"mimeType\":\"image/png\"},"
           "{\"name\":\"normal map\",\"bufferView\":" + normal + ",\"mimeType\":\"image/png\"}]";
}

// A primitive's attributes, indices and material.
std::string primitive(const GlbPrimitive& p, bool textured, int material)
{
    std::string text = "{\"attributes\":{\"POSITION\":" + std::to_string(p.position) + ",\"NORMAL\":" +
                       std::to_string(p.normal);
    if (p.colour >= 0)
        text.append(textured ? ",\"TEXCOORD_0\":" : ",\"COLOR_0\":").append(std::to_string(p.colour));
    if (p.tangent >= 0)
        text.append(",\"TANGENT\":").append(std::to_string(p.tangent));
    if (p.biome >= 0)
        text.append(",\"_BIOME\":").append(std::to_string(p.biome));
    return text + "},\"indices\":" + std::to_string(p.indices) + ",\"material\":" + std::to_string(material) + "}";
}

std::string meshesAndMaterials(const GlbLayout& layout)
{
    const bool sea = layout.sea;
    const Rgb& water = TERRAIN.shallowSea.colour;
    const float seaColour[4] = {linearFromSrgb(water[0]), linearFromSrgb(water[1]), linearFromSrgb(water[2]),
                                SEA_ALPHA};
    std::string text = "\"meshes\":[{\"name\":\"land\",\"primitives\":[";
    for (std::size_t p = 0; p < layout.land.size(); ++p)
        text.append(p ? "," : "").append(primitive(layout.land[p], layout.textured, 0));
    text += "]}";
    if (sea)
        text += ",{\"name\":\"sea\",\"primitives\":[" + primitive(layout.seaSurface, false, 1) + "]}";
    text += riversMesh(layout) + "],\"materials\":[" + landMaterial(layout);
    if (sea)
        text += ",{\"name\":\"sea\",\"alphaMode\":\"BLEND\",\"pbrMetallicRoughness\":{\"baseColorFactor\":" +
                vec(seaColour, 4) + ",\"metallicFactor\":0,\"roughnessFactor\":0.25}}";
    return text + riversMaterial(layout) + "]" + texturesAndImages(layout);
}

std::string sceneAndNodes(const GlbLayout& layout)
{
    std::string list = "0", nodes = "{\"name\":\"land\",\"mesh\":0" + layout.landPlacement + "}";
    int next = 1;
    // The rivers lie on the land's positions, so they are placed as the land.
    for (const auto& [present, name, placement] : {std::tuple{layout.sea, "sea", &layout.seaPlacement},
                                                   std::tuple{layout.rivers, "rivers", &layout.landPlacement}}) {
        if (!present)
            continue;
        // Appended piece by piece: g++ 12 warns wrongly about "," + string.
        list.append(",").append(std::to_string(next));
        nodes.append(",{\"name\":\"").append(name).append("\",\"mesh\":").append(std::to_string(next));
        nodes.append(*placement).append("}");
        ++next;
    }
    return "\"scene\":0,\"scenes\":[{\"name\":\"planet\",\"nodes\":[" + list + "]}],\"nodes\":[" + nodes + "]";
}

// What made the planet, the mode ("batch" or "live") included; a land caught
// part-way also says how many planes it holds ("applied") and whether its
// generation was stopped; its size when known, and the legend of the classes
// the land carries; the header comment and the settings record.
std::string asset(const MeshInfo& info, bool biomes)
{
    std::string extras = "\"seed\":" + std::to_string(info.seed) + ",\"subdivisions\":" +
                         std::to_string(info.subdivisions) + ",\"iterations\":" + std::to_string(info.iterations) +
                         ",\"mode\":\"" + (info.live() ? "live" : "batch") + "\"";
    if (info.applied >= 0 && (info.applied < info.iterations || info.stopped))
        extras += ",\"applied\":" + std::to_string(info.applied) + ",\"stopped\":" + (info.stopped ? "true" : "false");
    if (info.metresPerUnit > 0.0)
        extras += ",\"planetRadiusKm\":" + shortestText(info.radiusKm) + ",\"metresPerUnit\":" +
                  shortestText(info.metresPerUnit);
    if (biomes)
        extras += ",\"biomes\":" + biomeLegendJson();
    // headerComment is letters, digits, spaces, commas, points and a colon: no character JSON escapes.
    extras += ",\"comment\":\"" + headerComment(info) + "\"";
    // The record's words need no escape either (SettingsRecord.h).
    if (!info.settings.empty())
        extras.append(",\"").append(SETTINGS_KEYWORD).append("\":\"").append(info.settings).append("\"");
    return "\"asset\":{\"version\":\"2.0\",\"generator\":\"Orbivane\",\"extras\":{" + extras + "}}";
}

} // namespace

namespace {

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

std::string glbJson(const GlbLayout& layout, const MeshInfo& info)
{
    std::string json = "{";
    json.append(asset(info, layout.biomes)).append(",").append(sceneAndNodes(layout)).append(",");
    json.append(meshesAndMaterials(layout)).append(",").append(views(layout)).append(",").append(accessors(layout));
    return json.append(",").append(buffers(layout)).append("}");
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

std::string glbPlacement(const float (&translation)[3], float scale)
{
    const float scales[3] = {scale, scale, scale};
    return ",\"translation\":" + vec(translation, 3) + ",\"scale\":" + vec(scales, 3);
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
