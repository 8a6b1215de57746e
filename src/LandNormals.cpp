#include "LandNormals.h"

#include <cmath>
#include <cstddef>
#include <cstring>

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

// Each sum to unit length; a zero sum takes the vertex's own direction.
void normalise(std::vector<float>& normals, const float* positions)
{
    for (std::size_t v = 0; v < normals.size() / 3; ++v) {
        float* n = &normals[3 * v];
        float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(length > 0.0f)) {
            std::memcpy(n, positions + 3 * v, 3 * sizeof(float));
            length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        }
        for (int k = 0; k < 3; ++k)
            n[k] /= length;
    }
}
// Every normal averaged with its neighbours': the sum, over the faces around
// a vertex, of the faces' three normals (its own six times, each neighbour's
// twice).
void smoothOnce(const IcosphereWeld& weld, std::vector<float>& normals, const float* positions)
{
    std::vector<float> sums(normals.size(), 0.0f);
    const std::uint32_t* corner = weld.cornerToVertex.data();
    for (std::size_t f = 0; f < weld.faceCount(); ++f) {
        const std::size_t a = corner[3 * f], b = corner[3 * f + 1], c = corner[3 * f + 2];
        for (int k = 0; k < 3; ++k) {
            const float sum = normals[3 * a + k] + normals[3 * b + k] + normals[3 * c + k];
            sums[3 * a + k] += sum;
            sums[3 * b + k] += sum;
            sums[3 * c + k] += sum;
        }
    }
    normalise(sums, positions);
    normals.swap(sums);
}
} // namespace

std::vector<float> weldedLandNormals(const IcosphereWeld& weld, const float* positions, int smoothingPasses)
{
    std::vector<float> normals(3 * weld.vertexCount(), 0.0f);
    const std::uint32_t* corner = weld.cornerToVertex.data();
    for (std::size_t f = 0; f < weld.faceCount(); ++f) {
        // The soup runs clockwise from outside: corners 0, 2, 1 run the other way.
        const std::size_t a = corner[3 * f], b = corner[3 * f + 2], c = corner[3 * f + 1];
        addFaceNormal(positions + 3 * a, positions + 3 * b, positions + 3 * c, &normals[3 * a], &normals[3 * b],
                      &normals[3 * c]);
    }
    normalise(normals, positions);
    for (int pass = 0; pass < smoothingPasses; ++pass)
        smoothOnce(weld, normals, positions);
    return normals;
}

int smoothingPassesFor(int subdivisions)
{
    constexpr int FINEST_UNSMOOTHED = 5;
    return subdivisions > FINEST_UNSMOOTHED ? subdivisions - FINEST_UNSMOOTHED : 0;
}

void gatherWelded(const IcosphereWeld& weld, const float* soup, std::vector<float>& out)
{
    out.resize(3 * weld.vertexCount());
    for (std::size_t v = 0; v < weld.vertexCount(); ++v)
        std::memcpy(&out[3 * v], soup + 3 * std::size_t(weld.vertexToCorner[v]), 3 * sizeof(float));
}

std::vector<float> landNormals(const IcosphereWeld& weld, const float* soup)
{
    std::vector<float> positions;
    gatherWelded(weld, soup, positions);
    return weldedLandNormals(weld, positions.data());
}
