#include "GlbWriter.h"

#include "GlbLayout.h"

#include <bit>
#include <algorithm>
#include <cerrno>
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

void writeColours(SafeFile& out, const std::vector<float>& positions, const WorldShape& shape)
{
    for (std::size_t v = 0; v < positions.size() && !out.failed(); v += 3) {
        const Rgb colour = vertexColour(&positions[v], shape);
        const float linear[3] = {linearFromSrgb(colour[0]), linearFromSrgb(colour[1]), linearFromSrgb(colour[2])};
        writeFloats(out, linear, 3);
    }
}

void writeIndices(SafeFile& out, const IcosphereWeld& weld)
{
    for (std::size_t f = 0; f < weld.faceCount() && !out.failed(); ++f)
        writeU32s(out, {faceVertex(weld, f, 0), faceVertex(weld, f, 1), faceVertex(weld, f, 2)});
}

} // namespace

void writeGlb(SafeFile& out, const LandView& land, const MeshInfo& info)
{
    // A .glb states its length in 32 bits: 11 subdivisions fit, 12 do not.
    const std::uint64_t vertices = land.weld.vertexCount(), faces = land.weld.faceCount();
    const std::uint64_t riverIndices = land.rivers ? land.rivers->size() : 0;
    if (12 * vertices * (land.sea ? 5 : 3) + 12 * faces + 4 * riverIndices + MAX_JSON_BYTES > UINT32_MAX) {
        out.fail(EFBIG);
        return;
    }
    const WeldedMesh ground = weldedLand(land);
    const WeldedMesh sea = land.sea ? weldedSea(land) : WeldedMesh{};
    const GlbLayout layout = glbLayout(land.weld, ground.positions, land.sea ? &sea.positions : nullptr, riverIndices);
    std::string json = glbJson(layout, info);
    json.append((4 - json.size() % 4) % 4, ' ');
    const std::uint64_t total = 12 + 8 + json.size() + 8 + layout.binBytes;
    writeU32s(out, {GLB_MAGIC, 2, std::uint32_t(total), std::uint32_t(json.size()), JSON_CHUNK});
    out.write(json);
    writeU32s(out, {std::uint32_t(layout.binBytes), BIN_CHUNK});
    writeFloats(out, ground.positions.data(), ground.positions.size());
    writeFloats(out, ground.normals.data(), ground.normals.size());
    writeColours(out, ground.positions, land.shape);
    writeIndices(out, land.weld);
    writeFloats(out, sea.positions.data(), sea.positions.size());
    writeFloats(out, sea.normals.data(), sea.normals.size());
    for (std::size_t i = 0; i < riverIndices && !out.failed(); i += 2)
        writeU32s(out, {(*land.rivers)[i], (*land.rivers)[i + 1]});
}
