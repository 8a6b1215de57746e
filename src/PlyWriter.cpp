#include "PlyWriter.h"

#include <bit>

namespace {

// Bytes of one vertex record: six floats and three uchars.
constexpr std::size_t VERTEX_BYTES = 27;

std::string plyHeader(const IcosphereWeld& weld, const MeshInfo& info)
{
    const std::string settings = info.settings.empty() ? std::string() : "\ncomment " + info.settings;
    return "ply\nformat binary_little_endian 1.0\ncomment " + headerComment(info) + settings + "\nelement vertex " +
           std::to_string(weld.vertexCount()) +
           "\nproperty float x\nproperty float y\nproperty float z"
           "\nproperty float nx\nproperty float ny\nproperty float nz"
           "\nproperty uchar red\nproperty uchar green\nproperty uchar blue\nelement face " +
           std::to_string(weld.faceCount()) + "\nproperty list uchar uint vertex_indices\nend_header\n";
}

void writeVertex(SafeFile& out, const float* position, const float* normal, const Rgb& colour)
{
    char record[VERTEX_BYTES];
    for (int k = 0; k < 3; ++k) {
        putU32(record + 4 * k, std::bit_cast<std::uint32_t>(position[k]));
        putU32(record + 12 + 4 * k, std::bit_cast<std::uint32_t>(normal[k]));
    }
    putRgb8(colour, reinterpret_cast<unsigned char*>(record + 24));
    out.write(record, sizeof record);
}

} // namespace

void writePly(SafeFile& out, const LandView& land, const MeshInfo& info)
{
    const IcosphereWeld& weld = land.weld;
    const WeldedMesh mesh = weldedLand(land);
    out.write(plyHeader(weld, info));
    for (std::size_t v = 0; v < weld.vertexCount() && !out.failed(); ++v)
        writeVertex(out, &mesh.positions[3 * v], &mesh.normals[3 * v], colourWithoutSea(land, v, &mesh.positions[3 * v]));
    for (std::size_t f = 0; f < weld.faceCount() && !out.failed(); ++f) {
        char record[13] = {3};
        for (int k = 0; k < 3; ++k)
            putU32(record + 1 + 4 * k, faceVertex(weld, f, k));
        out.write(record, sizeof record);
    }
}
