#include "GlbWriter.h"

#include "GlbJson.h"
#include "GlbLayout.h"
#include "MeshCompression.h"
#include "MeshParts.h"
#include "TextureSeams.h"

#include <bit>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace {

constexpr std::uint32_t GLB_MAGIC = 0x46546C67;  // "glTF"
constexpr std::uint32_t JSON_CHUNK = 0x4E4F534A; // "JSON"
constexpr std::uint32_t BIN_CHUNK = 0x004E4942;  // "BIN\0"
// More than the JSON chunk and the headers take below 9 subdivisions (about
// 2 KiB, and some 600 bytes a part more); the early size checks overcount
// the binary arrays by far more than the parts' JSON adds beyond.
constexpr std::uint64_t MAX_JSON_BYTES = 65536;

void writeU32s(SafeFile& out, std::initializer_list<std::uint32_t> values)
{
    for (std::uint32_t value : values) {
        char bytes[4];
        putU32(bytes, value);
        out.write(bytes, 4);
    }
}

// count floats, little-endian, a few thousand at a time.
void writeFloats(SafeFile& out, const float* values, std::size_t count)
{
    char bytes[4096];
    for (std::size_t first = 0; first < count && !out.failed(); first += sizeof bytes / 4) {
        const std::size_t n = std::min(count - first, sizeof bytes / 4);
        for (std::size_t k = 0; k < n; ++k)
            putU32(bytes + 4 * k, std::bit_cast<std::uint32_t>(values[first + k]));
        out.write(bytes, 4 * n);
    }
}

// The colour of the vertex at xyz, linear as glTF's are.
void linearColour(const LandView& land, std::size_t v, const float* xyz, float* linear)
{
    const Rgb colour = landColour(land, v, xyz);
    for (int k = 0; k < 3; ++k)
        linear[k] = linearFromSrgb(colour[k]);
}

// Per entry of order, x, y, z of that vertex of xyz, a few thousand at a time.
void writeGathered(SafeFile& out, const std::vector<float>& xyz, const std::vector<std::uint32_t>& order)
{
    float values[3 * 1024];
    for (std::size_t first = 0; first < order.size() && !out.failed(); first += 1024) {
        const std::size_t n = std::min<std::size_t>(order.size() - first, 1024);
        for (std::size_t k = 0; k < n; ++k)
            std::copy_n(&xyz[3 * std::size_t(order[first + k])], 3, &values[3 * k]);
        writeFloats(out, values, 3 * n);
    }
}

// Per part vertex (its welded vertex in welded) its colour, linear, in 8 bits
// a channel and a zero pad; positions per welded vertex.
void writeColours(SafeFile& out, const std::vector<float>& positions, const LandView& land,
                  const std::vector<std::uint32_t>& welded)
{
    char bytes[4096] = {};
    for (std::size_t first = 0; first < welded.size() && !out.failed(); first += sizeof bytes / 4) {
        const std::size_t n = std::min(welded.size() - first, sizeof bytes / 4);
        for (std::size_t k = 0; k < n; ++k) {
            float linear[3];
            const std::uint32_t v = welded[first + k];
            linearColour(land, v, &positions[3 * std::size_t(v)], linear);
            for (int c = 0; c < 3; ++c)
                bytes[4 * k + std::size_t(c)] = static_cast<char>(std::lround(std::clamp(linear[c], 0.0f, 1.0f) * 255.0f));
        }
        out.write(bytes, 4 * n);
    }
}

// 16-bit values, little-endian, padded with zeros to a multiple of 4 bytes.
void writeShorts(SafeFile& out, const std::vector<std::uint16_t>& values)
{
    char bytes[4096];
    for (std::size_t first = 0; first < values.size() && !out.failed(); first += sizeof bytes / 2) {
        const std::size_t n = std::min(values.size() - first, sizeof bytes / 2);
        for (std::size_t k = 0; k < n; ++k) {
            bytes[2 * k] = static_cast<char>(values[first + k] & 0xFF);
            bytes[2 * k + 1] = static_cast<char>(values[first + k] >> 8);
        }
        out.write(bytes, 2 * n);
    }
    static constexpr char zeros[4] = {};
    out.write(zeros, values.size() % 2 ? 2 : 0);
}

// Each class number in the first byte of a 4-byte element; with order, the
// class of each vertex it numbers.
void writeBiomes(SafeFile& out, const std::vector<Biome>& biomes, const std::vector<std::uint32_t>* order = nullptr)
{
    char bytes[4096] = {};
    const std::size_t count = order ? order->size() : biomes.size();
    for (std::size_t first = 0; first < count && !out.failed(); first += sizeof bytes / 4) {
        const std::size_t n = std::min(count - first, sizeof bytes / 4);
        for (std::size_t k = 0; k < n; ++k)
            bytes[4 * k] = static_cast<char>(biomes[order ? (*order)[first + k] : first + k]);
        out.write(bytes, 4 * n);
    }
}

void writeIndices(SafeFile& out, const IcosphereWeld& weld)
{
    for (std::size_t f = 0; f < weld.faceCount() && !out.failed(); ++f)
        writeU32s(out, {faceVertex(weld, f, 0), faceVertex(weld, f, 1), faceVertex(weld, f, 2)});
}

// The header, the JSON chunk (padded with spaces) and the BIN chunk's header.
void writeHead(SafeFile& out, const GlbLayout& layout, const MeshInfo& info)
{
    std::string json = glbJson(layout, info);
    json.append((4 - json.size() % 4) % 4, ' ');
    const std::uint64_t total = 12 + 8 + json.size() + 8 + layout.binBytes;
    if (total > UINT32_MAX) {
        out.fail(EFBIG);
        return;
    }
    writeU32s(out, {GLB_MAGIC, 2, std::uint32_t(total), std::uint32_t(json.size()), JSON_CHUNK});
    out.write(json);
    writeU32s(out, {std::uint32_t(layout.binBytes), BIN_CHUNK});
}

// The rivers' lines; renumbered: each welded vertex as its entry there.
void writeRivers(SafeFile& out, const LandView& land, const std::vector<std::uint32_t>* renumbered = nullptr)
{
    const std::size_t riverIndices = land.rivers ? land.rivers->size() : 0;
    const auto number = [&](std::uint32_t v) { return renumbered ? (*renumbered)[v] : v; };
    for (std::size_t i = 0; i < riverIndices && !out.failed(); i += 2)
        writeU32s(out, {number((*land.rivers)[i]), number((*land.rivers)[i + 1])});
}

// Per vertex its direction from the centre, unit length.
std::vector<float> sphereNormals(const std::vector<float>& positions)
{
    std::vector<float> normals(positions.size());
    for (std::size_t v = 0; v < positions.size(); v += 3) {
        const double length = std::hypot(double(positions[v]), double(positions[v + 1]), double(positions[v + 2]));
        for (int k = 0; k < 3; ++k)
            normals[v + k] = static_cast<float>(positions[v + k] / length);
    }
    return normals;
}

// Per vertex its east (TextureSeams.h eastAt) and the handedness 1.
std::vector<float> eastTangents(const std::vector<float>& uv)
{
    std::vector<float> tangents(2 * uv.size());
    for (std::size_t v = 0; 2 * v < uv.size(); ++v) {
        eastAt(uv[2 * v], &tangents[4 * v]);
        tangents[4 * v + 3] = 1.0f;
    }
    return tangents;
}

void writePicture(SafeFile& out, const std::vector<unsigned char>& png)
{
    static constexpr char zeros[4] = {};
    out.write(png.data(), png.size());
    out.write(zeros, (4 - png.size() % 4) % 4);
}

void writeTexturedGlb(SafeFile& out, const LandView& land, const MeshInfo& info)
{
    WeldedMesh ground = weldedLand(land);
    const TexturedMesh mesh = texturedMesh(land.weld, ground.positions);
    appendCopies(ground.positions, 3, mesh);
    ground.normals = sphereNormals(ground.positions);
    const SeaMesh sea = land.sea ? weldedSea(land) : SeaMesh{};
    std::vector<Biome> biomes = land.climate ? land.climate->biome : std::vector<Biome>{};
    appendCopies(biomes, 1, mesh);
    const MeshTextures& pictures = *land.textures;
    const GlbTexturing texturing{mesh.vertexCount(), pictures.colourPng.size(), pictures.normalPng.size()};
    const GlbLayout layout = glbLayout(land.weld, ground.positions, land.sea ? &sea : nullptr,
                                       land.climate != nullptr, land.rivers ? land.rivers->size() : 0, &texturing);
    if (layout.binBytes + MAX_JSON_BYTES > UINT32_MAX) {
        out.fail(EFBIG);
        return;
    }
    writeHead(out, layout, info);
    writeFloats(out, ground.positions.data(), ground.positions.size());
    writeFloats(out, ground.normals.data(), ground.normals.size());
    writeFloats(out, mesh.uv.data(), mesh.uv.size());
    for (std::size_t i = 0; i < mesh.indices.size() && !out.failed(); i += 3)
        writeU32s(out, {mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2]});
    writeFloats(out, sea.mesh.positions.data(), sea.mesh.positions.size());
    writeFloats(out, sea.mesh.normals.data(), sea.mesh.normals.size());
    if (land.sea)
        writeIndices(out, sea.weld);
    writeBiomes(out, biomes);
    writeRivers(out, land);
    const std::vector<float> tangents = eastTangents(mesh.uv);
    writeFloats(out, tangents.data(), tangents.size());
    writePicture(out, pictures.colourPng);
    writePicture(out, pictures.normalPng);
}

// A compressed .glb's blocks in the layout's order: how each is stored, its
// encoded bytes, and where the land's and the sea's nodes place them.
struct CompressedBlocks {
    std::vector<GlbEncoding> encodings;
    std::vector<std::vector<unsigned char>> bytes;
    std::string landPlacement;
    std::string seaPlacement;
};

constexpr int BYTE = 5120, UNSIGNED_BYTE = 5121, SHORT = 5122, UNSIGNED_SHORT = 5123, UNSIGNED_INT = 5125;

void addVertices(CompressedBlocks& blocks, const void* data, std::size_t count, int stride, int componentType,
                 bool normalized, std::string bounds = {})
{
    blocks.bytes.push_back(encodeVertices(data, count, std::size_t(stride)));
    blocks.encodings.push_back(
        {componentType, normalized, stride, "ATTRIBUTES", blocks.bytes.back().size(), std::move(bounds)});
}

void addIndices(CompressedBlocks& blocks, std::vector<unsigned char> bytes, const char* mode)
{
    blocks.encodings.push_back({UNSIGNED_INT, false, 0, mode, bytes.size(), {}});
    blocks.bytes.push_back(std::move(bytes));
}

// A mesh's positions (normalised shorts) and normals (normalised bytes); the
// placement of its node.
std::string addSurface(CompressedBlocks& blocks, const WeldedMesh& mesh)
{
    const QuantisedPositions q = quantisePositions(mesh.positions);
    const std::size_t count = mesh.positions.size() / 3;
    addVertices(blocks, q.xyzw.data(), count, 8, SHORT, true, glbBounds(q.low, q.high));
    const std::vector<std::int8_t> normals = quantiseNormals(mesh.normals);
    addVertices(blocks, normals.data(), count, 4, BYTE, true);
    return glbPlacement(q.translation, q.scale);
}

std::vector<unsigned char> encodedFaces(const IcosphereWeld& weld)
{
    std::vector<std::uint32_t> indices(3 * weld.faceCount());
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = faceVertex(weld, i / 3, int(i % 3));
    return encodeTriangles(indices, weld.vertexCount());
}

CompressedBlocks compressedBlocks(const LandView& land, const WeldedMesh& ground, const SeaMesh* sea)
{
    CompressedBlocks blocks;
    const std::size_t vertices = land.weld.vertexCount();
    blocks.landPlacement = addSurface(blocks, ground);
    std::vector<float> linear(ground.positions.size());
    for (std::size_t v = 0; v < vertices; ++v)
        linearColour(land, v, &ground.positions[3 * v], &linear[3 * v]);
    addVertices(blocks, quantiseColours(linear).data(), vertices, 8, UNSIGNED_SHORT, true);
    addIndices(blocks, encodedFaces(land.weld), "TRIANGLES");
    if (sea) {
        blocks.seaPlacement = addSurface(blocks, sea->mesh);
        if (sea->ownFaces)
            addIndices(blocks, encodedFaces(sea->weld), "TRIANGLES");
    }
    if (land.climate) {
        std::vector<std::uint8_t> biomes(4 * vertices, 0);
        for (std::size_t v = 0; v < vertices; ++v)
            biomes[4 * v] = static_cast<std::uint8_t>(land.climate->biome[v]);
        addVertices(blocks, biomes.data(), vertices, 4, UNSIGNED_BYTE, false);
    }
    if (land.rivers && !land.rivers->empty())
        addIndices(blocks, encodeIndices(*land.rivers, vertices), "INDICES");
    return blocks;
}

void writeCompressed(SafeFile& out, const CompressedBlocks& blocks, const GlbLayout& plain, const MeshInfo& info)
{
    GlbLayout layout = compressedGlbLayout(plain, blocks.encodings);
    layout.landPlacement = blocks.landPlacement;
    layout.seaPlacement = blocks.seaPlacement;
    writeHead(out, layout, info);
    const char zeros[4] = {};
    for (const std::vector<unsigned char>& bytes : blocks.bytes) {
        out.write(bytes.data(), bytes.size());
        out.write(zeros, (4 - bytes.size() % 4) % 4);
    }
}

// The land in parts with 16-bit indices (MeshParts.h), 8-bit colours.
void writePlain(SafeFile& out, const LandView& land, const MeshInfo& info, const WeldedMesh& ground,
                const SeaMesh& sea)
{
    const MeshParts parts = splitIntoParts(land.weld);
    const GlbLayout layout = glbLayout(land.weld, ground.positions, land.sea ? &sea : nullptr, land.climate != nullptr,
                                       land.rivers ? land.rivers->size() : 0, nullptr, &parts);
    writeHead(out, layout, info);
    writeGathered(out, ground.positions, parts.vertices);
    writeGathered(out, ground.normals, parts.vertices);
    writeColours(out, ground.positions, land, parts.vertices);
    writeShorts(out, parts.indices);
    writeFloats(out, sea.mesh.positions.data(), sea.mesh.positions.size());
    writeFloats(out, sea.mesh.normals.data(), sea.mesh.normals.size());
    // The sea's own sphere, at most 10,242 vertices, is one part in its
    // weld's numbering.
    if (land.sea && layout.seaSurface.indices != layout.land.front().indices)
        writeShorts(out, splitIntoParts(sea.weld).indices);
    if (land.climate)
        writeBiomes(out, land.climate->biome, &parts.vertices);
    writeRivers(out, land, &parts.firstCopy);
}

} // namespace

void writeGlb(SafeFile& out, const LandView& land, const MeshInfo& info)
{
    // A .glb states its length in 32 bits: 11 subdivisions fit, 12 do not.
    const std::uint64_t vertices = land.weld.vertexCount(), faces = land.weld.faceCount();
    const std::uint64_t riverIndices = land.rivers ? land.rivers->size() : 0;
    if (12 * vertices * (land.sea ? 5 : 3) + 4 * vertices + 12 * faces + 4 * riverIndices + MAX_JSON_BYTES >
        UINT32_MAX) {
        out.fail(EFBIG);
        return;
    }
    if (land.textures) {
        writeTexturedGlb(out, land, info);
        return;
    }
    const WeldedMesh ground = weldedLand(land);
    const SeaMesh sea = land.sea ? weldedSea(land) : SeaMesh{};
    if (land.compress) {
        const GlbLayout layout =
            glbLayout(land.weld, ground.positions, land.sea ? &sea : nullptr, land.climate != nullptr, riverIndices);
        writeCompressed(out, compressedBlocks(land, ground, land.sea ? &sea : nullptr), layout, info);
        return;
    }
    writePlain(out, land, info, ground, sea);
}
