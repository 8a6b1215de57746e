#include "DetailLevels.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

// The mean edge of an icosphere of k subdivisions is this over 2^k, in
// planet radii (within 0.3 % from k = 3 on; edges differ from the mean by
// up to 10 %).
constexpr double MEAN_EDGE_TIMES_2_TO_K = 1.21;
// Edges of about this many pixels are small enough to show the land's
// detail while the view moves; the levels are a factor 2 apart, so the
// chosen one lies within a factor of 1.4 of it.
constexpr double EDGE_PIXELS = 2.0;

// The driver's programs, threads and first frames whatever the planet, and
// each vertex's share: three vertex buffers, two triangles of indices and a
// third more for the coarser levels, and what a draw shades. Measured with
// VmPeak around the window's first frames, with a margin of about a quarter.
constexpr std::uint64_t DRIVER_BYTES = std::uint64_t(160) << 20;
constexpr std::uint64_t BYTES_PER_VERTEX = 320;
// A thread's stack (8 MiB) and the 64 MiB glibc reserves for its arena.
constexpr std::uint64_t THREAD_BYTES = std::uint64_t(72) << 20;

} // namespace

int weldSubdivisions(const IcosphereWeld& weld)
{
    int n = 0;
    while ((std::size_t(20) << (2 * n)) < weld.faceCount())
        ++n;
    return n;
}

std::vector<std::uint32_t> levelTriangles(const IcosphereWeld& weld, int level)
{
    const int subdivisions = weldSubdivisions(weld);
    if (level < 0 || level > subdivisions)
        throw std::invalid_argument("detail level out of range");
    if (level == subdivisions)
        return weld.cornerToVertex;
    // A level-k triangle is a node of the subdivision at depth k: the soup's
    // next 4^(n-k) triangles. Its first child keeps its first corner first,
    // its second child starts at its second corner, its third at its third.
    const std::size_t span = std::size_t(1) << (2 * (subdivisions - level));
    const std::size_t count = std::size_t(20) << (2 * level);
    std::vector<std::uint32_t> triangles(3 * count);
    for (std::size_t t = 0; t < count; ++t)
        for (std::size_t k = 0; k < 3; ++k)
            triangles[3 * t + k] = weld.cornerToVertex[3 * (t * span + k * span / 4)];
    return triangles;
}

LevelMesh levelMesh(const IcosphereWeld& weld, int level)
{
    LevelMesh mesh;
    mesh.triangles = levelTriangles(weld, level);
    constexpr std::uint32_t UNSEEN = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> number(weld.vertexCount(), UNSEEN);
    for (std::uint32_t& vertex : mesh.triangles) {
        if (number[vertex] == UNSEEN) {
            number[vertex] = static_cast<std::uint32_t>(mesh.weldVertices.size());
            mesh.weldVertices.push_back(vertex);
            mesh.corners.push_back(weld.vertexToCorner[vertex]);
        }
        vertex = number[vertex];
    }
    return mesh;
}

std::uint64_t drawingBytes(int level)
{
    const std::uint64_t vertices = 10 * (std::uint64_t(1) << (2 * level)) + 2;
    return DRIVER_BYTES + BYTES_PER_VERTEX * vertices;
}

std::uint64_t besideDrawingBytes(std::size_t vertices, std::uint64_t bytesPerVertex)
{
    return DRIVER_BYTES + THREAD_BYTES + bytesPerVertex * vertices;
}

int finestLevelWithin(int subdivisions, const std::function<bool(std::uint64_t)>& room)
{
    int level = subdivisions;
    while (level >= 0 && !room(drawingBytes(level)))
        --level;
    return level;
}

int levelForScreen(int subdivisions, const ScreenScale& scale)
{
    if (subdivisions < FIRST_COARSENED_SUBDIVISIONS)
        return subdivisions;
    const double tangent = std::tan(scale.fieldOfViewDegrees / 2 * std::numbers::pi / 180);
    const double pixelsPerRadius = scale.framebufferHeight / (2 * tangent * scale.distance);
    // Level k's edge is MEAN_EDGE_TIMES_2_TO_K * pixelsPerRadius / 2^k pixels.
    const double level = std::round(std::log2(MEAN_EDGE_TIMES_2_TO_K * pixelsPerRadius / EDGE_PIXELS));
    if (!(level >= 0)) // a window of no height, or a view from infinitely far
        return 0;
    return level < subdivisions ? static_cast<int>(level) : subdivisions;
}
