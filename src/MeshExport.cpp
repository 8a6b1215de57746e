#include "MeshExport.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

namespace {

// Open-addressing table from a position's bits to its welded index. Slots hold
// index + 1 (0 is empty); the keys live in the mesh's positions, so a slot is
// 4 bytes and growing rehashes from there.
class WeldTable {
public:
    explicit WeldTable(std::size_t expected) { resize(std::bit_ceil(std::max<std::size_t>(2 * expected, 16))); }

    // The welded index of xyz, appending it to positions when new.
    std::uint32_t indexOf(const float* xyz, std::vector<float>& positions)
    {
        for (std::size_t slot = hash(xyz);; slot = (slot + 1) & (slots.size() - 1)) {
            const std::uint32_t stored = slots[slot];
            if (stored == 0)
                return insert(slot, xyz, positions);
            if (std::memcmp(&positions[3 * std::size_t(stored - 1)], xyz, 3 * sizeof(float)) == 0)
                return stored - 1;
        }
    }

private:
    std::size_t hash(const float* xyz) const
    {
        std::uint32_t bits[3];
        std::memcpy(bits, xyz, sizeof bits);
        constexpr std::uint64_t golden = 0x9E3779B97F4A7C15u;
        std::uint64_t h = (bits[0] * golden) ^ bits[1];
        h = (h * golden) ^ bits[2];
        return static_cast<std::size_t>((h * golden) >> shift);
    }

    std::uint32_t insert(std::size_t slot, const float* xyz, std::vector<float>& positions)
    {
        const auto index = static_cast<std::uint32_t>(positions.size() / 3);
        positions.insert(positions.end(), xyz, xyz + 3);
        slots[slot] = index + 1;
        if (2 * std::size_t(index + 1) > slots.size())  // keep the load at most one half
            rehash(positions);
        return index;
    }

    void resize(std::size_t capacity)
    {
        slots.assign(capacity, 0);
        shift = 64 - std::countr_zero(capacity);
    }

    void rehash(const std::vector<float>& positions)
    {
        resize(2 * slots.size());
        const std::size_t count = positions.size() / 3;
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t slot = hash(&positions[3 * i]);
            while (slots[slot] != 0)
                slot = (slot + 1) & (slots.size() - 1);
            slots[slot] = static_cast<std::uint32_t>(i + 1);
        }
    }

    std::vector<std::uint32_t> slots;
    int shift = 0;  // 64 minus log2 of the slot count
};

// Writes a file through a 1 MiB buffer; remembers the errno of the first
// failure and writes nothing after it.
class ChunkWriter {
public:
    static constexpr std::size_t chunk = std::size_t(1) << 20;

    ChunkWriter() : buffer(chunk) {}
    ~ChunkWriter()
    {
        if (file)
            std::fclose(file);
    }
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    bool open(const std::string& path)
    {
        file = std::fopen(path.c_str(), "wb");
        failure = file ? 0 : errno;
        return file != nullptr;
    }

    // size: at most one chunk.
    void put(const char* data, std::size_t size)
    {
        if (used + size > chunk)
            flush();
        std::memcpy(&buffer[used], data, size);
        used += size;
    }
    void put(const std::string& text) { put(text.data(), text.size()); }

    void putU32(std::uint32_t value)
    {
        const char bytes[4] = {char(value & 0xFF), char(value >> 8 & 0xFF), char(value >> 16 & 0xFF),
                               char(value >> 24)};
        put(bytes, 4);
    }

    // Writes out the rest and closes; returns the errno of the first failure or 0.
    int close()
    {
        flush();
        if (failure == 0 && std::fflush(file) != 0)
            failure = errno;
        if (std::fclose(file) != 0 && failure == 0)
            failure = errno;
        file = nullptr;
        return failure;
    }

    int failure = 0;

private:
    void flush()
    {
        if (used > 0 && failure == 0 && std::fwrite(buffer.data(), 1, used, file) != used)
            failure = errno != 0 ? errno : EIO;
        used = 0;
    }

    std::FILE* file = nullptr;
    std::vector<char> buffer;
    std::size_t used = 0;
};

void writePly(ChunkWriter& out, const IndexedMesh& mesh, const MeshInfo& info)
{
    out.put("ply\nformat binary_little_endian 1.0\ncomment " + headerComment(info) + "\nelement vertex " +
            std::to_string(mesh.positions.size() / 3) +
            "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
            std::to_string(mesh.faces.size() / 3) + "\nproperty list uchar uint vertex_indices\nend_header\n");
    for (float value : mesh.positions)
        out.putU32(std::bit_cast<std::uint32_t>(value));
    for (std::size_t f = 0; f < mesh.faces.size(); f += 3) {
        out.put("\3", 1);
        for (std::size_t k = 0; k < 3; ++k)
            out.putU32(mesh.faces[f + k]);
    }
}

// One OBJ record: a tag and three numbers. Floats print as the shortest text
// that reads back to the same bits.
template <typename T>
void putObjLine(ChunkWriter& out, char tag, const T* values)
{
    char line[64] = {tag};
    char* end = line + 1;
    for (int k = 0; k < 3; ++k) {
        *end++ = ' ';
        end = std::to_chars(end, line + sizeof line, values[k]).ptr;
    }
    *end++ = '\n';
    out.put(line, static_cast<std::size_t>(end - line));
}

void writeObj(ChunkWriter& out, const IndexedMesh& mesh, const MeshInfo& info)
{
    out.put("# " + headerComment(info) + "\n");
    for (std::size_t v = 0; v < mesh.positions.size(); v += 3)
        putObjLine(out, 'v', &mesh.positions[v]);
    for (std::size_t f = 0; f < mesh.faces.size(); f += 3) {
        const std::uint32_t oneBased[3] = {mesh.faces[f] + 1, mesh.faces[f + 1] + 1, mesh.faces[f + 2] + 1};
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

// Writes and closes; on failure removes the file and returns its errno.
int writeFile(const std::string& path, const IndexedMesh& mesh, const MeshInfo& info, Format format)
{
    ChunkWriter out;  // the buffer exists before the file does
    if (!out.open(path))
        return out.failure;
    try {
        if (format == Format::Ply)
            writePly(out, mesh, info);
        else
            writeObj(out, mesh, info);
    } catch (const std::bad_alloc&) {
        out.failure = ENOMEM;
    }
    const int failure = out.close();
    if (failure != 0)
        std::remove(path.c_str());
    return failure;
}

} // namespace

IndexedMesh weldTriangles(const float* vertices, int vertexCount)
{
    IndexedMesh mesh;
    const std::size_t corners = vertexCount >= 3 ? std::size_t(vertexCount - vertexCount % 3) : 0;
    // A closed icosphere has about one distinct position per six corners.
    WeldTable table(corners / 6 + 2);
    mesh.positions.reserve(3 * (corners / 6 + 2));
    mesh.faces.resize(corners);
    for (std::size_t t = 0; t < corners; t += 3) {
        mesh.faces[t] = table.indexOf(vertices + 3 * t, mesh.positions);
        mesh.faces[t + 2] = table.indexOf(vertices + 3 * (t + 1), mesh.positions);
        mesh.faces[t + 1] = table.indexOf(vertices + 3 * (t + 2), mesh.positions);
    }
    return mesh;
}

bool exportMesh(const std::string& path, const float* vertices, int vertexCount, const MeshInfo& info,
                std::string& error)
{
    const Format format = formatOf(path);
    if (format == Format::Unknown) {
        error = "unknown file type \"" + path + "\" (use .ply or .obj)";
        return false;
    }
    int failure = 0;
    try {
        failure = writeFile(path, weldTriangles(vertices, vertexCount), info, format);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to export \"" + path + "\"";
        return false;
    }
    if (failure != 0) {
        error = "cannot write \"" + path + "\": " + std::strerror(failure);
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
    return "Orbivane planet: seed " + std::to_string(info.seed) + ", subdivisions " +
           std::to_string(info.subdivisions) + ", iterations " + std::to_string(info.iterations);
}
