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

std::string boundsOf(const std::vector<float>& xyz)
{
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (std::size_t i = 0; i < xyz.size(); ++i) {
        low[i % 3] = std::min(low[i % 3], xyz[i]);
        high[i % 3] = std::max(high[i % 3], xyz[i]);
    }
    return ",\"min\":" + vec(low, 3) + ",\"max\":" + vec(high, 3);
}

// Every element takes a multiple of 4 bytes: a byte's element is padded to 4.
void add(GlbLayout& layout, std::uint64_t count, int componentType, const char* type, std::string bounds = {})
{
    const std::string name = type;
    const std::uint64_t components = name == "SCALAR" ? 1 : std::uint64_t(name[3] - '0');
    const int target = componentType == UNSIGNED_INT ? ELEMENT_ARRAY_BUFFER : ARRAY_BUFFER;
    layout.blocks.push_back({layout.binBytes, count, 4 * components * count, componentType, type, target,
                             std::move(bounds), componentType == UNSIGNED_BYTE ? 4 : 0});
    layout.binBytes += layout.blocks.back().bytes;
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

std::string viewsAndAccessors(const GlbLayout& layout)
{
    std::string views = "\"bufferViews\":[", accessors = "\"accessors\":[";
    for (std::size_t i = 0; i < layout.blocks.size(); ++i) {
        const GlbBlock& b = layout.blocks[i];
        const char* comma = i ? "," : "";
        views.append(comma).append(b.mode ? "{\"buffer\":1" : "{\"buffer\":0");
        views.append(",\"byteOffset\":").append(std::to_string(b.offset));
        views.append(",\"byteLength\":").append(std::to_string(b.bytes));
        if (b.byteStride)
            views.append(",\"byteStride\":").append(std::to_string(b.byteStride));
        if (!b.target) {
            views.append("}");
            continue;
        }
        views.append(",\"target\":").append(std::to_string(b.target));
        views.append(b.mode ? meshoptView(b) : "").append("}");
        accessors.append(comma).append("{\"bufferView\":").append(std::to_string(i));
        accessors.append(",\"componentType\":").append(std::to_string(b.componentType));
        accessors.append(",\"count\":").append(std::to_string(b.count));
        accessors.append(b.normalized ? ",\"normalized\":true" : "");
        accessors.append(",\"type\":\"").append(b.type).append("\"").append(b.bounds).append("}");
    }
    return views + "]," + accessors + "]";
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
    return ",{\"name\":\"rivers\",\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":" +
           std::to_string(layout.blocks.size() - (layout.textured ? 4 : 1)) + ",\"mode\":1,\"material\":" +
           std::to_string(layout.sea ? 2 : 1) +
           "}]}";
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

std::string meshesAndMaterials(const GlbLayout& layout)
{
    const bool sea = layout.sea;
    const Rgb& water = TERRAIN.shallowSea.colour;
    const float seaColour[4] = {linearFromSrgb(water[0]), linearFromSrgb(water[1]), linearFromSrgb(water[2]),
                                SEA_ALPHA};
    const int seaBlocks = layout.sea ? 2 + layout.seaFaces : 0;
    const std::string biomes = layout.biomes ? ",\"_BIOME\":" + std::to_string(4 + seaBlocks) : "";
    const std::string colours = layout.textured ? "\"TEXCOORD_0\":2,\"TANGENT\":" +
                                                      std::to_string(layout.blocks.size() - 3)
                                                : std::string("\"COLOR_0\":2");
    std::string text = "\"meshes\":[{\"name\":\"land\",\"primitives\":[{\"attributes\":"
                       "{\"POSITION\":0,\"NORMAL\":1," + colours + biomes + "},\"indices\":3,\"material\":0}]}";
    if (sea)
        text += ",{\"name\":\"sea\",\"primitives\":[{\"attributes\":{\"POSITION\":4,\"NORMAL\":5},"
                "\"indices\":" + std::string(layout.seaFaces ? "6" : "3") + ",\"material\":1}]}";
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

GlbLayout glbLayout(const IcosphereWeld& weld, const std::vector<float>& land, const SeaMesh* sea,
                    bool biomes, std::uint64_t riverIndices, const GlbTexturing* texturing)
{
    GlbLayout layout;
    const std::uint64_t vertices = texturing ? texturing->vertices : weld.vertexCount();
    add(layout, vertices, FLOAT, "VEC3", boundsOf(land));
    add(layout, vertices, FLOAT, "VEC3");
    add(layout, vertices, FLOAT, texturing ? "VEC2" : "VEC3");
    add(layout, 3 * std::uint64_t(weld.faceCount()), UNSIGNED_INT, "SCALAR");
    if (sea) {
        const std::uint64_t seaVertices = sea->weld.vertexCount();
        add(layout, seaVertices, FLOAT, "VEC3", boundsOf(sea->mesh.positions));
        add(layout, seaVertices, FLOAT, "VEC3");
        // A textured land's indices count its seams' copies, which the sea has not.
        layout.seaFaces = sea->ownFaces || texturing;
        if (layout.seaFaces)
            add(layout, 3 * std::uint64_t(sea->weld.faceCount()), UNSIGNED_INT, "SCALAR");
        layout.sea = true;
    }
    if (biomes)
        add(layout, vertices, UNSIGNED_BYTE, "SCALAR");
    layout.biomes = biomes;
    if (riverIndices > 0) {
        add(layout, riverIndices, UNSIGNED_INT, "SCALAR");
        layout.rivers = true;
    }
    if (texturing) {
        add(layout, vertices, FLOAT, "VEC4");
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
    json.append(meshesAndMaterials(layout)).append(",").append(viewsAndAccessors(layout));
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
        if (!e.bounds.empty())
            b.bounds = e.bounds;
        b.offset = plain.decodedBytes;
        b.bytes = b.count * std::uint64_t(e.byteStride ? e.byteStride : 4);
        plain.decodedBytes += b.bytes;
        b.encodedOffset = plain.binBytes;
        b.encodedBytes = e.encodedBytes;
        plain.binBytes += (e.encodedBytes + 3) / 4 * 4;
    }
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
