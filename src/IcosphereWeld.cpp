#include "IcosphereWeld.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::uint32_t UNSEEN = std::numeric_limits<std::uint32_t>::max();

// A grid point of one face: its weights on the face's three corners, in
// units of 1 / 2^subdivisions; they add up to 2^subdivisions.
using Weights = std::array<std::uint32_t, 3>;

// Numbers the grid points of the whole icosphere: the 12 corners, then the
// inner points of the 30 edges, then the inner points of the 20 faces.
class GridNumbering {
public:
    GridNumbering(const int (&faces)[20][3], int subdivisions) : faces(faces), side(1u << subdivisions)
    {
        for (const auto& face : faces)
            for (int k = 0; k < 3; ++k)
                edgeIndex(face[k], face[(k + 1) % 3]);
    }

    std::uint32_t pointCount() const { return 12 + 30 * (side - 1) + 20 * inner(); }

    std::uint32_t idOf(int face, const Weights& w) const
    {
        const int* corner = faces[face];
        const int zeros = (w[0] == 0) + (w[1] == 0) + (w[2] == 0);
        if (zeros == 2)
            return std::uint32_t(corner[w[0] != 0 ? 0 : w[1] != 0 ? 1 : 2]);
        if (zeros == 1) {
            const int skip = w[0] == 0 ? 0 : w[1] == 0 ? 1 : 2;
            const int i = (skip + 1) % 3, j = (skip + 2) % 3;
            // Measured from the lower-numbered end, so both faces agree.
            const std::uint32_t along = corner[i] < corner[j] ? w[j] : w[i];
            return 12 + edges.at(key(corner[i], corner[j])) * (side - 1) + along - 1;
        }
        // Row w[0] from 1 to side - 2 holds side - 1 - w[0] points.
        const std::uint32_t row = w[0] - 1;
        const std::uint32_t before = row * (side - 1) - row * (row + 1) / 2;
        return 12 + 30 * (side - 1) + std::uint32_t(face) * inner() + before + w[1] - 1;
    }

private:
    std::uint32_t inner() const { return (side - 1) * (side - 2) / 2; }
    static int key(int a, int b) { return std::min(a, b) * 12 + std::max(a, b); }
    void edgeIndex(int a, int b)
    {
        if (std::find(edgeKeys.begin(), edgeKeys.end(), key(a, b)) == edgeKeys.end()) {
            edges.at(key(a, b)) = std::uint32_t(edgeKeys.size());
            edgeKeys.push_back(key(a, b));
        }
    }

    const int (&faces)[20][3];
    std::uint32_t side; // grid points along an edge, less one
    std::array<std::uint32_t, 144> edges{};
    std::vector<int> edgeKeys;
};

// Walks the soup in emission order, as subdivideTriangle splits and emits it.
class WeldBuilder {
public:
    WeldBuilder(const GridNumbering& grid, IcosphereWeld& weld) : grid(grid), weld(weld), first(grid.pointCount(), UNSEEN)
    {
    }

    void split(int face, const Weights& p1, const Weights& p2, const Weights& p3, int depth)
    {
        if (depth == 0) {
            for (const Weights* p : {&p1, &p2, &p3})
                add(grid.idOf(face, *p));
            return;
        }
        const Weights m12 = mid(p1, p2), m23 = mid(p2, p3), m13 = mid(p1, p3);
        split(face, p1, m12, m13, depth - 1);
        split(face, p2, m23, m12, depth - 1);
        split(face, p3, m13, m23, depth - 1);
        split(face, m12, m23, m13, depth - 1);
    }

private:
    static Weights mid(const Weights& a, const Weights& b)
    {
        return {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2};
    }

    void add(std::uint32_t point)
    {
        const auto corner = std::uint32_t(weld.cornerToVertex.size());
        if (first[point] == UNSEEN) {
            first[point] = std::uint32_t(weld.vertexToCorner.size());
            weld.vertexToCorner.push_back(corner);
        }
        weld.cornerToVertex.push_back(first[point]);
    }

    const GridNumbering& grid;
    IcosphereWeld& weld;
    std::vector<std::uint32_t> first; // per grid point: its welded vertex, once seen
};

} // namespace

IcosphereWeld weldIcosphere(const int (&faces)[20][3], int subdivisions)
{
    if (subdivisions < 0 || subdivisions > 12)
        throw std::invalid_argument("subdivision count out of range");
    const GridNumbering grid(faces, subdivisions);
    IcosphereWeld weld;
    weld.cornerToVertex.reserve(std::size_t(60) << (2 * subdivisions));
    weld.vertexToCorner.reserve(grid.pointCount());
    WeldBuilder builder(grid, weld);
    const std::uint32_t side = 1u << subdivisions;
    for (int f = 0; f < 20; ++f)
        builder.split(f, {side, 0, 0}, {0, side, 0}, {0, 0, side}, subdivisions);
    return weld;
}

std::uint64_t weldBytes(std::uint64_t cornerCount)
{
    const std::uint64_t vertices = cornerCount / 6 + 2;
    return 4 * cornerCount + 2 * 4 * vertices;
}
