#include "GlbWriter.h"

#include "GlbLayout.h"
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
// Far more than the JSON chunk and the headers ever take (about 2 KiB).
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

void writeColours(SafeFile& out, const std::vector<float>& positions, const LandView& land)
{
    for (std::size_t v = 0; v < positions.size() && !out.failed(); v += 3) {
        const Rgb colour = landColour(land, v / 3, &positions[v]);
        const float linear[3] = {linearFromSrgb(colour[0]), linearFromSrgb(colour[1]), linearFromSrgb(colour[2])};
        writeFloats(out, linear, 3);
    }
}

// Each class number in the first byte of a 4-byte element.
void writeBiomes(SafeFile& out, const std::vector<Biome>& biomes)
{
    char bytes[4096] = {};
    for (std::size_t first = 0; first < biomes.size() && !out.failed(); first += sizeof bytes / 4) {
        const std::size_t n = std::min(biomes.size() - first, sizeof bytes / 4);
        for (std::size_t k = 0; k < n; ++k)
            bytes[4 * k] = static_cast<char>(biomes[first + k]);
        out.write(bytes, 4 * n);
    }
}

void writeIndices(SafeFile& out, const IcosphereWeld& weld)
{
    for (std::size_t f = 0; f < weld.faceCount() && !out.failed(); ++f)
        writeU32s(out, {faceVertex(weld, f, 0), faceVertex(weld, f, 1), faceVertex(weld, f, 2)});
}

void writeHeaderAndJson(SafeFile& out, const GlbLayout& layout, const MeshInfo& info)
{
    std::string json = glbJson(layout, info);
    json.append((4 - json.size() % 4) % 4, ' ');
    const std::uint64_t total = 12 + 8 + json.size() + 8 + layout.binBytes;
    writeU32s(out, {GLB_MAGIC, 2, std::uint32_t(total), std::uint32_t(json.size()), JSON_CHUNK});
    out.write(json);
    writeU32s(out, {std::uint32_t(layout.binBytes), BIN_CHUNK});
}

void writeRivers(SafeFile& out, const LandView& land)
{
    const std::size_t riverIndices = land.rivers ? land.rivers->size() : 0;
    for (std::size_t i = 0; i < riverIndices && !out.failed(); i += 2)
        writeU32s(out, {(*land.rivers)[i], (*land.rivers)[i + 1]});
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
    WeldedMesh sea = land.sea ? weldedSea(land) : WeldedMesh{};
    appendCopies(sea.positions, 3, mesh);
    appendCopies(sea.normals, 3, mesh);
    std::vector<Biome> biomes = land.climate ? land.climate->biome : std::vector<Biome>{};
    appendCopies(biomes, 1, mesh);
    const MeshTextures& pictures = *land.textures;
    const GlbTexturing texturing{mesh.vertexCount(), pictures.colourPng.size(), pictures.normalPng.size()};
    const GlbLayout layout = glbLayout(land.weld, ground.positions, land.sea ? &sea.positions : nullptr,
                                       land.climate != nullptr, land.rivers ? land.rivers->size() : 0, &texturing);
    if (layout.binBytes + MAX_JSON_BYTES > UINT32_MAX) {
        out.fail(EFBIG);
        return;
    }
    writeHeaderAndJson(out, layout, info);
    writeFloats(out, ground.positions.data(), ground.positions.size());
    writeFloats(out, ground.normals.data(), ground.normals.size());
    writeFloats(out, mesh.uv.data(), mesh.uv.size());
    for (std::size_t i = 0; i < mesh.indices.size() && !out.failed(); i += 3)
        writeU32s(out, {mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2]});
    writeFloats(out, sea.positions.data(), sea.positions.size());
    writeFloats(out, sea.normals.data(), sea.normals.size());
    writeBiomes(out, biomes);
    writeRivers(out, land);
    const std::vector<float> tangents = eastTangents(mesh.uv);
    writeFloats(out, tangents.data(), tangents.size());
    writePicture(out, pictures.colourPng);
    writePicture(out, pictures.normalPng);
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
    const WeldedMesh sea = land.sea ? weldedSea(land) : WeldedMesh{};
    const GlbLayout layout = glbLayout(land.weld, ground.positions, land.sea ? &sea.positions : nullptr,
                                       land.climate != nullptr, riverIndices);
    writeHeaderAndJson(out, layout, info);
    writeFloats(out, ground.positions.data(), ground.positions.size());
    writeFloats(out, ground.normals.data(), ground.normals.size());
    writeColours(out, ground.positions, land);
    writeIndices(out, land.weld);
    writeFloats(out, sea.positions.data(), sea.positions.size());
    writeFloats(out, sea.normals.data(), sea.normals.size());
    if (land.climate)
        writeBiomes(out, land.climate->biome);
    writeRivers(out, land);
}
