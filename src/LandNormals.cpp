#include "LandNormals.h"

#include <cmath>
#include <cstddef>

namespace {
// b - a, c - a and their cross product: twice the face's area along its
// normal. Corners in the order (a, b, c) counter-clockwise from outside, so
// the product points outward.
void addFaceNormal(const float* a, const float* b, const float* c, float* sumA, float* sumB, float* sumC)
{
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    for (int k = 0; k < 3; ++k) {
        sumA[k] += n[k];
        sumB[k] += n[k];
        sumC[k] += n[k];
    }
}

// The normals of the faces around each welded vertex, summed and made unit;
// at(c) is the position of soup corner c.
template <typename CornerPosition>
std::vector<float> normalsOf(const IcosphereWeld& weld, CornerPosition at)
{
    std::vector<float> normals(3 * weld.vertexCount(), 0.0f);
    const std::uint32_t* corner = weld.cornerToVertex.data();
    for (std::size_t f = 0; f < weld.faceCount(); ++f) {
        // The soup runs clockwise from outside: corners 0, 2, 1 run the other way.
        addFaceNormal(at(3 * f), at(3 * f + 2), at(3 * f + 1), &normals[3 * std::size_t(corner[3 * f])],
                      &normals[3 * std::size_t(corner[3 * f + 2])], &normals[3 * std::size_t(corner[3 * f + 1])]);
    }
    for (std::size_t v = 0; v < weld.vertexCount(); ++v) {
        float* n = &normals[3 * v];
        float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(length > 0.0f)) {
            const float* p = at(weld.vertexToCorner[v]);
            for (int k = 0; k < 3; ++k)
                n[k] = p[k];
            length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        }
        for (int k = 0; k < 3; ++k)
            n[k] /= length;
    }
    return normals;
}
} // namespace

std::vector<float> landNormals(const IcosphereWeld& weld, const float* soup)
{
    return normalsOf(weld, [soup](std::size_t c) { return soup + 3 * c; });
}

std::vector<float> weldedNormals(const IcosphereWeld& weld, const float* positions)
{
    const std::uint32_t* vertex = weld.cornerToVertex.data();
    return normalsOf(weld, [positions, vertex](std::size_t c) { return positions + 3 * std::size_t(vertex[c]); });
}
