#include "ObjWriter.h"

#include <charconv>
#include <string>

namespace {

// One OBJ record: a tag and count numbers.
template <typename T>
void putObjLine(SafeFile& out, const std::string& tag, const T* values, int count)
{
    std::string line = tag;
    for (int k = 0; k < count; ++k) {
        char number[32];
        line += ' ';
        line.append(number, std::to_chars(number, number + sizeof number, values[k]).ptr);
    }
    line += '\n';
    out.write(line);
}

// Face f as "f a//a b//b c//c": each corner's vertex and normal, 1-based,
// after the `before` vertices earlier objects of the file hold.
void putObjFace(SafeFile& out, const IcosphereWeld& weld, std::size_t f, std::size_t before)
{
    std::string line = "f";
    for (int k = 0; k < 3; ++k) {
        const std::string index = std::to_string(before + faceVertex(weld, f, k) + 1);
        line += ' ' + index + "//" + index;
    }
    line += '\n';
    out.write(line);
}

// One mesh's vertices, each with colourOf(v, xyz), its normals and its
// faces, numbered after `before` vertices.
template <typename ColourOf>
void putObjMesh(SafeFile& out, const IcosphereWeld& weld, const WeldedMesh& mesh, std::size_t before,
                ColourOf colourOf)
{
    for (std::size_t v = 0; v < weld.vertexCount() && !out.failed(); ++v) {
        const float* p = &mesh.positions[3 * v];
        const Rgb colour = colourOf(v, p);
        const float record[6] = {p[0], p[1], p[2], colour[0], colour[1], colour[2]};
        putObjLine(out, "v", record, 6);
    }
    for (std::size_t v = 0; v < weld.vertexCount() && !out.failed(); ++v)
        putObjLine(out, "vn", &mesh.normals[3 * v], 3);
    for (std::size_t f = 0; f < weld.faceCount() && !out.failed(); ++f)
        putObjFace(out, weld, f, before);
}

} // namespace

void writeObj(SafeFile& out, const LandView& land, const MeshInfo& info)
{
    const WeldedMesh mesh = weldedLand(land);
    out.write("# " + headerComment(info) + "\n");
    if (!info.settings.empty())
        out.write("# " + info.settings + "\n");
    if (land.sea)
        out.write("o land\n");
    putObjMesh(out, land.weld, mesh, 0, [&](std::size_t v, const float* p) { return landColour(land, v, p); });
    if (!land.sea || out.failed())
        return;
    const SeaMesh sea = weldedSea(land);
    out.write("o sea\n");
    putObjMesh(out, sea.weld, sea.mesh, land.weld.vertexCount(),
               [](std::size_t, const float*) { return seaSurfaceColour(); });
}
