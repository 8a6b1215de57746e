#include "GlbJson.h"

#include "BiomeLegend.h"
#include "SettingsRecord.h"
#include "TerrainColours.h"
#include "WorldShape.h"

#include <algorithm>
#include <tuple>

namespace {

// The sea's opacity: enough to tint it, little enough to see the floor.
constexpr float SEA_ALPHA = 0.6f;

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
    return ",{\"name\":\"rivers\",\"pbrMetallicRoughness\":{\"baseColorFactor\":" + glbVector(colour, 4) +
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
    const Rgb& water = seaSurfaceColour();
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
                glbVector(seaColour, 4) + ",\"metallicFactor\":0,\"roughnessFactor\":0.25}}";
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

// The knots of a height curve: {"unitsAboveSea":[...],"metres":[...]}, a
// reader's map from a vertex's height above the sea to metres, linear
// between knots.
std::string heightCurveJson(const HeightCurve& curve)
{
    std::string units, metres;
    for (std::size_t k = 0; k < curve.units.size(); ++k) {
        units.append(k ? "," : "").append(shortestText(curve.units[k]));
        metres.append(k ? "," : "").append(shortestText(curve.metres[k]));
    }
    return "{\"unitsAboveSea\":[" + units + "],\"metres\":[" + metres + "]}";
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
    else if (!info.heightCurve.empty())
        extras += ",\"planetRadiusKm\":" + shortestText(info.radiusKm) + ",\"heightCurve\":" + heightCurveJson(info.heightCurve);
    if (biomes)
        extras += ",\"biomes\":" + biomeLegendJson();
    // headerComment is letters, digits, spaces, commas, points, minus signs, an apostrophe and a colon: no
    // character JSON escapes.
    extras += ",\"comment\":\"" + headerComment(info) + "\"";
    // The record's words need no escape either (SettingsRecord.h).
    if (!info.settings.empty())
        extras.append(",\"").append(SETTINGS_KEYWORD).append("\":\"").append(info.settings).append("\"");
    return "\"asset\":{\"version\":\"2.0\",\"generator\":\"Orbivane\",\"extras\":{" + extras + "}}";
}

} // namespace

std::string glbJson(const GlbLayout& layout, const MeshInfo& info)
{
    std::string json = "{";
    json.append(asset(info, layout.biomes)).append(",").append(sceneAndNodes(layout)).append(",");
    json.append(meshesAndMaterials(layout)).append(",").append(views(layout)).append(",").append(accessors(layout));
    return json.append(",").append(buffers(layout)).append("}");
}

