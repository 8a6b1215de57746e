#include "Planet.h"

#include "Landscape.h"

#include <climits>
#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>

namespace {
constexpr float X = 0.525731087f; // 0x3F069650
constexpr float Z = 0.850650787f; // 0x3F59C440
}

const Vec3 ICOSAHEDRON_VERTICES[12] = {
    {-X, 0, Z}, {X, 0, Z},  {-X, 0, -Z}, {X, 0, -Z},
    {0, Z, X},  {0, Z, -X}, {0, -Z, X},  {0, -Z, -X},
    {Z, X, 0},  {-Z, X, 0}, {Z, -X, 0},  {-Z, -X, 0},
};

const int ICOSAHEDRON_FACES[20][3] = {
    {0, 4, 1},  {0, 9, 4},  {9, 5, 4},  {4, 5, 8},  {4, 8, 1},
    {8, 10, 1}, {8, 3, 10}, {5, 3, 8},  {5, 2, 3},  {2, 7, 3},
    {7, 10, 3}, {7, 6, 10}, {7, 11, 6}, {11, 0, 6}, {0, 1, 6},
    {6, 1, 10}, {9, 0, 11}, {9, 11, 2}, {9, 2, 5},  {7, 2, 11},
};

std::size_t emitCursor = 0;

float intPow(float base, int exponent)
{
    float result = 1.0f;
    unsigned e = exponent < 0 ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
    for (;;) {
        if (e & 1u)
            result *= base;
        e >>= 1;
        if (e == 0)
            break;
        base *= base;
    }
    return exponent < 0 ? 1.0f / result : result;
}

int icosphereVertexCount(int subdivisions)
{
    if (subdivisions < 0)
        return -1;
    const double count = static_cast<double>(intPow(4.0f, subdivisions)) * 20.0 * 3.0;
    if (count > static_cast<double>(INT_MAX))
        return -1;
    return static_cast<int>(count);
}

Water::Water(BigArray<float> seaVertices, int count)
    : vertices(std::move(seaVertices)), vertexCount(count)
{
}

Planet::Planet(int subdivisions, int iterations, bool liveGeneration, std::optional<std::uint32_t> seed,
               StopRequest stop)
    : angle{0.0f, 0.0f, 0.0f}, speed{0.005f, 0.005f, 0.005f}, rotating(true),
      subdivisions(subdivisions), iterations(iterations)
{
    buildIcosphere(subdivisions);
    weld = weldIcosphere(ICOSAHEDRON_FACES, subdivisions);
    startLandscapeGeneration(*this, iterations, liveGeneration, seed, stop);
}

Planet::~Planet()
{
    // Never release the vertices under a running generation thread.
    stopLiveGeneration(*this);
}

void Planet::buildIcosphere(int subdivisions)
{
    if (subdivisions < 0)
        throw std::invalid_argument("negative subdivision count");
    const int count = icosphereVertexCount(subdivisions);
    if (count < 0)
        throw std::bad_alloc();
    // Every float of both is written below; the sea in the same pass, while
    // the land's cache lines are still being filled.
    BigArray<float> land(static_cast<std::size_t>(count) * 3);
    BigArray<float> sea(static_cast<std::size_t>(count) * 3);
    const EmitTarget out{land.data(), sea.data()};
    emitCursor = 0;
    for (const auto& face : ICOSAHEDRON_FACES)
        subdivideTriangle(ICOSAHEDRON_VERTICES[face[0]], ICOSAHEDRON_VERTICES[face[1]],
                          ICOSAHEDRON_VERTICES[face[2]], subdivisions, out);
    water = std::make_unique<Water>(std::move(sea), count);
    vertices = std::move(land);
    vertexCount = count;
}

namespace {
// Sum of two points, each component rounded to float.
Vec3 edgeSum(const Vec3& a, const Vec3& b)
{
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}

// Pushes p onto the unit sphere in single precision; a zero point stays as it is.
void normalise(Vec3& p)
{
    const float lengthSquared = p[0] * p[0] + p[1] * p[1] + p[2] * p[2];
    const float length = std::sqrt(lengthSquared);
    if (length != 0.0f) {
        p[0] /= length;
        p[1] /= length;
        p[2] /= length;
    }
}
} // namespace

void subdivideTriangle(const Vec3& p1, const Vec3& p2, const Vec3& p3, int depth, const EmitTarget& out)
{
    if (depth == 0) {
        emitTriangle(p1, p2, p3, out);
        return;
    }
    Vec3 m12 = edgeSum(p1, p2);
    Vec3 m23 = edgeSum(p2, p3);
    Vec3 m13 = edgeSum(p1, p3);
    normalise(m12);
    normalise(m23);
    normalise(m13);
    subdivideTriangle(p1, m12, m13, depth - 1, out);
    subdivideTriangle(p2, m23, m12, depth - 1, out);
    subdivideTriangle(p3, m13, m23, depth - 1, out);
    subdivideTriangle(m12, m23, m13, depth - 1, out);
}

void emitTriangle(const Vec3& p1, const Vec3& p2, const Vec3& p3, const EmitTarget& out)
{
    for (float* slot : {out.land + emitCursor, out.sea + emitCursor}) {
        for (int k = 0; k < 3; ++k) {
            slot[k] = p1[k];
            slot[3 + k] = p2[k];
            slot[6 + k] = p3[k];
        }
    }
    emitCursor += 9;
}
