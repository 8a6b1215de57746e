#include "MeshExport.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <new>
#include <vector>

namespace {

// Welded vertices gathered at a time: 192 KiB of floats.
constexpr std::size_t CHUNK_VERTICES = 16384;

// Positions of welded vertices [first, first + count) into out, as x, y, z.
void readChunk(const LandView& land, std::size_t first, std::size_t count, std::vector<float>& out)
{
    out.resize(3 * count);
    if (land.welded)
        std::copy_n(land.welded + 3 * first, 3 * count, out.data());
    else
        for (std::size_t v = 0; v < count; ++v) {
            const float* xyz = land.soup + 3 * std::size_t(land.weld.vertexToCorner[first + v]);
            std::copy_n(xyz, 3, &out[3 * v]);
        }
    if (land.shape.relief != 1.0)
        for (std::size_t v = 0; v < count; ++v)
            moveToShownRadius(&out[3 * v], land.shape);
}

// Calls emit(first, positions) for every chunk of welded vertices.
template <typename Emit>
void forEachChunk(const LandView& land, Emit emit)
{
    std::vector<float> chunk;
    const std::size_t total = land.weld.vertexCount();
    for (std::size_t first = 0; first < total; first += CHUNK_VERTICES) {
        readChunk(land, first, std::min(CHUNK_VERTICES, total - first), chunk);
        emit(chunk);
    }
}

// Face t counter-clockwise from outside: the soup's corners 0, 2, 1.
std::uint32_t faceVertex(const IcosphereWeld& weld, std::size_t face, int k)
{
    static constexpr int corner[3] = {0, 2, 1};
    return weld.cornerToVertex[3 * face + std::size_t(corner[k])];
}

void putU32(char* out, std::uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        out[k] = static_cast<char>(value >> (8 * k) & 0xFF);
}

void writePly(SafeFile& out, const LandView& land, const MeshInfo& info)
{
    const IcosphereWeld& weld = land.weld;
    out.write("ply\nformat binary_little_endian 1.0\ncomment " + headerComment(info) + "\nelement vertex " +
              std::to_string(weld.vertexCount()) +
              "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
              std::to_string(weld.faceCount()) + "\nproperty list uchar uint vertex_indices\nend_header\n");
    forEachChunk(land, [&out](const std::vector<float>& chunk) {
        for (float value : chunk) {
            char bytes[4];
            putU32(bytes, std::bit_cast<std::uint32_t>(value));
            out.write(bytes, 4);
        }
    });
    for (std::size_t f = 0; f < weld.faceCount() && !out.failed(); ++f) {
        char record[13] = {3};
        for (int k = 0; k < 3; ++k)
            putU32(record + 1 + 4 * k, faceVertex(weld, f, k));
        out.write(record, sizeof record);
    }
}

// One OBJ record: a tag and three numbers. Floats print as the shortest text
// that reads back to the same bits.
template <typename T>
void putObjLine(SafeFile& out, char tag, const T* values)
{
    char line[64] = {tag};
    char* end = line + 1;
    for (int k = 0; k < 3; ++k) {
        *end++ = ' ';
        end = std::to_chars(end, line + sizeof line, values[k]).ptr;
    }
    *end++ = '\n';
    out.write(line, static_cast<std::size_t>(end - line));
}

void writeObj(SafeFile& out, const LandView& land, const MeshInfo& info)
{
    out.write("# " + headerComment(info) + "\n");
    forEachChunk(land, [&out](const std::vector<float>& chunk) {
        for (std::size_t v = 0; v < chunk.size(); v += 3)
            putObjLine(out, 'v', &chunk[v]);
    });
    for (std::size_t f = 0; f < land.weld.faceCount() && !out.failed(); ++f) {
        const std::uint32_t oneBased[3] = {faceVertex(land.weld, f, 0) + 1, faceVertex(land.weld, f, 1) + 1,
                                           faceVertex(land.weld, f, 2) + 1};
        putObjLine(out, 'f', oneBased);
    }
}

enum class Format { Unknown, Ply, Obj };

Format formatOf(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".ply")
        return Format::Ply;
    return extension == ".obj" ? Format::Obj : Format::Unknown;
}

// Writes and commits; the errno of the first failure, or 0.
int writeFile(const SaveTarget& target, const LandView& land, const MeshInfo& info, Format format,
              std::string* written)
{
    SafeFile out(target);
    if (out.failed())
        return out.failure;
    try {
        if (format == Format::Ply)
            writePly(out, land, info);
        else
            writeObj(out, land, info);
    } catch (const std::bad_alloc&) {
        out.fail(ENOMEM);
    }
    if (!out.commit())
        return out.failure;
    if (written)
        *written = out.finalPath;
    return 0;
}

} // namespace

bool exportMesh(const SaveTarget& target, const LandView& land, const MeshInfo& info, std::string& error,
                std::string* written)
{
    const std::string name = target.name();
    const Format format = formatOf(name);
    if (format == Format::Unknown) {
        error = "unknown file type \"" + name + "\" (use .ply or .obj)";
        return false;
    }
    int failure = 0;
    try {
        failure = writeFile(target, land, info, format, written);
    } catch (const std::bad_alloc&) {
        failure = ENOMEM;
    }
    if (failure == ENOMEM) {
        error = "not enough memory to export \"" + name + "\"";
        return false;
    }
    if (failure != 0) {
        error = writeErrorText(name, failure);
        return false;
    }
    return true;
}

bool isExportPath(const std::string& path)
{
    return formatOf(path) != Format::Unknown;
}

std::string headerComment(const MeshInfo& info)
{
    std::string text = "Orbivane planet: seed " + std::to_string(info.seed) + ", subdivisions " +
                       std::to_string(info.subdivisions) + ", iterations ";
    if (info.applied < 0 || (info.applied >= info.iterations && !info.stopped))
        return text + std::to_string(info.iterations) + shapeComment(info.shape);
    text += std::to_string(info.applied) + " of " + std::to_string(info.iterations);
    return (info.stopped ? text + ", stopped" : text) + shapeComment(info.shape);
}
