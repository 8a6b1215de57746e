#include "LandNormals.h"
#include "Planet.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// A planet with no landscape iterations keeps the bare icosphere as its land.
std::unique_ptr<Planet> barePlanet(int subdivisions)
{
    return std::make_unique<Planet>(subdivisions, 0, false);
}

Vec3 vertexAt(const BigArray<float>& v, int i)
{
    return {v[3 * i], v[3 * i + 1], v[3 * i + 2]};
}

double length(const Vec3& p)
{
    return std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
}

TEST(Icosahedron, TableConstantsHaveTheirBitPatterns)
{
    EXPECT_EQ(std::bit_cast<std::uint32_t>(ICOSAHEDRON_VERTICES[1][0]), 0x3F069650u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(ICOSAHEDRON_VERTICES[1][2]), 0x3F59C440u);
    for (const Vec3& v : ICOSAHEDRON_VERTICES)
        EXPECT_NEAR(length(v), 1.0, 1e-7);
}

TEST(IntPow, RepeatedSquaring)
{
    EXPECT_EQ(intPow(4.0f, 0), 1.0f);
    EXPECT_EQ(intPow(4.0f, 1), 4.0f);
    EXPECT_EQ(intPow(4.0f, 4), 256.0f);
    EXPECT_EQ(intPow(4.0f, 13), 67108864.0f);
    EXPECT_EQ(intPow(2.0f, -2), 0.25f);
    EXPECT_EQ(intPow(-3.0f, 3), -27.0f);
    EXPECT_EQ(intPow(0.5f, 200), 0.0f);
}

TEST(Icosphere, VertexCountsAndTheirLimit)
{
    EXPECT_EQ(icosphereVertexCount(0), 60);
    EXPECT_EQ(icosphereVertexCount(1), 240);
    EXPECT_EQ(icosphereVertexCount(4), 15360);
    EXPECT_EQ(icosphereVertexCount(12), 1006632960);
    EXPECT_EQ(icosphereVertexCount(13), -1); // 4 026 531 840 does not fit an int
    EXPECT_EQ(icosphereVertexCount(-1), -1);
    EXPECT_THROW(Planet(-1, 0, false), std::invalid_argument);
    EXPECT_THROW(Planet(13, 0, false), std::bad_alloc);
}

TEST(Icosphere, SizesForZeroOneAndFourSubdivisions)
{
    for (auto [n, count] : {std::pair{0, 60}, {1, 240}, {4, 15360}}) {
        auto planet = barePlanet(n);
        EXPECT_EQ(planet->vertexCount, count);
        EXPECT_EQ(planet->vertices.size(), 3u * count);
        EXPECT_EQ(emitCursor, 3u * count) << "every slot is written exactly once";
        EXPECT_EQ(planet->water->vertexCount, count);
    }
    EXPECT_EQ(barePlanet(4)->vertices.size() * sizeof(float), 184320u);
}

TEST(Icosphere, ZeroSubdivisionsEmitsTheTableFaceByFace)
{
    auto planet = barePlanet(0);
    for (int f = 0; f < 20; ++f)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(vertexAt(planet->vertices, 3 * f + k), ICOSAHEDRON_VERTICES[ICOSAHEDRON_FACES[f][k]]);
    const float firstNine[9] = {-ICOSAHEDRON_VERTICES[1][0], 0, ICOSAHEDRON_VERTICES[1][2],
                                0, ICOSAHEDRON_VERTICES[1][2], ICOSAHEDRON_VERTICES[1][0],
                                ICOSAHEDRON_VERTICES[1][0], 0, ICOSAHEDRON_VERTICES[1][2]};
    EXPECT_EQ(std::memcmp(planet->vertices.data(), firstNine, sizeof firstNine), 0);
}

TEST(Icosphere, FirstTriangleOfOneSubdivisionUsesNormalisedEdgeSums)
{
    auto planet = barePlanet(1);
    const Vec3& v0 = ICOSAHEDRON_VERTICES[0];
    const Vec3& v4 = ICOSAHEDRON_VERTICES[4];
    const Vec3& v1 = ICOSAHEDRON_VERTICES[1];
    EXPECT_EQ(vertexAt(planet->vertices, 0), v0);
    auto expectDirection = [&](const Vec3& got, const Vec3& a, const Vec3& b) {
        const double s[3] = {double(a[0]) + b[0], double(a[1]) + b[1], double(a[2]) + b[2]};
        const double len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(got[k], s[k] / len, 2e-7);
    };
    expectDirection(vertexAt(planet->vertices, 1), v0, v4);
    expectDirection(vertexAt(planet->vertices, 2), v0, v1);
}

TEST(Icosphere, EveryVertexOnTheUnitSphereAndEveryTriangleClockwiseFromOutside)
{
    for (int n = 0; n <= 5; ++n) {
        auto planet = barePlanet(n);
        const auto& v = planet->vertices;
        for (int i = 0; i < planet->vertexCount; ++i)
            ASSERT_NEAR(length(vertexAt(v, i)), 1.0, 1e-6) << "n=" << n << " vertex " << i;
        for (int t = 0; t < planet->vertexCount / 3; ++t) {
            const Vec3 a = vertexAt(v, 3 * t), b = vertexAt(v, 3 * t + 1), c = vertexAt(v, 3 * t + 2);
            const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
            const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
            const double normal[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                      e1[0] * e2[1] - e1[1] * e2[0]};
            const double outward = normal[0] * (a[0] + b[0] + c[0]) + normal[1] * (a[1] + b[1] + c[1]) +
                                   normal[2] * (a[2] + b[2] + c[2]);
            ASSERT_LT(outward, 0.0) << "n=" << n << " triangle " << t << " is not clockwise from outside";
        }
    }
}

TEST(Icosphere, EmissionIsDepthFirstFaceByFace)
{
    // All 4^n triangles of face f come before those of face f + 1: each lies
    // inside the cone of its icosahedron face.
    const int n = 3;
    auto planet = barePlanet(n);
    const int perFace = 3 * 64;
    for (int f = 0; f < 20; ++f) {
        const Vec3& a = ICOSAHEDRON_VERTICES[ICOSAHEDRON_FACES[f][0]];
        const Vec3& b = ICOSAHEDRON_VERTICES[ICOSAHEDRON_FACES[f][1]];
        const Vec3& c = ICOSAHEDRON_VERTICES[ICOSAHEDRON_FACES[f][2]];
        const double centre[3] = {double(a[0]) + b[0] + c[0], double(a[1]) + b[1] + c[1], double(a[2]) + b[2] + c[2]};
        const double cl = std::sqrt(centre[0] * centre[0] + centre[1] * centre[1] + centre[2] * centre[2]);
        const double cornerCos = (a[0] * centre[0] + a[1] * centre[1] + a[2] * centre[2]) / cl;
        for (int i = f * perFace; i < (f + 1) * perFace; ++i) {
            const Vec3 p = vertexAt(planet->vertices, i);
            EXPECT_GE((p[0] * centre[0] + p[1] * centre[1] + p[2] * centre[2]) / cl, cornerCos - 1e-6);
        }
    }
}

TEST(Planet, WaterIsACopyOfTheBuiltLandAndBuildsRestartAtZero)
{
    auto first = barePlanet(3);
    auto second = barePlanet(3);
    EXPECT_EQ(first->water->vertices, first->vertices);
    EXPECT_NE(first->water->vertices.data(), first->vertices.data());
    EXPECT_EQ(second->vertices, first->vertices);
    EXPECT_EQ(first->angle[0], 0.0f);
    EXPECT_EQ(first->speed[2], 0.005f);
    EXPECT_TRUE(first->rotating);
    EXPECT_EQ(first->landShader, nullptr);
    EXPECT_EQ(first->water->shader, nullptr);
}

// Smooth normals: unit length everywhere; on the sphere they are the
// direction from the centre, and on generated land they still point outward
// while leaning with the slopes.
TEST(LandNormals, UnitOutwardAndRadialOnTheSphere)
{
    for (int iterations : {0, 500}) {
        const Planet planet(3, iterations, false);
        const std::vector<float> normals = landNormals(planet.weld, planet.vertices.data());
        ASSERT_EQ(normals.size(), 3 * planet.weld.vertexCount());
        double leastRadial = 1.0;
        for (std::size_t v = 0; v < planet.weld.vertexCount(); ++v) {
            const float* n = &normals[3 * v];
            const float* p = planet.water->vertices.data() + 3 * std::size_t(planet.weld.vertexToCorner[v]);
            EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-6);
            leastRadial = std::min(leastRadial, double(n[0] * p[0] + n[1] * p[1] + n[2] * p[2]));
        }
        // A sphere's normals are its radii.
        EXPECT_TRUE(iterations ? leastRadial > 0.2 && leastRadial < 0.999 : leastRadial > 0.999) << leastRadial;
    }
}

} // namespace
